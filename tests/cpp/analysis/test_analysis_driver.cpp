// The analysis as a whole: the file information it reports, the short result of a file without
// accepted samples, the settings it copies, the visibility part it adds with navigation data,
// and the same document on every run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/obs_text.hpp"
#include "cn0/analysis.hpp"
#include "results/json_writer.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

AnalysisSettings defaults() {
    return analyze_cn0_settings(5.0, std::nullopt);
}

// Satellites of GPS, Galileo and QZSS near the zenith of the equatorial receiver.
NavigationData gps_galileo_navigation() {
    NavigationData nav;
    for (std::uint32_t prn = 1; prn <= 5; ++prn)
        add_orbit(nav, equatorial_orbit('G', prn, -40.0 + 15.0 * prn));
    add_orbit(nav, equatorial_orbit('E', 1, 5.0));
    add_orbit(nav, equatorial_orbit('E', 2, -5.0));
    return nav;
}

void expect_no_sample_result(const AnalysisResult& r) {
    EXPECT_EQ(r.summary.total_observations, 0u);
    EXPECT_EQ(r.summary.mean_cn0, 0.0);
    EXPECT_EQ(r.summary.min_cn0, 0.0);
    EXPECT_EQ(r.summary.max_cn0, 0.0);
    EXPECT_EQ(r.summary.anomaly_count, 0u);
    EXPECT_TRUE(r.constellation_stats.empty());
    EXPECT_TRUE(r.satellite_stats.empty());
    EXPECT_EQ(r.timeseries, TimeSeriesData{});
    EXPECT_EQ(r.skyplot, SkyplotData{});
    EXPECT_EQ(r.heatmap, HeatmapData{});
    EXPECT_TRUE(r.anomalies.empty());
    EXPECT_FALSE(r.visibility.has_value());
    EXPECT_EQ(r.quality_score, QualityAssessment{});
    EXPECT_EQ(r.quality_score.grade, "N/A");
    EXPECT_EQ(r.quality_score.interpretation, "No data");
    EXPECT_EQ(r.spoofing_unexpected_threshold, 0.40);
    EXPECT_EQ(r.spoofing_min_unexpected_count, 8.0);
}

}  // namespace

TEST(FileInformation, CopiedFromTheHeaderAndTheEpochs) {
    const RinexObsData obs =
        Rinex3Text()
            .header("ALGO", "MARKER NAME")
            .header("4711                AOA BENCHMARK ACT   3.3.32", "REC # / TYPE")
            .header("0815                TRM59800.00     NONE", "ANT # / TYPE")
            .header("    30.000", "INTERVAL")
            .position(kEarthRadius, 0.0, 0.0)
            .epoch(0, {{"G01", {40.0}}})
            .epoch(30, {{"G01", {41.0}}})
            .epoch(5430.5, {{"G01", {42.0}}})
            .parse("algo0070.24o");
    const AnalysisResult r = analyse(obs, defaults(), nullptr);
    const FileInfo& f = r.file_info;
    EXPECT_EQ(f.filename, "algo0070.24o");
    EXPECT_EQ(f.marker_name, "ALGO");
    EXPECT_EQ(f.receiver_type, "AOA BENCHMARK ACT");
    EXPECT_EQ(f.antenna_type, "TRM59800.00     NONE");
    EXPECT_EQ(f.interval, 30.0);
    EXPECT_EQ(f.start_time, "2024-01-07T00:00:00.000Z");
    EXPECT_EQ(f.end_time, "2024-01-07T01:30:30.500Z");
    EXPECT_NEAR(f.duration_hours, 5430.5 / 3600.0, 1e-7);  // day numbers hold ~0.1 ms
    EXPECT_NEAR(f.position_lat, 0.0, 1e-9);
    EXPECT_NEAR(f.position_lon, 0.0, 1e-9);
    EXPECT_NEAR(f.position_height, 0.0, 1e-3);
    EXPECT_EQ(r.rinex_version, 3.04);
}

TEST(FileInformation, FirstAndLastInFileOrder) {
    // The last epoch lies before the first: the times are taken as written and the duration is
    // negative.
    const RinexObsData obs = Rinex3Text()
                                 .epoch(3600, {{"G01", {40.0}}})
                                 .epoch(7200, {{"G01", {41.0}}})
                                 .epoch(0, {{"G01", {42.0}}})
                                 .parse();
    const AnalysisResult r = analyse(obs, defaults(), nullptr);
    EXPECT_EQ(r.file_info.start_time, "2024-01-07T01:00:00.000Z");
    EXPECT_EQ(r.file_info.end_time, "2024-01-07T00:00:00.000Z");
    EXPECT_NEAR(r.file_info.duration_hours, -1.0, 1e-7);
    // Without a position the coordinates stay 0.
    EXPECT_EQ(r.file_info.position_lat, 0.0);
    EXPECT_EQ(r.file_info.position_lon, 0.0);
    EXPECT_EQ(r.file_info.position_height, 0.0);
}

