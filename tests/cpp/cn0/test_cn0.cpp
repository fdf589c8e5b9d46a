// From samples and results to judgements: C/N0 drop anomalies, the spread of epoch means, sky
// products, the quality assessment, and the jamming, spoofing and interference verdicts.
#include <gtest/gtest.h>

#include "cn0/analysis_config.hpp"
#include "cn0/cn0_anomalies.hpp"
#include "cn0/quality_assessment.hpp"
#include "cn0/sky_products.hpp"
#include "cn0/time_series.hpp"
#include "cn0/verdicts.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

TEST(Settings, TimeBinsAndSystemLetters) {
    AnalysisConfigArguments a;
    a.time_bin_seconds = 4294967296;
    EXPECT_EQ(make_analysis_config(a).error(), "out of range integral type conversion attempted");
    a.time_bin_seconds = 4294967295;
    EXPECT_EQ(make_analysis_config(a)->time_bin_seconds, 4294967295u);
    EXPECT_EQ(from_obs_analysis_config(15.0, 30, Ids{"GPS", "", "\xC3\x89tat", "\xE2\x82\xAC", "\xF0\x9F\x98\x80x"})->systems,
              (Ids{"G", "\xC3\x89", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}));  // the whole first character
    EXPECT_FALSE(from_obs_analysis_config(5.0, -1, std::nullopt).ok());
}

namespace {

// 30 epochs at 45 dB-Hz except a dip at epoch 5 and a matching rise at epoch 6: the baseline mean
// stays exactly 45 and its deviation below 5 dB for dips of up to 16 dB, so the limit is k x 5.
// With fewer epochs there is no rise: 10 epochs with a dip to 20 have mean 42.5, deviation 7.5.
void steady_with_dip(SampleSetBuilder& b, const Ids& satellites, double dip, const std::string& signal = "S1C",
                     int epochs = 30) {
    for (int e = 0; e < epochs; ++e)
        for (const auto& sat : satellites) b.add(stamp(e * 30), sat, e == 5 ? dip : e == 6 && epochs == 30 ? 90.0 - dip : 45.0, signal);
}
std::vector<Cn0Anomaly> detect(const SampleSetBuilder& b, double k, double high = 6.0, double critical = 10.0) {
    AnalysisSettings s;
    s.anomaly_threshold_low = k, s.anomaly_threshold_high = high, s.anomaly_threshold_critical = critical;
    return detect_cn0_anomalies(b.build(), s);
}

}  // namespace

