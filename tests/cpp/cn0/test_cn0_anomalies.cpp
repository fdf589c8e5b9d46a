// C/N0 drop anomalies against per-satellite baselines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cn0/cn0_anomalies.hpp"
#include "cn0/sample_set_builder.hpp"

using namespace qcn0;
using qcn0::testing::SampleSetBuilder;
using qcn0::testing::stamp;

namespace {

constexpr int kDipEpoch = 5;

// Each satellite holds 45 dB-Hz on 30 epochs except a dip to `dip` at epoch 5 and a matching
// rise at epoch 6, so its baseline mean stays exactly 45 and its deviation below 5 dB for dips of
// up to 16 dB: the limit is then k x 5.
void steady_with_dip(SampleSetBuilder& b, const std::vector<std::string>& satellites, double dip,
                     const std::string& signal = "S1C") {
    for (int e = 0; e < 30; ++e) {
        for (const std::string& sat : satellites) {
            const double v = e == kDipEpoch ? dip : e == kDipEpoch + 1 ? 90.0 - dip : 45.0;
            b.add(stamp(e * 30), sat, v, signal);
        }
    }
}

std::vector<Cn0Anomaly> detect(const SampleSetBuilder& b, double k, double high = 6.0,
                               double critical = 10.0) {
    AnalysisSettings s;
    s.anomaly_threshold_low = k;
    s.anomaly_threshold_high = high;
    s.anomaly_threshold_critical = critical;
    return detect_cn0_anomalies(b.build(), s);
}

}  // namespace

TEST(Cn0Anomalies, TwoSatellitesDroppingTogether) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G05", "E11"}, 29.0);  // drop 16 > 3 x 5
    const auto found = detect(b, 3.0, 15.0, 20.0);
    ASSERT_EQ(found.size(), 1u);
    const Cn0Anomaly& a = found[0];
    EXPECT_EQ(a.timestamp, stamp(kDipEpoch * 30));
    EXPECT_EQ(a.severity, "high");
    EXPECT_EQ(a.event_type, "Multi-system CN0 drop");
    EXPECT_EQ(a.description, "16.0 dB-Hz drop affecting 2 satellite(s)");
    EXPECT_EQ(a.cn0_drop, 16.0);
    EXPECT_EQ(a.affected_satellites, (std::vector<std::string>{"G05", "E11"}));
    EXPECT_EQ(a.affected_systems, (std::vector<std::string>{"GPS", "Galileo"}));

    SampleSetBuilder alone;
    steady_with_dip(alone, {"G05"}, 29.0);
    steady_with_dip(alone, {"G06"}, 45.0);
    EXPECT_TRUE(detect(alone, 3.0).empty()) << "one satellite alone is no anomaly";
}

TEST(Cn0Anomalies, BaselineNeedsTenSamples) {
    // Nine epochs: no baseline, however deep the dip; ten: a baseline of mean 42.5, deviation
    // 7.5, and a dip of 22.5 dB beyond 2.25 x 7.5.
    for (int epochs : {9, 10}) {
        SampleSetBuilder b;
        for (int e = 0; e < epochs; ++e) {
            b.add(stamp(e), "G01", e == 3 ? 20.0 : 45.0).add(stamp(e), "G02", e == 3 ? 20.0 : 45.0);
        }
        EXPECT_EQ(detect(b, 2.25).size(), epochs == 10 ? 1u : 0u) << epochs << " epochs";
    }
}

TEST(Cn0Anomalies, DropMustExceedTenAndTheScaledDeviation) {
    // Baseline deviation below 5 dB: the limit is k x 5, 15 with k = 3 and 11.25 with k = 2.25.
    SampleSetBuilder drop14;
    steady_with_dip(drop14, {"G01", "G02"}, 31.0);
    EXPECT_TRUE(detect(drop14, 3.0).empty());
    EXPECT_EQ(detect(drop14, 2.25).size(), 1u);

    // With a small k the 10 dB floor decides, and exactly 10 does not count.
    SampleSetBuilder drop10;
    steady_with_dip(drop10, {"G01", "G02"}, 35.0);
    EXPECT_TRUE(detect(drop10, 1.0).empty());
    SampleSetBuilder drop10_5;
    steady_with_dip(drop10_5, {"G01", "G02"}, 34.5);
    EXPECT_EQ(detect(drop10_5, 1.0).size(), 1u);
}

TEST(Cn0Anomalies, SatelliteOnTwoSignalsCountsOnce) {
    SampleSetBuilder b;
    steady_with_dip(b, {"G01"}, 29.0, "S1C");
    steady_with_dip(b, {"G01"}, 30.0, "S2W");
    EXPECT_TRUE(detect(b, 2.0).empty()) << "one satellite is not enough";

    steady_with_dip(b, {"G02"}, 31.0);
    const auto found = detect(b, 2.0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].affected_satellites, (std::vector<std::string>{"G01", "G02"}));
    EXPECT_EQ(found[0].description, "16.0 dB-Hz drop affecting 2 satellite(s)");
}

TEST(Cn0Anomalies, EventTypeFromSatellitesAndSystems) {
    SampleSetBuilder three;
    steady_with_dip(three, {"G01", "G02", "G03"}, 32.64);
    const auto found = detect(three, 2.0);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].event_type, "Multi-satellite CN0 drop");
    EXPECT_EQ(found[0].description, "12.4 dB-Hz drop affecting 3 satellite(s)");

    SampleSetBuilder four;
    steady_with_dip(four, {"G01", "G02", "G03", "G04"}, 29.0);
    EXPECT_EQ(detect(four, 3.0).at(0).event_type, "Multi-system CN0 drop");
}

TEST(Cn0Anomalies, SeverityFromLargestDrop) {
    struct Case {
        double high, critical;
        const char* severity;
    };
    // Drops of 16 and 12: every counted drop exceeds a bound of 10, and bounds are inclusive.
    for (const Case& c : {Case{6.0, 10.0, "critical"}, Case{15.0, 17.0, "high"},
                          Case{16.0, 16.0, "critical"}, Case{17.0, 18.0, "low"}}) {
        SampleSetBuilder b;
        steady_with_dip(b, {"G01"}, 29.0);
        steady_with_dip(b, {"G02"}, 33.0);
        const auto found = detect(b, 2.0, c.high, c.critical);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].severity, c.severity) << c.high << " " << c.critical;
        EXPECT_EQ(found[0].cn0_drop, 16.0);
    }
}

TEST(Cn0Anomalies, OnePerEpochInTimeOrder) {
    // Dips at epochs 3 and 25, the later one collected first.
    SampleSetBuilder b;
    for (int e : {20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}) {
        const double v = (e == 3 || e == 25) ? 25.0 : (e == 4 || e == 26) ? 65.0 : 45.0;
        b.add(stamp(e * 30), "G01", v).add(stamp(e * 30), "G02", v);
    }
    const auto found = detect(b, 2.0);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].timestamp, stamp(3 * 30));
    EXPECT_EQ(found[1].timestamp, stamp(25 * 30));
}
