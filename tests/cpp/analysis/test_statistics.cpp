// The figures an analysis computes from its samples and from the file: the summary, the
// per-satellite and per-constellation statistics, cycle slips and data gaps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/obs_text.hpp"
#include "cn0/analysis.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

AnalysisResult analysed(const RinexObsData& obs,
                        std::optional<std::vector<std::string>> systems = std::nullopt,
                        const NavigationData* nav = nullptr) {
    return analyse(obs, analyze_cn0_settings(5.0, systems), nav);
}

std::vector<std::string> keys(const OrderedMap<ConstellationStats>& m) {
    std::vector<std::string> out;
    for (const auto& [k, v] : m) out.push_back(k);
    return out;
}

// A RINEX 2 file whose one code list (S1) serves every satellite, whatever its letter.
std::string rinex2_text(const std::vector<std::pair<std::string, double>>& satellites) {
    std::string out =
        header_line("     2.11           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE");
    out += header_line("     1    S1", "# / TYPES OF OBSERV");
    out += header_line("", "END OF HEADER");
    char buf[64];
    std::snprintf(buf, sizeof buf, " 24  1  7  0  0  0.0000000  0%3zu", satellites.size());
    out += buf;
    for (const auto& [id, value] : satellites) out += id;
    out += "\n";
    for (const auto& [id, value] : satellites) out += Field(value).render() + "\n";
    return out;
}

}  // namespace

TEST(Summary, FileFiguresIgnoreTheFiltersSampleFiguresDoNot) {
    const RinexObsData obs =
        Rinex3Text()
            .codes('G', {"S1C", "S2W"})
            .epoch(0, {{"G01", {40.0, 30.0}}, {"J02", {20.0}}, {"S20", {10.0}}})
            .epoch(30, {{"G01", {44.0}}, {"E11", {50.0}}, {"I03", {12.0}}})
            .parse();
    const AnalysisResult r = analysed(obs);
    EXPECT_EQ(r.summary.total_epochs, 2u);
    EXPECT_EQ(r.summary.total_satellites, 5u);    // G01 J02 S20 E11 I03, selected or not
    EXPECT_EQ(r.summary.total_observations, 4u);  // G01 three times, E11 once
    EXPECT_DOUBLE_EQ(r.summary.mean_cn0, (40.0 + 30.0 + 44.0 + 50.0) / 4.0);
    EXPECT_EQ(r.summary.min_cn0, 30.0);
    EXPECT_EQ(r.summary.max_cn0, 50.0);
    // IRNSS is named here although its samples are "Unknown"; first-appearance order.
    EXPECT_EQ(r.summary.systems_observed,
              (std::vector<std::string>{"GPS", "QZSS", "SBAS", "Galileo", "IRNSS"}));
}

TEST(Summary, UnknownLetterIsReportedAsItself) {
    // RINEX 2 reads any letter with the shared code list, so an odd letter reaches the analysis.
    auto obs = read_observation_text(rinex2_text({{"G05", 41.0}, {"X07", 42.0}, {"M09", 43.0}}),
                                     "odd.21o");
    ASSERT_TRUE(obs.ok());
    ASSERT_EQ(obs->satellites.size(), 3u);
    const AnalysisResult r = analysed(*obs, std::vector<std::string>{"G", "X"});
    EXPECT_EQ(r.summary.systems_observed, (std::vector<std::string>{"GPS", "X", "M"}));
    // The samples of X are named "Unknown"; the file count of "X" maps to the letter itself.
    EXPECT_EQ(keys(r.constellation_stats), (std::vector<std::string>{"GPS", "X", "M", "Unknown"}));
    EXPECT_EQ(r.constellation_stats.find("X")->observation_count, 0u);
    EXPECT_EQ(r.constellation_stats.find("X")->satellite_count, 1u);
    EXPECT_EQ(r.constellation_stats.find("X")->satellites_expected, 10u);
    EXPECT_EQ(r.constellation_stats.find("Unknown")->observation_count, 1u);
    EXPECT_EQ(r.constellation_stats.find("Unknown")->mean_cn0, 42.0);
}

