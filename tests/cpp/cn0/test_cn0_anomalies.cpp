// C/N0 drop anomalies against per-satellite baselines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cn0/cn0_anomalies.hpp"
#include "cn0/sample_set_builder.hpp"

using namespace qcn0;
using qcn0::testing::SampleSetBuilder;
using qcn0::testing::stamp;

namespace {

constexpr int kEpochs = 30;
constexpr int kDipEpoch = 5;

// Each satellite holds 45 dB-Hz on every epoch except a dip to `dip` at epoch 5 and a matching
// rise at epoch 6, so its baseline mean stays exactly 45 and its deviation below 5 dB for dips of
// up to 16 dB: the limit is then k x 5.
void steady_with_dip(SampleSetBuilder& b, const std::vector<std::string>& satellites, double dip,
                     const std::string& signal = "S1C") {
    for (int e = 0; e < kEpochs; ++e) {
        for (const std::string& sat : satellites) {
            double v = 45.0;
            if (e == kDipEpoch) v = dip;
            if (e == kDipEpoch + 1) v = 90.0 - dip;
            b.add(stamp(e * 30), sat, v, signal);
        }
    }
}

AnalysisSettings thresholds(double k, double high, double critical) {
    AnalysisSettings s;
    s.anomaly_threshold_low = k;
    s.anomaly_threshold_high = high;
    s.anomaly_threshold_critical = critical;
    return s;
}

std::vector<Cn0Anomaly> detect(const SampleSetBuilder& b, const AnalysisSettings& s) {
    return detect_cn0_anomalies(b.build(), s);
}

const AnalysisSettings kPlain = thresholds(3.0, 6.0, 10.0);

}  // namespace

TEST(Cn0Anomalies, TwoSatellitesDroppingTogether) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G05", "E11"}, 29.0);  // drop 16 > 3 x 5
    const auto found = detect(b, thresholds(3.0, 15.0, 20.0));
    ASSERT_EQ(found.size(), 1u);
    const Cn0Anomaly& a = found[0];
    EXPECT_EQ(a.timestamp, stamp(kDipEpoch * 30));
    EXPECT_EQ(a.severity, "high");
    EXPECT_EQ(a.event_type, "Multi-system CN0 drop");
    EXPECT_EQ(a.description, "16.0 dB-Hz drop affecting 2 satellite(s)");
    EXPECT_EQ(a.cn0_drop, 16.0);
    EXPECT_EQ(a.affected_satellites, (std::vector<std::string>{"G05", "E11"}));
    EXPECT_EQ(a.affected_systems, (std::vector<std::string>{"GPS", "Galileo"}));
}

TEST(Cn0Anomalies, OneSatelliteAloneIsNoAnomaly) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G05"}, 29.0);
    steady_with_dip(b, {"G06"}, 45.0);
    EXPECT_TRUE(detect(b, kPlain).empty());
}

TEST(Cn0Anomalies, BaselineNeedsTenSamples) {
    // Nine epochs: no baseline, however deep the dip; ten: a baseline of mean 42.5, deviation
    // 7.5, and a dip of 22.5 dB beyond 2.25 x 7.5.
    for (int epochs : {9, 10}) {
        SampleSetBuilder b;
        for (int e = 0; e < epochs; ++e) {
            b.add(stamp(e), "G01", e == 3 ? 20.0 : 45.0);
            b.add(stamp(e), "G02", e == 3 ? 20.0 : 45.0);
        }
        EXPECT_EQ(detect(b, thresholds(2.25, 4.5, 10.0)).size(), epochs == 10 ? 1u : 0u)
            << epochs << " epochs";
    }
}

TEST(Cn0Anomalies, DropMustExceedTenAndTheScaledDeviation) {
    // Baseline deviation below 5 dB: the limit is k x 5, 15 with k = 3 and 11.25 with k = 2.25.
    SampleSetBuilder drop14;
    steady_with_dip(drop14, {"G01", "G02"}, 31.0);
    EXPECT_TRUE(detect(drop14, thresholds(3.0, 6.0, 10.0)).empty());
    EXPECT_EQ(detect(drop14, thresholds(2.25, 4.5, 10.0)).size(), 1u);

    SampleSetBuilder drop16;
    steady_with_dip(drop16, {"G01", "G02"}, 29.0);
    EXPECT_EQ(detect(drop16, thresholds(3.0, 6.0, 10.0)).size(), 1u);

    // With a small k the 10 dB floor decides, and exactly 10 does not count.
    SampleSetBuilder drop10;
    steady_with_dip(drop10, {"G01", "G02"}, 35.0);
    EXPECT_TRUE(detect(drop10, thresholds(1.0, 6.0, 10.0)).empty());
    SampleSetBuilder drop10_5;
    steady_with_dip(drop10_5, {"G01", "G02"}, 34.5);
    EXPECT_EQ(detect(drop10_5, thresholds(1.0, 6.0, 10.0)).size(), 1u);
}

