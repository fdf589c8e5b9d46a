// Runs of epochs with many missing or unexpected satellites, from hand-built per-epoch
// comparisons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/obs_text.hpp"
#include "visibility/visibility_anomalies.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Ids = std::vector<std::string>;

// n distinct satellites of one letter, numbered from `first`.
Ids sats(char letter, int n, int first = 1) {
    Ids out;
    for (int k = 0; k < n; ++k)
        out.push_back(sat_id(letter, static_cast<std::uint32_t>(first + k)));
    return out;
}

Ids operator+(Ids a, const Ids& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Epoch k at 30 k seconds.
EpochVisibility missing_epoch(int k, std::uint64_t predicted, Ids missing) {
    EpochVisibility e;
    e.timestamp = stamp_at(30.0 * k);
    e.predicted = predicted;
    e.confirmed = predicted - missing.size();
    e.observed = e.confirmed;
    e.missing = std::move(missing);
    return e;
}

EpochVisibility unexpected_epoch(int k, Ids unexpected) {
    EpochVisibility e;
    e.timestamp = stamp_at(30.0 * k);
    e.predicted = 10;
    e.confirmed = 10;
    e.observed = 10 + unexpected.size();
    e.unexpected = std::move(unexpected);
    return e;
}

// One missing run over epochs 1 and 2 (ended at 3) in which all of `during` are missing.
std::vector<VisibilityAnomaly> missing_run_of(const Ids& during) {
    const std::uint64_t n = during.size();
    return detect_visibility_anomalies({missing_epoch(0, n, {}), missing_epoch(1, n, during),
                                        missing_epoch(2, n, during), missing_epoch(3, n, {})});
}

std::vector<VisibilityAnomaly> unexpected_run_of(const Ids& during) {
    return detect_visibility_anomalies({unexpected_epoch(0, {}), unexpected_epoch(1, during),
                                        unexpected_epoch(2, during), unexpected_epoch(3, {})});
}

}  // namespace

TEST(MissingRuns, StartAboveThirtyPercentEndAtTenPercentOrLess) {
    // Ratios 0.0, 0.5, 0.5, 0.05: one anomaly over epochs 1 and 2; the satellite missing at the
    // ending epoch is collected although its time is not part of the span.
    const auto out = detect_visibility_anomalies(
        {missing_epoch(0, 20, {}), missing_epoch(1, 20, sats('G', 10)),
         missing_epoch(2, 20, sats('G', 10, 3)), missing_epoch(3, 20, {"E30"})});
    ASSERT_EQ(out.size(), 1u);
    const VisibilityAnomaly& a = out[0];
    EXPECT_EQ(a.anomaly_type, "missing_satellites");
    EXPECT_EQ(a.start_time, stamp_at(30));
    EXPECT_EQ(a.end_time, stamp_at(60));
    EXPECT_NEAR(a.duration_seconds, 30.0, 1e-3);
    EXPECT_EQ(a.affected_satellites,
              sats('G', 12) + Ids{"E30"});  // distinct, first collection order
    EXPECT_EQ(a.affected_systems, (Ids{"GPS", "Galileo"}));
    EXPECT_EQ(a.severity, "critical");  // 13 satellites
    EXPECT_EQ(a.description, "13 satellites missing for 30s - possible jamming or obstruction");

    // Ratios 0.0, 0.5, 0.2, 0.2: the run never ends, so there is no anomaly.
    EXPECT_TRUE(detect_visibility_anomalies(
                    {missing_epoch(0, 10, {}), missing_epoch(1, 10, sats('G', 5)),
                     missing_epoch(2, 10, sats('G', 2)), missing_epoch(3, 10, sats('G', 2))})
                    .empty());
}