TEST(SatelliteStatistics, AllSignalsOfASatelliteTogether) {
    const RinexObsData obs = Rinex3Text()
                                 .codes('G', {"S1C", "S2W"})
                                 .epoch(0, {{"G01", {40.0, 30.0}}, {"R05", {35.0}}})
                                 .epoch(1, {{"G01", {44.0, Field::absent()}}})
                                 .epoch(2, {{"G01", {42.0, 34.0}}})
                                 .parse();
    const AnalysisResult r = analysed(obs);
    ASSERT_EQ(r.satellite_stats.size(), 2u);
    const SatelliteStats* g = r.satellite_stats.find("G01");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->satellite, "G01");
    EXPECT_EQ(g->system, "GPS");
    EXPECT_EQ(g->observation_count, 5u);
    EXPECT_DOUBLE_EQ(g->mean_cn0, 38.0);
    EXPECT_EQ(g->min_cn0, 30.0);
    EXPECT_EQ(g->max_cn0, 44.0);
    // Population deviation: deviations 2, -8, 6, 4, -4 give 136 / 5.
    EXPECT_DOUBLE_EQ(g->std_cn0, std::sqrt(136.0 / 5.0));
    EXPECT_EQ(g->mean_elevation, 45.0);
    const SatelliteStats* glo = r.satellite_stats.find("R05");
    ASSERT_NE(glo, nullptr);
    EXPECT_EQ(glo->system, "GLONASS");
    EXPECT_EQ(glo->std_cn0, 0.0);
}

TEST(ConstellationStatistics, ConstellationInFileWithoutSamples) {
    // QZSS is not selected by default, yet the file's QZSS satellites are reported.
    const RinexObsData obs = Rinex3Text()
                                 .epoch(0, {{"G01", {40.0}},
                                            {"R01", {38.0}},
                                            {"E01", {42.0}},
                                            {"C01", {36.0}},
                                            {"J01", {44.0}},
                                            {"J02", {44.0}}})
                                 .epoch(1, {{"G01", {44.0}}, {"G02", {41.0}}, {"J03", {30.0}}})
                                 .parse();
    const AnalysisResult r = analysed(obs);
    EXPECT_EQ(keys(r.constellation_stats),
              (std::vector<std::string>{"GPS", "GLONASS", "Galileo", "BeiDou", "QZSS"}));
    EXPECT_EQ(r.summary.systems_observed, keys(r.constellation_stats));
    const ConstellationStats& qzss = *r.constellation_stats.find("QZSS");
    EXPECT_EQ(qzss.system, "QZSS");
    EXPECT_EQ(qzss.observation_count, 0u);
    EXPECT_EQ(qzss.satellite_count, 3u);
    EXPECT_EQ(qzss.satellites_expected, 4u);
    EXPECT_DOUBLE_EQ(qzss.availability_ratio, 0.75);
    EXPECT_EQ(qzss.mean_cn0, 0.0);
    EXPECT_EQ(qzss.min_cn0, 0.0);
    EXPECT_EQ(qzss.max_cn0, 0.0);
    EXPECT_EQ(qzss.std_cn0, 0.0);
    EXPECT_EQ(qzss.cycle_slips, 0u);
    EXPECT_EQ(qzss.data_gaps, 0u);

    const ConstellationStats& gps = *r.constellation_stats.find("GPS");
    EXPECT_EQ(gps.satellite_count, 2u);
    EXPECT_EQ(gps.observation_count, 3u);
    EXPECT_DOUBLE_EQ(gps.mean_cn0, 125.0 / 3.0);
    EXPECT_EQ(gps.min_cn0, 40.0);
    EXPECT_EQ(gps.max_cn0, 44.0);
    const double m = 125.0 / 3.0;
    EXPECT_DOUBLE_EQ(
        gps.std_cn0,
        std::sqrt(((40 - m) * (40 - m) + (44 - m) * (44 - m) + (41 - m) * (41 - m)) / 3.0));
    EXPECT_EQ(gps.satellites_expected, 12u);
    EXPECT_DOUBLE_EQ(gps.availability_ratio, 2.0 / 12.0);
    EXPECT_EQ(r.constellation_stats.find("GLONASS")->satellites_expected, 9u);
    EXPECT_EQ(r.constellation_stats.find("Galileo")->satellites_expected, 10u);
    EXPECT_EQ(r.constellation_stats.find("BeiDou")->satellites_expected, 15u);
}

