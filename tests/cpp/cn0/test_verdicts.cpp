// Jamming, spoofing and interference verdicts read from a finished result.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cn0/verdicts.hpp"

using namespace qcn0;

namespace {

using Systems = std::vector<std::string>;

AnalysisResult with_epochs(std::size_t n) {
    AnalysisResult r;
    r.timeseries.timestamps.assign(n, "2024-03-05T00:00:00.000Z");
    return r;
}

Cn0Anomaly anomaly(const std::string& severity, Systems systems) {
    Cn0Anomaly a;
    a.severity = severity;
    a.affected_systems = std::move(systems);
    return a;
}

// critical_count critical anomalies, the first naming `first_systems`.
AnalysisResult jamming_case(std::size_t epochs, std::uint64_t critical, double mean_cn0,
                            Systems first_systems) {
    AnalysisResult r = with_epochs(epochs);
    r.summary.mean_cn0 = mean_cn0;
    r.summary.critical_count = critical;
    r.summary.anomaly_count = critical;
    for (std::uint64_t i = 0; i < critical; ++i) {
        r.anomalies.push_back(anomaly("critical", i == 0 ? first_systems : Systems{"GPS"}));
    }
    return r;
}

AnalysisResult spoofing_case(double observed, double unexpected) {
    AnalysisResult r;
    VisibilitySummary v;
    v.has_prediction = true;
    v.mean_observed = observed;
    v.mean_unexpected = unexpected;
    r.visibility = v;
    return r;
}

VisibilityAnomaly visibility_anomaly(const std::string& type, double seconds) {
    VisibilityAnomaly a;
    a.anomaly_type = type;
    a.duration_seconds = seconds;
    return a;
}

}  // namespace

TEST(Jamming, CriticalRateWithLowSignalOrSeveralSystems) {
    EXPECT_FALSE(jamming_detected(jamming_case(100, 6, 42.0, {"GPS"})));
    EXPECT_TRUE(jamming_detected(jamming_case(100, 6, 42.0, {"GPS", "Galileo"})));
    EXPECT_TRUE(jamming_detected(jamming_case(100, 6, 34.9, {"GPS"})));
    // Exactly 5 % is not above it.
    EXPECT_FALSE(jamming_detected(jamming_case(100, 5, 20.0, {"GPS", "Galileo"})));
    // No time series divides by one.
    EXPECT_TRUE(jamming_detected(jamming_case(0, 1, 30.0, {"GPS"})));
    EXPECT_FALSE(jamming_detected(jamming_case(0, 1, std::nan(""), {"GPS"})));
}

TEST(Jamming, OnlyLowerCaseCriticalSpansSystems) {
    AnalysisResult r = jamming_case(100, 6, 42.0, {"GPS"});
    r.anomalies.push_back(anomaly("Critical", {"GPS", "Galileo"}));
    r.anomalies.push_back(anomaly("high", {"GPS", "Galileo"}));
    EXPECT_FALSE(jamming_detected(r));
}

TEST(Spoofing, NeedsVisibilityAndManyUnexpectedSatellites) {
    AnalysisResult none;
    none.summary.mean_cn0 = 50.0;
    EXPECT_FALSE(spoofing_detected(none));

    EXPECT_FALSE(spoofing_detected(spoofing_case(0.0, 9.0)));
    // Share 0.75 above 0.6 suffices alone.
    EXPECT_TRUE(spoofing_detected(spoofing_case(12.0, 9.0)));
    // Share 0.45 needs an unexpected-satellite episode of more than five minutes.
    AnalysisResult r = spoofing_case(20.0, 9.0);
    EXPECT_FALSE(spoofing_detected(r));
    r.visibility->anomalies = {visibility_anomaly("missing_satellites", 900.0),
                               visibility_anomaly("unexpected_satellites", 300.0)};
    EXPECT_FALSE(spoofing_detected(r));
    r.visibility->anomalies.push_back(visibility_anomaly("unexpected_satellites", 330.0));
    EXPECT_TRUE(spoofing_detected(r));
    // No more than eight unexpected satellites on average is never spoofing.
    EXPECT_FALSE(spoofing_detected(spoofing_case(10.0, 8.0)));
}

TEST(Spoofing, ThresholdsComeFromTheResult) {
    AnalysisResult r = spoofing_case(12.0, 9.0);
    r.spoofing_min_unexpected_count = 9.0;
    EXPECT_FALSE(spoofing_detected(r));
    r.spoofing_min_unexpected_count = 8.0;
    r.spoofing_unexpected_threshold = 0.8;
    EXPECT_FALSE(spoofing_detected(r));
}

TEST(Interference, NeedsThreeAnomaliesAboveOnePercent) {
    AnalysisResult r = with_epochs(100);
    r.summary.anomaly_count = 2;
    EXPECT_FALSE(interference_detected(r));
    r.summary.anomaly_count = 3;
    EXPECT_TRUE(interference_detected(r));
    r = with_epochs(300);
    r.summary.anomaly_count = 3;  // exactly 0.01
    EXPECT_FALSE(interference_detected(r));
    r = with_epochs(0);
    r.summary.anomaly_count = 3;
    EXPECT_TRUE(interference_detected(r));
}