TEST(Cn0Anomalies, SatelliteOnTwoSignalsCountsOnce) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G01"}, 29.0, "S1C");
    steady_with_dip(b, {"G01"}, 30.0, "S2W");
    EXPECT_TRUE(detect(b, thresholds(2.0, 6.0, 10.0)).empty()) << "one satellite is not enough";

    steady_with_dip(b, {"G02"}, 31.0);
    const auto found = detect(b, thresholds(2.0, 6.0, 10.0));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].affected_satellites, (std::vector<std::string>{"G01", "G02"}));
    EXPECT_EQ(found[0].description, "16.0 dB-Hz drop affecting 2 satellite(s)");
}

TEST(Cn0Anomalies, EventTypeFromSatellitesAndSystems) {
    SampleSetBuilder three;
    steady_with_dip(three, {"G01", "G02", "G03"}, 29.0);
    EXPECT_EQ(detect(three, kPlain).at(0).event_type, "Multi-satellite CN0 drop");

    SampleSetBuilder four;
    steady_with_dip(four, {"G01", "G02", "G03", "G04"}, 29.0);
    EXPECT_EQ(detect(four, kPlain).at(0).event_type, "Multi-system CN0 drop");

    SampleSetBuilder two_systems;
    steady_with_dip(two_systems, {"G01", "R01"}, 29.0);
    EXPECT_EQ(detect(two_systems, kPlain).at(0).event_type, "Multi-system CN0 drop");
}

TEST(Cn0Anomalies, SeverityFromLargestDrop) {
    struct Case {
        double dip_a, dip_b;
        double high, critical;
        const char* severity;
    };
    const Case cases[] = {
        {29.0, 33.0, 6.0, 10.0, "critical"},   // every counted drop exceeds a bound of 10
        {29.0, 33.0, 15.0, 17.0, "high"},      // largest drop 16
        {29.0, 33.0, 16.0, 16.0, "critical"},  // bounds are inclusive
        {33.0, 33.0, 15.0, 17.0, "low"},
    };
    for (const Case& c : cases) {
        SampleSetBuilder b;
        steady_with_dip(b, {"G01"}, c.dip_a);
        steady_with_dip(b, {"G02"}, c.dip_b);
        const auto found = detect(b, thresholds(2.0, c.high, c.critical));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].severity, c.severity) << c.high << " " << c.critical;
        EXPECT_EQ(found[0].cn0_drop, 45.0 - std::min(c.dip_a, c.dip_b));
    }
}

TEST(Cn0Anomalies, DescriptionRoundsToOneDecimal) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G01", "G02", "G03"}, 32.64);
    const auto found = detect(b, thresholds(2.0, 6.0, 10.0));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].description, "12.4 dB-Hz drop affecting 3 satellite(s)");
}

TEST(Cn0Anomalies, OnePerEpochInTimeOrder) {
    // Two dips, the later epoch collected first.
    SampleSetBuilder b;
    for (int e : {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
        double v = 45.0;
        if (e == 3 || e == 25) v = 25.0;
        if (e == 4 || e == 26) v = 65.0;
        for (const char* sat : {"G01", "G02"}) b.add(stamp(e * 30), sat, v);
    }
    const auto found = detect(b, thresholds(2.0, 6.0, 10.0));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].timestamp, stamp(3 * 30));
    EXPECT_EQ(found[1].timestamp, stamp(25 * 30));
}

TEST(Cn0Anomalies, CountsBySeverity) {
    std::vector<Cn0Anomaly> list(5);
    list[0].severity = "critical";
    list[1].severity = "high";
    list[2].severity = "low";
    list[3].severity = "low";
    list[4].severity = "Critical";  // not one of the three names
    const AnomalyCounts c = count_anomalies(list);
    EXPECT_EQ(c.anomaly_count, 5u);
    EXPECT_EQ(c.critical_count, 1u);
    EXPECT_EQ(c.high_count, 1u);
    EXPECT_EQ(c.low_count, 2u);
}