TEST(ConstellationStatistics, SelectingIrnssGivesAFileEntryAndAnUnknownEntry) {
    const RinexObsData obs = Rinex3Text()
                                 .epoch(0, {{"G01", {40.0}}, {"I02", {35.0}}, {"I05", {37.0}}})
                                 .epoch(1, {{"I02", {39.0}}})
                                 .parse();
    const AnalysisResult r = analysed(obs, std::vector<std::string>{"I"});
    EXPECT_EQ(keys(r.constellation_stats), (std::vector<std::string>{"GPS", "IRNSS", "Unknown"}));
    const ConstellationStats& irnss = *r.constellation_stats.find("IRNSS");
    EXPECT_EQ(irnss.observation_count, 0u);
    EXPECT_EQ(irnss.satellite_count, 2u);
    EXPECT_EQ(irnss.satellites_expected, 7u);
    const ConstellationStats& unknown = *r.constellation_stats.find("Unknown");
    EXPECT_EQ(unknown.observation_count, 3u);
    EXPECT_EQ(unknown.satellite_count, 2u);
    EXPECT_EQ(unknown.satellites_expected, 10u);
    EXPECT_DOUBLE_EQ(unknown.mean_cn0, 37.0);
    EXPECT_DOUBLE_EQ(unknown.availability_ratio, 0.2);
    // GPS is in the file but not selected.
    EXPECT_EQ(r.constellation_stats.find("GPS")->observation_count, 0u);
    EXPECT_EQ(r.constellation_stats.find("GPS")->satellite_count, 1u);
    EXPECT_EQ(r.satellite_stats.find("I02")->system, "Unknown");
}

TEST(ConstellationStatistics, CycleSlipsCompareSortedValues) {
    // G01: 30, 45, 46 has one jump above 10 dB. G02: 46, 30, 38 in time order jumps by 16, but
    // sorted (30, 38, 46) no neighbours differ by more than 10. G03: a jump of exactly 10 is none.
    // G04 uses two signals: 20 and 31 at one epoch are one slip.
    const RinexObsData obs =
        Rinex3Text()
            .codes('G', {"S1C", "S2W"})
            .epoch(0, {{"G01", {30.0}}, {"G02", {46.0}}, {"G03", {30.0}}, {"G04", {20.0, 31.0}}})
            .epoch(1, {{"G01", {45.0}}, {"G02", {30.0}}, {"G03", {40.0}}})
            .epoch(2, {{"G01", {46.0}}, {"G02", {38.0}}, {"G03", {40.0}}})
            .epoch(0.5, {{"E01", {20.0}}})
            .epoch(1.5, {{"E01", {50.0}}})
            .parse();
    const AnalysisResult r = analysed(obs);
    EXPECT_EQ(r.constellation_stats.find("GPS")->cycle_slips, 2u);
    EXPECT_EQ(r.constellation_stats.find("Galileo")->cycle_slips, 1u);
}

