// The analysis of a file: which values become samples (C/N0 window, constellation selection,
// elevation mask with and without orbits), the figures computed from them and from the file,
// the short result of a file without samples, and the visibility part added with orbits.
#include <gtest/gtest.h>

#include "cn0/analysis.hpp"
#include "results/json_writer.hpp"
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

TEST(Statistics, SatellitesAndConstellations) {
    const RinexObsData obs = Rinex3Text()
                                 .codes('G', {"S1C", "S2W"}).position(kEarthRadius, 0.0, 0.0)
                                 .epoch(3600, {{"G01", {40.0, 30.0}}, {"J02", {20.0}}, {"S20", {10.0}}, {"R05", {35.0}}})
                                 .epoch(3601, {{"G01", {44.0, Field()}}, {"E11", {50.0}}, {"I03", {12.0}}, {"J03", {1.0}}})
                                 .epoch(9030.5, {{"G01", {42.0, 34.0}}, {"G02", {41.0}}}).epoch(0, {{"G02", {39.0}}})
                                 .parse("algo0070.24o");
    const AnalysisResult r = analysed(obs);
    // Times as written in file order (day numbers hold about 0.1 ms); totals over the file.
    EXPECT_EQ(r.file_info.start_time + " " + r.file_info.end_time, "2024-01-07T01:00:00.000Z 2024-01-07T00:00:00.000Z");
    EXPECT_NEAR(r.file_info.duration_hours, -1.0, 1e-7);
    EXPECT_EQ(format("%llu %llu %llu %.6g %g %g ", (unsigned long long)r.summary.total_epochs, (unsigned long long)r.summary.total_satellites,
                     (unsigned long long)r.summary.total_observations, r.summary.mean_cn0, r.summary.min_cn0, r.summary.max_cn0) +
                  join(r.summary.systems_observed),
              "4 8 9 39.4444 30 50 GPS,QZSS,SBAS,GLONASS,Galileo,IRNSS");
    // G01: 40 30 44 42 34, mean 38, deviations 2 -8 6 4 -4: population deviation sqrt(136 / 5).
    const SatelliteStats& g01 = *r.satellite_stats.find("G01");
    EXPECT_EQ(format("%s %llu %g %g %g %g", g01.system.c_str(), (unsigned long long)g01.observation_count, g01.mean_cn0, g01.min_cn0,
                     g01.max_cn0, g01.mean_elevation), "GPS 5 38 30 44 45");
    EXPECT_DOUBLE_EQ(g01.std_cn0, std::sqrt(136.0 / 5.0));
    std::string stats;  // a constellation in the file without samples keeps its file figures
    for (const auto& [name, c] : r.constellation_stats)
        stats += format("%s %llu %llu %.6g %g %g %.4g %llu %.4g,", name.c_str(), (unsigned long long)c.satellite_count,
                        (unsigned long long)c.observation_count, c.mean_cn0, c.min_cn0, c.max_cn0, c.std_cn0,
                        (unsigned long long)c.satellites_expected, c.availability_ratio);
    EXPECT_EQ(stats, "GPS 2 7 38.5714 30 44 4.531 12 0.1667,QZSS 2 0 0 0 0 0 4 0.5,SBAS 1 0 0 0 0 0 3 0.3333,"
                     "GLONASS 1 1 35 35 35 0 9 0.1111,Galileo 1 1 50 50 50 0 10 0.1,IRNSS 1 0 0 0 0 0 7 0.1429,");
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

TEST(Result, VisibilityWithOrbits) {
    // Five GPS and two Galileo satellites are predicted; G01..G03 and E01 are seen, and E07 and E08
    // which have no ephemeris although Galileo has. R07 and S20 take no part in the comparison.
    const std::vector<SatLine> sats = {{"G01", {45.0}}, {"G02", {44.0}}, {"G03", {43.0}}, {"E01", {42.0}},
                                       {"E07", {41.5}}, {"E08", {41.0}}, {"R07", {41.0}}, {"S20", {40.0}}};
    const RinexObsData obs = Rinex3Text().position(kEarthRadius, 0.0, 0.0).epoch(0, sats).epoch(30, sats).parse();
    NavigationData nav;
    for (std::uint32_t prn = 1; prn <= 5; ++prn) add_orbit(nav, 'G', prn, -40.0 + 15.0 * prn);
    add_orbit(nav, 'E', 1, 5.0), add_orbit(nav, 'E', 2, -5.0);
    AnalysisSettings s = analyze_cn0_settings(5.0, std::nullopt);
    s.spoofing_unexpected_threshold = 0.25, s.spoofing_min_unexpected_count = 3.0;
    const AnalysisResult r = analyse(obs, s, &nav);
    EXPECT_EQ(r.spoofing_unexpected_threshold + r.spoofing_min_unexpected_count, 3.25);
    const VisibilitySummary& v = r.visibility.value();
    EXPECT_EQ(format("%s %g %g %g %g ", v.prediction_source.c_str(), v.mean_predicted, v.mean_observed, v.mean_missing,
                     v.mean_unexpected) + join(v.frequently_unexpected), "BRDC Navigation (7 satellites) 7 6 3 2 E07,E08");
    // The larger of predicted and seen satellites replaces the expected count where above 0.
    std::string expected;
    for (const auto& [name, c] : r.constellation_stats) expected += format("%s %llu %.4g,", name.c_str(), (unsigned long long)c.satellites_expected, c.availability_ratio);
    EXPECT_EQ(expected, "GPS 5 0.6,Galileo 3 1,GLONASS 9 0.1111,SBAS 3 0.3333,");
    EXPECT_GT(r.satellite_stats.find("G03")->mean_elevation, 60.0);
    EXPECT_EQ(r.satellite_stats.find("E07")->mean_elevation, 45.0);
    EXPECT_EQ(to_json(analyse(obs, s, &nav)), to_json(r));  // the same input gives the same document
    // Without a receiver position no prediction is made, so nothing is held against the file.
    const AnalysisResult u = analyse(Rinex3Text().epoch(0, {{"G01", {45.0}}}).epoch(30, {{"G01", {45.0}}}).parse(), s, &nav);
    EXPECT_EQ(u.visibility, VisibilitySummary{});
    EXPECT_EQ(u.quality_score.consistency_score, 100.0);
    EXPECT_EQ(u.constellation_stats.find("GPS")->satellites_expected, 12u);
}