TEST(FileInformation, FileWithoutEpochs) {
    const RinexObsData obs = Rinex3Text().header("EMPTY", "MARKER NAME").parse("empty.24o");
    ASSERT_TRUE(obs.epochs.empty());
    const AnalysisResult r = analyse(obs, defaults(), nullptr);
    EXPECT_EQ(r.file_info.filename, "empty.24o");
    EXPECT_EQ(r.file_info.marker_name, "EMPTY");
    EXPECT_EQ(r.file_info.start_time, "");
    EXPECT_EQ(r.file_info.end_time, "");
    EXPECT_EQ(r.file_info.duration_hours, 0.0);
    EXPECT_EQ(r.summary.total_epochs, 0u);
    EXPECT_EQ(r.summary.total_satellites, 0u);
    EXPECT_TRUE(r.summary.systems_observed.empty());
    expect_no_sample_result(r);
}

TEST(NoAcceptedSample, FileFiguresStayEverythingElseIsEmpty) {
    // Epochs with code values only, and S values outside the window: nothing is accepted.
    const RinexObsData obs = Rinex3Text()
                                 .codes('G', {"C1C", "S1C"})
                                 .position(kEarthRadius, 0.0, 0.0)
                                 .epoch(0, {{"G01", {2.2e7, Field::absent()}}, {"E02", {61.0}}})
                                 .epoch(30, {{"G03", {2.3e7, 75.5}}, {"J01", {40.0}}})
                                 .parse("quiet.obs");
    const NavigationData nav = gps_galileo_navigation();
    AnalysisSettings s = defaults();
    s.spoofing_unexpected_threshold = 0.9;
    s.spoofing_min_unexpected_count = 3.0;
    for (const NavigationData* n : {static_cast<const NavigationData*>(nullptr), &nav}) {
        const AnalysisResult r = analyse(obs, s, n);
        EXPECT_EQ(r.file_info.filename, "quiet.obs");
        EXPECT_EQ(r.file_info.start_time, "2024-01-07T00:00:00.000Z");
        EXPECT_EQ(r.file_info.end_time, "2024-01-07T00:00:30.000Z");
        EXPECT_EQ(r.summary.total_epochs, 2u);
        EXPECT_EQ(r.summary.total_satellites, 4u);
        EXPECT_EQ(r.summary.systems_observed, (std::vector<std::string>{"GPS", "Galileo", "QZSS"}));
        expect_no_sample_result(r);  // no visibility even with navigation data
    }
}

TEST(NoAcceptedSample, EmptySelectionAndHighMask) {
    const RinexObsData obs = Rinex3Text().epoch(0, {{"G01", {40.0}}, {"R01", {41.0}}}).parse();
    AnalysisSettings none = analyze_cn0_settings(5.0, std::vector<std::string>{});
    AnalysisResult r = analyse(obs, none, nullptr);
    EXPECT_EQ(r.summary.total_satellites, 2u);
    expect_no_sample_result(r);

    r = analyse(obs, analyze_cn0_settings(50.0, std::nullopt), nullptr);
    EXPECT_EQ(r.summary.total_epochs, 1u);
    expect_no_sample_result(r);
}

TEST(Settings, SpoofingValuesAreCopiedWhenThereAreSamples) {
    const RinexObsData obs = Rinex3Text().epoch(0, {{"G01", {40.0}}}).parse();
    AnalysisSettings s = defaults();
    s.spoofing_unexpected_threshold = 0.25;
    s.spoofing_min_unexpected_count = 3.0;
    const AnalysisResult r = analyse(obs, s, nullptr);
    EXPECT_EQ(r.spoofing_unexpected_threshold, 0.25);
    EXPECT_EQ(r.spoofing_min_unexpected_count, 3.0);
    EXPECT_NE(r.quality_score.grade, "N/A");
}

TEST(Visibility, AbsentWithoutNavigationData) {
    const RinexObsData obs =
        Rinex3Text().position(kEarthRadius, 0.0, 0.0).epoch(0, {{"G01", {40.0}}}).parse();
    EXPECT_FALSE(analyse(obs, defaults(), nullptr).visibility.has_value());
}