TEST(MissingRuns, BoundariesOfTheRatio) {
    // Exactly 0.3 does not start a run.
    EXPECT_TRUE(
        detect_visibility_anomalies({missing_epoch(0, 10, sats('G', 3)),
                                     missing_epoch(1, 10, sats('G', 3)), missing_epoch(2, 10, {})})
            .empty());
    // Exactly 0.1 ends one.
    auto out = detect_visibility_anomalies(
        {missing_epoch(0, 10, sats('G', 4)), missing_epoch(1, 10, sats('G', 1, 5))});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].start_time, stamp_at(0));
    EXPECT_EQ(out[0].end_time, stamp_at(0));
    EXPECT_EQ(out[0].duration_seconds, 0.0);
    EXPECT_EQ(out[0].affected_satellites, sats('G', 5));
    // 0.2 neither starts nor ends.
    out = detect_visibility_anomalies(
        {missing_epoch(0, 10, sats('G', 2)), missing_epoch(1, 10, sats('G', 4)),
         missing_epoch(2, 10, sats('G', 2)), missing_epoch(3, 10, {})});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].start_time, stamp_at(30));
    EXPECT_EQ(out[0].end_time, stamp_at(60));
    // An epoch with nothing predicted has ratio 0 and ends a run.
    out = detect_visibility_anomalies({missing_epoch(0, 10, sats('G', 5)), missing_epoch(1, 0, {}),
                                       missing_epoch(2, 10, sats('G', 5))});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].end_time, stamp_at(0));
}

TEST(MissingRuns, SeverityBySatellitesAndSystems) {
    EXPECT_EQ(missing_run_of(sats('G', 5))[0].severity, "low");
    EXPECT_EQ(missing_run_of(sats('G', 6))[0].severity, "high");
    EXPECT_EQ(missing_run_of(sats('G', 7))[0].severity, "high");
    EXPECT_EQ(missing_run_of(sats('G', 10))[0].severity, "high");
    EXPECT_EQ(missing_run_of(sats('G', 11))[0].severity, "critical");
    // Three constellations make any run critical; two do not.
    EXPECT_EQ(missing_run_of(sats('G', 3) + sats('E', 1))[0].severity, "low");
    const auto three = missing_run_of(sats('G', 3) + sats('E', 1) + sats('C', 1));
    EXPECT_EQ(three[0].severity, "critical");
    EXPECT_EQ(three[0].affected_systems, (Ids{"BeiDou", "GPS", "Galileo"}));  // byte order
}

TEST(MissingRuns, SystemNamesOfTheAffectedSatellites) {
    // IRNSS and any unknown letter are "Unknown"; each name once.
    const auto out = missing_run_of(Ids{"I01", "J02", "S20", "X05", "R03", "I02"});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].affected_systems, (Ids{"GLONASS", "QZSS", "SBAS", "Unknown"}));
    EXPECT_EQ(out[0].severity, "critical");
}

TEST(UnexpectedRuns, StartAtThreeEndBelowTwo) {
    // Counts 0, 3, 2, 1: one anomaly over epochs 1 and 2.
    auto out = detect_visibility_anomalies(
        {unexpected_epoch(0, {}), unexpected_epoch(1, {"G20", "G21", "E05"}),
         unexpected_epoch(2, {"G21", "C40"}), unexpected_epoch(3, {"S20"})});
    ASSERT_EQ(out.size(), 1u);
    const VisibilityAnomaly& a = out[0];
    EXPECT_EQ(a.anomaly_type, "unexpected_satellites");
    EXPECT_EQ(a.start_time, stamp_at(30));
    EXPECT_EQ(a.end_time, stamp_at(60));
    EXPECT_NEAR(a.duration_seconds, 30.0, 1e-3);
    EXPECT_EQ(a.affected_satellites, (Ids{"G20", "G21", "E05", "C40", "S20"}));
    EXPECT_EQ(a.affected_systems, (Ids{"BeiDou", "GPS", "Galileo", "SBAS"}));
    EXPECT_EQ(a.severity, "high");  // 5 satellites
    EXPECT_EQ(a.description, "5 unexpected satellites for 30s - possible spoofing or multipath");

    // Counts 0, 2, 2, 0: two never starts a run.
    EXPECT_TRUE(
        detect_visibility_anomalies({unexpected_epoch(0, {}), unexpected_epoch(1, sats('G', 2)),
                                     unexpected_epoch(2, sats('G', 2)), unexpected_epoch(3, {})})
            .empty());
    // Counts 0, 3, 3: still open at the end of the data.
    EXPECT_TRUE(
        detect_visibility_anomalies({unexpected_epoch(0, {}), unexpected_epoch(1, sats('G', 3)),
                                     unexpected_epoch(2, sats('G', 3))})
            .empty());
    // Counts 3, 2, 2, 0: two keeps a run going.
    out = detect_visibility_anomalies({unexpected_epoch(0, sats('G', 3)),
                                       unexpected_epoch(1, sats('G', 2)),
                                       unexpected_epoch(2, sats('G', 2)), unexpected_epoch(3, {})});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].start_time, stamp_at(0));
    EXPECT_EQ(out[0].end_time, stamp_at(60));
    EXPECT_NEAR(out[0].duration_seconds, 60.0, 1e-3);
}

