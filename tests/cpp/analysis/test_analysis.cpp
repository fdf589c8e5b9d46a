// The analysis of a file: which values become samples (C/N0 window, constellation selection,
// the stand-in elevation), constellation figures of letters without a name, cycle slips and gaps.
#include <gtest/gtest.h>

#include "cn0/analysis.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Systems = std::optional<Ids>;

AnalysisResult analysed(const RinexObsData& obs, Systems systems = std::nullopt, const NavigationData* nav = nullptr,
                        double mask = 5.0) {
    return analyse(obs, analyze_cn0_settings(mask, systems), nav);
}
std::vector<double> values_of(const SampleSet& set) {
    std::vector<double> out;
    for (const auto& s : set.samples) out.push_back(s.cn0);
    return out;
}
Ids satellites_of(const SampleSet& set) {
    Ids out;
    for (const auto& s : set.samples) out.push_back(set.satellites[s.satellite]);
    return out;
}
template <typename Map> Ids keys(const Map& m) {
    Ids out;
    for (const auto& [k, v] : m) out.push_back(k);
    return out;
}

}  // namespace

TEST(Samples, WindowCodesAndSelection) {
    const RinexObsData obs = Rinex3Text()
                                 .codes('G', {"S1C", "S2W", "S5Q", "S1W", "S2L", "C1C", "S7Q"})
                                 .epoch(0, {{"G01", {19.999, 20.0, 35.0, 50.0, 50.001, 2.2e7, Field("nan")}},
                                            {"G02", {Field("inf"), Field("-inf"), 49.0}}})
                                 .parse();
    AnalysisSettings s = analyze_cn0_settings(5.0, std::nullopt);
    s.min_cn0 = 20.0;
    s.max_cn0 = 50.0;
    // The window is inclusive and refuses not-a-number and the infinities; only S codes count.
    EXPECT_EQ(values_of(collect_samples(obs, s, nullptr)), (std::vector<double>{20.0, 35.0, 50.0, 49.0}));
    EXPECT_EQ(values_of(collect_samples(obs, analyze_cn0_settings(5.0, std::nullopt), nullptr)),
              (std::vector<double>{19.999, 20.0, 35.0, 50.0, 50.001, 49.0}));

    const RinexObsData all = Rinex3Text()
                                 .epoch(0, {{"G01", {41.0}}, {"R02", {42.0}}, {"E03", {43.0}}, {"C04", {44.0}},
                                            {"J05", {45.0}}, {"S20", {46.0}}, {"I06", {47.0}}})
                                 .parse();
    // Selected by first character as written; absent means G, R, E and C; empty entries select nothing.
    const std::pair<Systems, Ids> cases[] = {
        {std::nullopt, {"G01", "R02", "E03", "C04"}}, {Ids{"R"}, {"R02"}}, {Ids{"Galileo"}, {"G01"}},
        {Ids{"GPS", "", "E"}, {"G01", "E03"}}, {Ids{"J", "S", "I"}, {"J05", "S20", "I06"}}, {Ids{"g"}, {}},
        {Ids{}, {}}, {Ids{"", ""}, {}}};
    for (const auto& [systems, expected] : cases)
        EXPECT_EQ(satellites_of(collect_samples(all, analyze_cn0_settings(5.0, systems), nullptr)), expected);
    const SampleSet every = collect_samples(all, analyze_cn0_settings(5.0, Ids{"G", "R", "E", "C", "J", "S", "I"}), nullptr);
    std::string names;
    for (const auto& smp : every.samples) names += std::string(SampleSet::constellation_of(smp)) + ",";
    EXPECT_EQ(names, "GPS,GLONASS,Galileo,BeiDou,QZSS,SBAS,Unknown,");
    // Without positions every sample sits at 45 degrees, azimuth 0: the mask compares with that.
    EXPECT_EQ(every.samples[0].elevation, 45.0);
    EXPECT_EQ(every.samples[0].azimuth, 0.0);
    EXPECT_EQ(collect_samples(all, analyze_cn0_settings(45.0, std::nullopt), nullptr).samples.size(), 4u);
    EXPECT_TRUE(collect_samples(all, analyze_cn0_settings(45.001, std::nullopt), nullptr).samples.empty());
}