TEST(Visibility, PredictionFeedsTheExpectedSatellites) {
    // Five GPS and two Galileo satellites are predicted. G01..G03 and E01 are seen, and E07 and
    // E08, which have no ephemeris although Galileo has. R07 and S20 have no ephemeris of their
    // constellation at all and take no part in the comparison, but keep their C/N0 statistics.
    const std::vector<SatLine> sats = {{"G01", {45.0}}, {"G02", {44.0}}, {"G03", {43.0}},
                                       {"E01", {42.0}}, {"E07", {41.5}}, {"E08", {41.0}},
                                       {"R07", {41.0}}, {"S20", {40.0}}};
    const RinexObsData obs =
        Rinex3Text().position(kEarthRadius, 0.0, 0.0).epoch(0, sats).epoch(30, sats).parse();
    const NavigationData nav = gps_galileo_navigation();
    const AnalysisResult r = analyse(obs, defaults(), &nav);
    ASSERT_TRUE(r.visibility.has_value());
    const VisibilitySummary& v = *r.visibility;
    EXPECT_TRUE(v.has_prediction);
    EXPECT_EQ(v.prediction_source, "BRDC Navigation (7 satellites)");
    EXPECT_DOUBLE_EQ(v.mean_predicted, 7.0);
    EXPECT_DOUBLE_EQ(v.mean_observed, 6.0);
    EXPECT_DOUBLE_EQ(v.mean_missing, 3.0);
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 2.0);
    EXPECT_EQ(v.frequently_unexpected, (std::vector<std::string>{"E07", "E08"}));

    // The larger of predicted and observed satellites replaces the table where it is above 0:
    // GPS 5 predicted, 3 seen; Galileo 2 predicted, 3 seen.
    EXPECT_EQ(r.constellation_stats.find("GPS")->satellites_expected, 5u);
    EXPECT_DOUBLE_EQ(r.constellation_stats.find("GPS")->availability_ratio, 3.0 / 5.0);
    EXPECT_EQ(r.constellation_stats.find("Galileo")->satellites_expected, 3u);
    EXPECT_DOUBLE_EQ(r.constellation_stats.find("Galileo")->availability_ratio, 1.0);
    EXPECT_EQ(r.constellation_stats.find("GLONASS")->satellites_expected, 9u);
    EXPECT_EQ(r.constellation_stats.find("GLONASS")->observation_count, 2u);
    EXPECT_EQ(r.constellation_stats.find("SBAS")->satellites_expected, 3u);

    // Samples now carry look angles from the orbits.
    EXPECT_GT(r.satellite_stats.find("G03")->mean_elevation, 60.0);
    EXPECT_EQ(r.satellite_stats.find("R07")->mean_elevation, 45.0);
    EXPECT_EQ(r.satellite_stats.find("E07")->mean_elevation, 45.0);
}

TEST(Visibility, WithoutReceiverPositionThePredictionIsNotMade) {
    const RinexObsData obs =
        Rinex3Text().epoch(0, {{"G01", {45.0}}}).epoch(30, {{"G01", {45.0}}}).parse();
    const NavigationData nav = gps_galileo_navigation();
    const AnalysisResult r = analyse(obs, defaults(), &nav);
    ASSERT_TRUE(r.visibility.has_value());
    EXPECT_EQ(*r.visibility, VisibilitySummary{});
    EXPECT_FALSE(r.visibility->has_prediction);
    // No prediction, so no penalty and no warning: one satellite at 45 dB-Hz, one sky cell, no
    // anomaly. (A confirmation rate of 0 taken at face value would cost 30 points.)
    EXPECT_EQ(r.quality_score.consistency_score, 100.0);
    EXPECT_EQ(r.quality_score.grade, "C");
    EXPECT_EQ(r.quality_score.interpretation, "Fair GNSS signal quality with some issues");
    EXPECT_EQ(r.constellation_stats.find("GPS")->satellites_expected, 12u);
}

TEST(Determinism, SameInputSameDocument) {
    const RinexObsData obs =
        Rinex3Text()
            .codes('G', {"S1C", "S2W"})
            .position(kEarthRadius, 0.0, 0.0)
            .epoch(0, {{"G02", {45.0, 40.0}},
                       {"E01", {42.0}},
                       {"G01", {44.0, 39.0}},
                       {"C05", {38.0}},
                       {"R03", {36.0}},
                       {"G09", {30.0}}})
            .epoch(30, {{"G01", {44.5, 39.5}},
                        {"C05", {38.5}},
                        {"G02", {20.0, 21.0}},
                        {"E01", {41.0}},
                        {"R03", {36.0}}})
            .epoch(60, {{"R03", {35.0}}, {"G09", {31.0}}, {"G01", {43.0, 38.0}}})
            .parse();
    const NavigationData nav = gps_galileo_navigation();
    const AnalysisResult a = analyse(obs, defaults(), &nav);
    const AnalysisResult b = analyse(obs, defaults(), &nav);
    EXPECT_EQ(a, b);
    EXPECT_EQ(to_json(a), to_json(b));
    EXPECT_EQ(to_json_pretty(a), to_json_pretty(b));
    // Maps list their entries in order of first appearance.
    std::vector<std::string> ids;
    for (const auto& [id, st] : a.satellite_stats) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::string>{"G02", "E01", "G01", "C05", "R03", "G09"}));
}