TEST(Cn0Anomalies, DropsAgainstPerSatelliteBaselines) {
    SampleSetBuilder two;
    steady_with_dip(two, {"G05", "E11"}, 29.0);  // drop 16 > 3 x 5
    const auto found = detect(two, 3.0, 15.0, 20.0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (Cn0Anomaly{stamp(150), "high", "Multi-system CN0 drop", "16.0 dB-Hz drop affecting 2 satellite(s)",
                                    16.0, {"G05", "E11"}, {"GPS", "Galileo"}}));
    struct Case {
        Ids sats;
        double dip, k;
        int epochs;
        std::size_t found;
        const char* type;
    };
    const Case cases[] = {
        {{"G01"}, 29.0, 3.0, 30, 0, nullptr},             // one satellite alone is no event
        {{"G01", "G02"}, 20.0, 2.25, 9, 0, nullptr},      // nine samples make no baseline
        {{"G01", "G02"}, 20.0, 2.25, 10, 1, nullptr},     // ten do: 22.5 above 2.25 x 7.5
        {{"G01", "G02"}, 31.0, 3.0, 30, 0, nullptr},      // 14 is not above 15
        {{"G01", "G02"}, 31.0, 2.25, 30, 1, nullptr},     // but above 11.25
        {{"G01", "G02"}, 35.0, 1.0, 30, 0, nullptr},      // exactly 10 dB is no drop
        {{"G01", "G02"}, 34.5, 1.0, 30, 1, nullptr}, {{"G01", "G02", "G03"}, 32.64, 2.0, 30, 1, "Multi-satellite CN0 drop"},
        {{"G01", "G02", "G03", "G04"}, 29.0, 3.0, 30, 1, "Multi-system CN0 drop"},
    };
    for (const Case& c : cases) {
        SampleSetBuilder b;
        steady_with_dip(b, c.sats, c.dip, "S1C", c.epochs);
        const auto out = detect(b, c.k);
        ASSERT_EQ(out.size(), c.found) << c.dip << " " << c.k;
        EXPECT_EQ(c.type ? out[0].event_type : "", c.type ? c.type : "") << c.dip << " " << c.k;
    }
    // A satellite on two signals counts once; the reported drop is the largest.
    SampleSetBuilder b;
    steady_with_dip(b, {"G01"}, 29.0, "S1C");
    steady_with_dip(b, {"G01"}, 30.0, "S2W");
    EXPECT_TRUE(detect(b, 2.0).empty());
    steady_with_dip(b, {"G02"}, 33.0);
    EXPECT_EQ(detect(b, 2.0).at(0).description, "16.0 dB-Hz drop affecting 2 satellite(s)");
    EXPECT_EQ(detect(b, 2.0, 12.0, 17.0).at(0).severity, "high");
    // Severity bounds are inclusive: drops of 16 and 12.
    for (const auto& [high, critical, severity] : std::vector<std::tuple<double, double, std::string>>{
             {6, 10, "critical"}, {15, 17, "high"}, {16, 16, "critical"}, {17, 18, "low"}})
        EXPECT_EQ(detect(b, 2.0, high, critical).at(0).severity, severity) << high << " " << critical;

}

TEST(TimeSeries, SpreadOfEpochMeans) {
    EXPECT_DOUBLE_EQ(cn0_std_dev({40.0, 42.0, 44.0}), std::sqrt(8.0 / 3.0));  // population deviation
    EXPECT_EQ(cn0_std_dev({}) + cn0_std_dev({37.5}), 0.0);
}

TEST(SkyProducts, TracesHeatPointsAndTheGrid) {
    const std::string t1 = stamp(0), t2 = stamp(30);
    const SampleSet set = SampleSetBuilder()
                              .add(t2, "J02", 40.0, "S1C", 89.9, 359.9).add(t1, "C19", 44.0, "S2I", 90.0, 359.9)
                              .add(t1, "G03", 30.0, "S1C", -3.0, 12.0).add(t1, "G04", 31.0, "S1C", 10.0, -0.5)
                              .add(t1, "G05", 33.0, "S1C", 12.5, 360.0).add(t1, "J02", 42.0, "S1C", 89.0, 355.0)
                              .build();
    const SkyProducts sky = build_sky_products(set);
    // One trace per satellite, points in collection order; QZSS is grouped as "Other".
    EXPECT_EQ(sky.skyplot.traces.at(0), (SkyplotTrace{"J02", "Other", {{359.9, 89.9, 40.0, "J02"}, {355.0, 89.0, 42.0, "J02"}}}));
    // Heat cells of 10 x 5 degrees have no limits: 90 degrees, below the horizon, west of north
    // and 360 degrees open cells of their own, and count towards the coverage of 648 cells.
    EXPECT_EQ(sky.skyplot.heatmap_points, (std::vector<HeatmapPoint>{{355.0, 87.5, 41.0, 2}, {355.0, 92.5, 44.0, 1},
                                                                     {15.0, -2.5, 30.0, 1}, {-5.0, 12.5, 31.0, 1},
                                                                     {365.0, 12.5, 33.0, 1}}));
    EXPECT_DOUBLE_EQ(sky.skyplot.coverage_percent, 5.0 / 648.0 * 100.0);
    // The grid clamps the edges into its 18 x 36 cells.
    const HeatmapData& grid = sky.heatmap;
    ASSERT_EQ(grid.azimuth_bins.size() * 100 + grid.elevation_bins.size(), 3618u);
    EXPECT_EQ(grid.azimuth_bins.back() + grid.elevation_bins.back(), 355.0 + 87.5);
    ASSERT_EQ(grid.count_matrix.size() * 100 + grid.cn0_matrix[17].size(), 1836u);
    EXPECT_EQ(grid.count_matrix[17][35], 3u);  // 89.9, 90 and 89 share the top row
    EXPECT_DOUBLE_EQ(grid.cn0_matrix[17][35], 42.0);
    EXPECT_EQ(grid.count_matrix[0][1] + grid.count_matrix[2][0] + grid.count_matrix[2][35], 3u);
    EXPECT_EQ(grid.cn0_matrix[0][1] + grid.cn0_matrix[9][18] + grid.count_matrix[9][18], 30.0);
    EXPECT_EQ(build_skyplot(set), sky.skyplot);
    EXPECT_EQ(build_heatmap(set), sky.heatmap);
}