TEST(UnexpectedRuns, SeverityBySatellites) {
    // Distinct satellites over the whole run.
    EXPECT_EQ(detect_visibility_anomalies(
                  {unexpected_epoch(0, {}), unexpected_epoch(1, sats('G', 3)),
                   unexpected_epoch(2, sats('G', 3, 4)), unexpected_epoch(3, {})})[0]
                  .severity,
              "critical");
    EXPECT_EQ(unexpected_run_of(sats('G', 3))[0].severity, "high");
    EXPECT_EQ(unexpected_run_of(sats('G', 5))[0].severity, "high");
    EXPECT_EQ(unexpected_run_of(sats('G', 6))[0].severity, "critical");
    // A run starts with three unexpected rows, so naming fewer than three satellites takes a
    // satellite listed twice; it counts once.
    const auto low = unexpected_run_of(Ids{"G01", "G02", "G01"});
    ASSERT_EQ(low.size(), 1u);
    EXPECT_EQ(low[0].affected_satellites, (Ids{"G01", "G02"}));
    EXPECT_EQ(low[0].severity, "low");
    EXPECT_EQ(low[0].description,
              "2 unexpected satellites for 30s - possible spoofing or multipath");
}

TEST(Runs, MissingFirstThenUnexpectedEachInTimeOrder) {
    std::vector<EpochVisibility> epochs;
    for (int k = 0; k < 8; ++k) epochs.push_back(missing_epoch(k, 10, {}));
    // Unexpected runs over 1..2 and 5..5, missing runs over 3..3 and 6..6.
    for (int k : {1, 2, 5}) epochs[k].unexpected = sats('R', 3, 10 * k);
    for (int k : {3, 6}) epochs[k].missing = sats('G', 5, 10 * k);
    const auto out = detect_visibility_anomalies(epochs);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].anomaly_type, "missing_satellites");
    EXPECT_EQ(out[0].start_time, stamp_at(90));
    EXPECT_EQ(out[1].anomaly_type, "missing_satellites");
    EXPECT_EQ(out[1].start_time, stamp_at(180));
    EXPECT_EQ(out[2].anomaly_type, "unexpected_satellites");
    EXPECT_EQ(out[2].start_time, stamp_at(30));
    EXPECT_EQ(out[2].end_time, stamp_at(60));
    EXPECT_EQ(out[3].anomaly_type, "unexpected_satellites");
    EXPECT_EQ(out[3].start_time, stamp_at(150));
}

TEST(Runs, DurationFromTheTimestamps) {
    // Uneven spacing: the span from the first to the last epoch of the run, rounded in the text.
    std::vector<EpochVisibility> epochs = {
        missing_epoch(0, 10, {}), missing_epoch(1, 10, sats('G', 5)),
        missing_epoch(2, 10, sats('G', 5)), missing_epoch(3, 10, {})};
    epochs[2].timestamp = "2024-01-07T00:02:00.600Z";
    epochs[3].timestamp = "2024-01-07T00:05:00.000Z";
    auto out = detect_visibility_anomalies(epochs);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].duration_seconds, 90.6, 1e-3);
    EXPECT_EQ(out[0].description, "5 satellites missing for 91s - possible jamming or obstruction");

    // A run spanning midnight.
    epochs[1].timestamp = "2024-01-06T23:59:50.000Z";
    epochs[2].timestamp = "2024-01-07T00:00:10.000Z";
    out = detect_visibility_anomalies(epochs);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].duration_seconds, 20.0, 1e-3);

    // Timestamps that do not read back: 30 s per epoch of the run, the ending epoch included.
    epochs[1].timestamp = "start";
    epochs[2].timestamp = "2024-01-07";
    out = detect_visibility_anomalies(epochs);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].start_time, "start");
    EXPECT_DOUBLE_EQ(out[0].duration_seconds, 60.0);
    EXPECT_EQ(out[0].description, "5 satellites missing for 60s - possible jamming or obstruction");
}

TEST(Runs, FewerThanTwoEpochsGiveNothing) {
    EXPECT_TRUE(detect_visibility_anomalies({}).empty());
    EXPECT_TRUE(detect_visibility_anomalies({missing_epoch(0, 10, sats('G', 9))}).empty());
}