TEST(Samples, LookAnglesFromOrbits) {
    NavigationData nav;  // G01 at the zenith, G02 behind the Earth, G04 east 30 degrees up, G03 without orbit
    add_orbit(nav, 'G', 1, 0.0), add_orbit(nav, 'G', 2, 180.0), add_orbit(nav, 'G', 4, central_angle_for_elevation(30.0));
    const RinexObsData obs =
        Rinex3Text().position(kEarthRadius, 0.0, 0.0).epoch(0, {{"G01", {50.0}}, {"G02", {30.0}}, {"G03", {40.0}}, {"G04", {35.0}}}).parse();
    const SampleSet set = collect_samples(obs, analyze_cn0_settings(5.0, std::nullopt), &nav);
    ASSERT_EQ(satellites_of(set), (Ids{"G01", "G03", "G04"}));
    EXPECT_NEAR(set.samples[0].elevation + set.samples[1].elevation + set.samples[2].elevation, 90.0 + 45.0 + 30.0, 1e-6);
    EXPECT_NEAR(set.samples[2].azimuth, 90.0, 1e-6);
    EXPECT_EQ(satellites_of(collect_samples(obs, analyze_cn0_settings(40.0, std::nullopt), &nav)), (Ids{"G01", "G03"}));
    EXPECT_EQ(collect_samples(obs, analyze_cn0_settings(-90.0, std::nullopt), &nav).samples.size(), 4u);
}

TEST(Statistics, UnknownLettersAndIrnssSamples) {
    // RINEX 2 reads any letter with the shared list: the letter names itself in the file figures,
    // and its samples (like IRNSS ones) are "Unknown".
    const std::string text = version_line("2.11") + v2_obs_types({"S1"}) + end_of_header() +
                             v2_epoch(24, 1, 7, 0, 0, 0.0, 0, {"G05", "X07", "M09", "I02"}) + v2_record({41}) +
                             v2_record({42}) + v2_record({43}) + v2_record({32}) +
                             v2_epoch(24, 1, 7, 0, 0, 30.0, 0, {"C01"}) + v2_record({36});
    const AnalysisResult r = analysed(read_ok(text), Ids{"G", "X", "I"});
    EXPECT_EQ(r.summary.systems_observed, (Ids{"GPS", "X", "M", "IRNSS", "BeiDou"}));
    EXPECT_EQ(keys(r.constellation_stats), (Ids{"GPS", "X", "M", "IRNSS", "BeiDou", "Unknown"}));
    EXPECT_EQ(*r.constellation_stats.find("X"), (ConstellationStats{"X", 1, 0, 0, 0, 0, 0, 10, 0.1, 0, 0}));
    EXPECT_EQ(*r.constellation_stats.find("Unknown"), (ConstellationStats{"Unknown", 2, 2, 37, 32, 42, 5, 10, 0.2, 0, 0}));
    EXPECT_EQ(r.satellite_stats.find("I02")->system, "Unknown");
}

TEST(Statistics, CycleSlipsAndDataGaps) {
    // Slips compare sorted values of a satellite: neighbours more than 10 dB apart. G01 30 45 46:
    // one; G02 46 30 38 (sorted 30 38 46): none; G03 30 40 40: exactly 10 is none; G04 20 and 31
    // on two signals at one epoch: one. Galileo E01 20 50: one.
    const RinexObsData slips = Rinex3Text()
                                   .codes('G', {"S1C", "S2W"})
                                   .epoch(0, {{"G01", {30.0}}, {"G02", {46.0}}, {"G03", {30.0}}, {"G04", {20.0, 31.0}}})
                                   .epoch(1, {{"G01", {45.0}}, {"G02", {30.0}}, {"G03", {40.0}}})
                                   .epoch(2, {{"G01", {46.0}}, {"G02", {38.0}}, {"G03", {40.0}}}).epoch(0.5, {{"E01", {20.0}}})
                                   .epoch(1.5, {{"E01", {50.0}}})
                                   .parse();
    const AnalysisResult a = analysed(slips);
    EXPECT_EQ(a.constellation_stats.find("GPS")->cycle_slips, 2u);
    EXPECT_EQ(a.constellation_stats.find("Galileo")->cycle_slips, 1u);
    // Gaps: epochs (in time order) with samples of the constellation at which a satellite of it
    // has none, between its first and last sample. GPS epochs 0 30 120 150 180 (60 and 90 carry
    // Galileo only): G01 misses 30 and 150 (its value outside the window), G02 misses 120.
    const RinexObsData gaps = Rinex3Text()
                                  .epoch(0, {{"G01", {40.0}}, {"G02", {40.0}}}).epoch(120, {{"G01", {40.0}}})
                                  .epoch(30, {{"G02", {40.0}}}).epoch(60, {{"E05", {40.0}}}).epoch(90, {{"E05", {40.0}}})
                                  .epoch(150, {{"G01", {70.0}}, {"G02", {40.0}}, {"E05", {40.0}}}).epoch(180, {{"G01", {40.0}}})
                                  .parse();
    const AnalysisResult b = analysed(gaps);
    EXPECT_EQ(b.constellation_stats.find("GPS")->data_gaps, 3u);
    EXPECT_EQ(b.constellation_stats.find("Galileo")->data_gaps, 0u);
}