namespace {

AnalysisResult judged(double mean_cn0, double coverage, std::uint64_t anomalies, std::uint64_t epochs) {
    AnalysisResult r;
    r.summary.mean_cn0 = mean_cn0, r.summary.anomaly_count = anomalies, r.summary.total_epochs = epochs;
    r.skyplot.coverage_percent = coverage;
    return r;
}
VisibilitySummary prediction(double confirmation, double predicted, double observed, double unexpected) {
    VisibilitySummary v;
    v.has_prediction = true;
    v.confirmation_rate = confirmation, v.mean_predicted = predicted, v.mean_observed = observed;
    v.mean_unexpected = unexpected;
    return v;
}

}  // namespace

TEST(Quality, AssessmentFromTheResult) {
    // cn0 score (mean - 30) x 100 / 15, at most 100; consistency 100 - anomaly rate x 500.
    EXPECT_EQ(assess_quality(judged(42.0, 50.0, 0, 100)),
              (QualityAssessment{80.5, 80.0, 50.0, 100.0, "B", "Good GNSS signal quality"}));
    // Overall 0.35 x cn0 + 0.25 x coverage + 0.4 x consistency; consistency 100 - 1000 x rate.
    const std::tuple<AnalysisResult, double, const char*> cases[] = {
        {judged(45.0, 100.0, 1, 40), 90.0, "A"},  // 35 + 25 + 30: bounds are inclusive
        {judged(30.0, 0.0, 0, 10), 40.0, "F"},
        {judged(45.0, 0.0, 1, 20), 55.0, nullptr},  // 35 + 0 + 20
        {judged(45.0, 0.0, 3, 20), 35.0, nullptr},
        {judged(45.0, 0.0, 1, 1), 35.0, nullptr},  // one epoch, or none, divides by one
        {judged(45.0, 0.0, 1, 0), 35.0, nullptr},
    };
    for (const auto& [r, overall, grade] : cases) {
        const QualityAssessment q = assess_quality(r);
        EXPECT_DOUBLE_EQ(q.overall, overall);
        EXPECT_EQ(grade ? q.grade : "", grade ? grade : "");
    }
    // Prediction penalties: unconfirmed share (at most 30) and unexpected share (at most 20).
    AnalysisResult r = judged(45.0, 100.0, 0, 100);
    const std::tuple<VisibilitySummary, double, std::string> predicted[] = {
        {prediction(40.0, 8.0, 8.0, 2.0), 60.0, "Good GNSS signal quality"},  // 30 (limited) and 10
        {prediction(120.0, 8.0, 20.0, 10.0), 80.0, "Excellent GNSS signal quality - WARNING: Many unexpected satellites detected"},
        {prediction(0.0, 8.0, 20.0, 10.0), 50.0, "Good GNSS signal quality - WARNING: Many unexpected satellites detected"},
        {VisibilitySummary{}, 100.0, "Excellent GNSS signal quality"},  // could not run: ignored
        {prediction(20.0, 15.0, 10.0, 6.0), 50.0, "Good GNSS signal quality - WARNING: Many unexpected satellites detected"},
        {prediction(45.0, 10.5, 10.0, 0.0), -1, "Good GNSS signal quality - WARNING: Low satellite confirmation rate"},
        {prediction(45.0, 10.0, 10.0, 0.0), -1, "Good GNSS signal quality"},  // needs more than 10 predicted
        {prediction(100.0, 5.0, 6.0, 5.0), 80.0, "Excellent GNSS signal quality"},  // 5 unexpected are not many
    };
    for (const auto& [v, consistency, interpretation] : predicted) {
        r.visibility = v;
        EXPECT_EQ(consistency < 0 ? -1 : assess_quality(r).consistency_score, consistency) << interpretation;
        EXPECT_EQ(assess_quality(r).interpretation, interpretation);
    }
    EXPECT_EQ(assess_quality(judged(30.0, 0.0, 0, 10)).interpretation,
              "Very poor GNSS signal quality - significant interference suspected");
}