TEST(ConstellationStatistics, CycleSlipsOverManyValues) {
    // One satellite, values in shuffled time order. Sorted: 10, 12, 21.9, 32.5, 35, 45.2, 46,
    // 56.5 with steps 2, 9.9, 10.6, 2.5, 10.2, 0.8, 10.5: three steps above 10 dB.
    const std::vector<double> values = {45.2, 10.0, 56.5, 32.5, 46.0, 12.0, 35.0, 21.9};
    Rinex3Text text;
    for (std::size_t k = 0; k < values.size(); ++k)
        text.epoch(static_cast<double>(k), {{"C11", {values[k]}}});
    EXPECT_EQ(analysed(text.parse()).constellation_stats.find("BeiDou")->cycle_slips, 3u);

    // The same values spread over two satellites count per satellite: C11 10, 12, 21.9, 32.5, 35
    // (one step above 10) and C12 45.2, 46, 56.5 (one).
    Rinex3Text split;
    for (std::size_t k = 0; k < values.size(); ++k) {
        split.epoch(static_cast<double>(k), {{values[k] < 40.0 ? "C11" : "C12", {values[k]}}});
    }
    EXPECT_EQ(analysed(split.parse()).constellation_stats.find("BeiDou")->cycle_slips, 2u);
}

TEST(ConstellationStatistics, DataGapsCountTheConstellationsEpochs) {
    // G01 at epochs 1, 2 and 5 of five epochs that all carry GPS samples: 2 gaps.
    const RinexObsData obs = Rinex3Text()
                                 .epoch(0, {{"G01", {40.0}}, {"G02", {40.0}}})
                                 .epoch(30, {{"G01", {40.0}}, {"G02", {40.0}}})
                                 .epoch(60, {{"G02", {40.0}}})
                                 .epoch(90, {{"G02", {40.0}}})
                                 .epoch(120, {{"G01", {40.0}}, {"G02", {40.0}}})
                                 .parse();
    EXPECT_EQ(analysed(obs).constellation_stats.find("GPS")->data_gaps, 2u);

    // Epochs without samples of the constellation are not gaps: Galileo alone at 60 and 90.
    const RinexObsData mixed = Rinex3Text()
                                   .epoch(0, {{"G01", {40.0}}, {"G02", {40.0}}})
                                   .epoch(30, {{"G02", {40.0}}})
                                   .epoch(60, {{"E05", {40.0}}})
                                   .epoch(90, {{"E05", {40.0}}})
                                   .epoch(120, {{"G01", {40.0}}})
                                   .epoch(150, {{"G02", {40.0}}, {"E05", {40.0}}})
                                   .parse();
    const AnalysisResult r = analysed(mixed);
    // GPS epochs are 0, 30, 120, 150: G01 misses 30 (1), G02 misses 120 (1).
    EXPECT_EQ(r.constellation_stats.find("GPS")->data_gaps, 2u);
    EXPECT_EQ(r.constellation_stats.find("Galileo")->data_gaps, 0u);

    // A satellite rejected by the C/N0 window at an epoch has no sample there: that is a gap.
    const RinexObsData weak = Rinex3Text()
                                  .epoch(0, {{"G01", {40.0}}, {"G02", {40.0}}})
                                  .epoch(30, {{"G01", {70.0}}, {"G02", {40.0}}})
                                  .epoch(60, {{"G01", {40.0}}, {"G02", {40.0}}})
                                  .parse();
    EXPECT_EQ(analysed(weak).constellation_stats.find("GPS")->data_gaps, 1u);
}

TEST(ConstellationStatistics, DataGapsFollowTimeNotFileOrder) {
    // Epochs written out of order: the gaps are counted over the timestamps in ascending order.
    const RinexObsData obs = Rinex3Text()
                                 .epoch(60, {{"G01", {40.0}}, {"G02", {40.0}}})
                                 .epoch(0, {{"G01", {40.0}}, {"G02", {40.0}}})
                                 .epoch(30, {{"G02", {40.0}}})
                                 .parse();
    EXPECT_EQ(analysed(obs).constellation_stats.find("GPS")->data_gaps, 1u);
}