TEST(Verdicts, JammingSpoofingInterference) {
    auto jamming = [](std::size_t epochs, std::uint64_t critical, double mean, Ids systems, std::string severity = "critical") {
        AnalysisResult r;
        r.timeseries.timestamps.assign(epochs, stamp(0));
        r.summary.mean_cn0 = mean, r.summary.critical_count = r.summary.anomaly_count = critical;
        for (std::uint64_t i = 0; i < critical; ++i)
            r.anomalies.push_back({"", i == 0 ? severity : "critical", "", "", 0, {}, i == 0 ? systems : Ids{"GPS"}});
        return jamming_detected(r);
    };
    // More than 5 % critical epochs, with weak signals or several systems in one critical event.
    EXPECT_EQ(std::vector<bool>({jamming(100, 6, 42.0, {"GPS"}), jamming(100, 6, 42.0, {"GPS", "Galileo"}),
                                 jamming(100, 6, 34.9, {"GPS"}), jamming(100, 5, 20.0, {"GPS", "Galileo"}),
                                 jamming(0, 1, 30.0, {"GPS"}), jamming(0, 1, std::nan(""), {"GPS"}),
                                 jamming(100, 6, 42.0, {"GPS", "Galileo"}, "Critical")}),
              std::vector<bool>({false, true, true, false, true, false, false}));
    auto spoofing = [](double observed, double unexpected, std::vector<std::pair<std::string, double>> runs = {},
                       double min_count = 8.0, double share = 0.4) {
        AnalysisResult r;
        VisibilitySummary v = prediction(0, 0, observed, unexpected);
        for (const auto& [type, seconds] : runs) v.anomalies.push_back({"", "", seconds, type, "", {}, {}, ""});
        r.visibility = v;
        r.spoofing_min_unexpected_count = min_count, r.spoofing_unexpected_threshold = share;
        return spoofing_detected(r);
    };
    // Above eight unexpected satellites and a share above the threshold; a share up to 0.6 also
    // needs an unexpected-satellite run of more than five minutes.
    EXPECT_EQ(std::vector<bool>({spoofing(0.0, 9.0), spoofing(12.0, 9.0), spoofing(20.0, 9.0),
                                 spoofing(20.0, 9.0, {{"missing_satellites", 900}, {"unexpected_satellites", 300}}),
                                 spoofing(20.0, 9.0, {{"unexpected_satellites", 330}}), spoofing(10.0, 8.0),
                                 spoofing(12.0, 9.0, {}, 9.0), spoofing(12.0, 9.0, {}, 8.0, 0.8),
                                 spoofing(30.0, 9.0, {{"unexpected_satellites", 330}})}),
              std::vector<bool>({false, true, false, false, true, false, false, false, false}));
    EXPECT_FALSE(spoofing_detected(judged(50.0, 0, 0, 0)));
    // Interference: at least three anomalies in more than 1 % of the epochs.
    auto interference = [](std::size_t epochs, std::uint64_t anomalies) {
        AnalysisResult r;
        r.timeseries.timestamps.assign(epochs, stamp(0));
        r.summary.anomaly_count = anomalies;
        return interference_detected(r);
    };
    EXPECT_EQ(std::vector<bool>({interference(100, 2), interference(100, 3), interference(300, 3), interference(0, 3)}),
              std::vector<bool>({false, true, false, true}));
}
