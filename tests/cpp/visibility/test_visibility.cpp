// Expected against observed satellites, from hand-made equatorial orbits seen by a receiver on the
// equator, and the runs of epochs with many missing or unexpected satellites.
#include <gtest/gtest.h>

#include "support/rinex_text.hpp"
#include "visibility/visibility_anomalies.hpp"
#include "visibility/visibility_prediction.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

Ids sats(char letter, int n, int first = 1) {
    Ids out;
    for (int k = 0; k < n; ++k) out.push_back(sat_id(letter, static_cast<std::uint32_t>(first + k)));
    return out;
}
Ids operator+(Ids a, const Ids& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// Epoch k at 30 k seconds.
EpochVisibility epoch(int k, std::uint64_t predicted, Ids missing, Ids unexpected = {}) {
    const std::uint64_t confirmed = predicted - missing.size();
    return {stamp_at(30.0 * k), predicted, confirmed + unexpected.size(), confirmed, std::move(missing), std::move(unexpected)};
}
EpochVisibility extra(int k, Ids unexpected) { return epoch(k, 10, {}, std::move(unexpected)); }
// "m|u mm:ss-mm:ss duration severity satellites/systems;" per anomaly.
std::string brief(const std::vector<VisibilityAnomaly>& out) {
    std::string s;
    for (const auto& a : out)
        s += format("%c %s-%s %g %s ", a.anomaly_type[0], a.start_time.substr(14, 5).c_str(), a.end_time.substr(14, 5).c_str(),
                    a.duration_seconds, a.severity.c_str()) + join(a.affected_satellites) + "/" + join(a.affected_systems) + ";";
    return s;
}
std::string missing_run(const Ids& during) {
    const auto n = during.size();
    return brief(detect_visibility_anomalies({epoch(0, n, {}), epoch(1, n, during), epoch(2, n, during), epoch(3, n, {})}));
}
std::string unexpected_run(const Ids& during) {
    return brief(detect_visibility_anomalies({extra(0, {}), extra(1, during), extra(2, during), extra(3, {})}));
}

}  // namespace

TEST(VisibilityRuns, MissingAndUnexpected) {
    const std::pair<std::vector<EpochVisibility>, std::string> cases[] = {
        // Missing: a run starts above 30 % of the predicted satellites and ends at 10 % or less;
        // the satellites missing at the ending epoch are collected too.
        {{epoch(0, 20, {}), epoch(1, 20, sats('G', 10)), epoch(2, 20, sats('G', 10, 3)), epoch(3, 20, {"E30"})},
         "m 00:30-01:00 30 critical " + join(sats('G', 12)) + ",E30/GPS,Galileo;"},
        {{epoch(0, 10, {}), epoch(1, 10, sats('G', 5)), epoch(2, 10, sats('G', 2)), epoch(3, 10, sats('G', 2))}, ""},
        {{epoch(0, 10, sats('G', 3)), epoch(1, 10, sats('G', 3)), epoch(2, 10, {})}, ""},
        {{epoch(0, 10, sats('G', 4)), epoch(1, 10, sats('G', 1, 5))}, "m 00:00-00:00 0 low G01,G02,G03,G04,G05/GPS;"},
        {{epoch(0, 10, sats('G', 2)), epoch(1, 10, sats('G', 4)), epoch(2, 10, sats('G', 2)), epoch(3, 10, {})},
         "m 00:30-01:00 30 low G01,G02,G03,G04/GPS;"},
        {{epoch(0, 10, sats('G', 5)), epoch(1, 0, {}), epoch(2, 10, sats('G', 5))}, "m 00:00-00:00 0 low G01,G02,G03,G04,G05/GPS;"},
        // Unexpected: a run starts at three satellites and ends below two.
        {{extra(0, {}), extra(1, {"G20", "G21", "E05"}), extra(2, {"G21", "C40"}), extra(3, {"S20"})},
         "u 00:30-01:00 30 high G20,G21,E05,C40,S20/BeiDou,GPS,Galileo,SBAS;"},
        {{extra(0, {}), extra(1, sats('G', 2)), extra(2, sats('G', 2)), extra(3, {})}, ""},
        {{extra(0, {}), extra(1, sats('G', 3)), extra(2, sats('G', 3))}, ""},
        {{extra(0, sats('G', 3)), extra(1, sats('G', 2)), extra(2, sats('G', 2)), extra(3, {})}, "u 00:00-01:00 60 high G01,G02,G03/GPS;"},
        {{extra(0, {}), extra(1, sats('G', 3)), extra(2, sats('G', 3, 4)), extra(3, {})}, "u 00:30-01:00 30 critical " + join(sats('G', 6)) + "/GPS;"},
        // Missing runs first, then unexpected ones, each in time order.
        {{epoch(0, 10, {}), extra(1, sats('R', 3)), extra(2, sats('R', 3, 4)), epoch(3, 10, sats('G', 5)), epoch(4, 10, {}),
          extra(5, sats('R', 3, 7)), epoch(6, 10, sats('G', 5, 6)), epoch(7, 10, {})},
         "m 01:30-01:30 0 low " + join(sats('G', 5)) + "/GPS;m 03:00-03:00 0 low " + join(sats('G', 5, 6)) +
             "/GPS;u 00:30-01:00 30 critical " + join(sats('R', 6)) + "/GLONASS;u 02:30-02:30 0 high R07,R08,R09/GLONASS;"},
        {{}, ""}, {{epoch(0, 10, sats('G', 9))}, ""},
    };
    for (const auto& [epochs, expected] : cases) EXPECT_EQ(brief(detect_visibility_anomalies(epochs)), expected);
    // Severity of missing runs: more than 5 satellites high, more than 10 or three systems critical.
    const std::pair<Ids, std::string> missing[] = {
        {sats('G', 5), "low"}, {sats('G', 6), "high"}, {sats('G', 10), "high"}, {sats('G', 11), "critical"},
        {sats('G', 3) + sats('E', 1), "low"}, {sats('G', 3) + sats('E', 1) + sats('C', 1), "critical"}};
    for (const auto& [during, severity] : missing) EXPECT_NE(missing_run(during).find(" " + severity + " "), std::string::npos) << join(during);
    EXPECT_EQ(missing_run({"I01", "J02", "S20", "X05", "R03", "I02"}), "m 00:30-01:00 30 critical I01,J02,S20,X05,R03,I02/GLONASS,QZSS,SBAS,Unknown;");
    // Unexpected runs: 3 to 5 distinct satellites high, more critical; one listed twice counts once.
    EXPECT_EQ(unexpected_run(sats('G', 5)), "u 00:30-01:00 30 high " + join(sats('G', 5)) + "/GPS;");
    EXPECT_EQ(unexpected_run(sats('G', 6)), "u 00:30-01:00 30 critical " + join(sats('G', 6)) + "/GPS;");
    EXPECT_EQ(unexpected_run({"G01", "G02", "G01"}), "u 00:30-01:00 30 low G01,G02/GPS;");
}

TEST(VisibilityRuns, DurationAndDescription) {
    std::vector<EpochVisibility> e = {epoch(0, 10, {}), epoch(1, 10, sats('G', 5)), epoch(2, 10, sats('G', 5)), epoch(3, 10, {})};
    e[2].timestamp = "2024-01-07T00:02:00.600Z";
    auto out = detect_visibility_anomalies(e);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(out[0].duration_seconds, 90.6, 1e-3);
    EXPECT_EQ(out[0].description, "5 satellites missing for 91s - possible jamming or obstruction");
    e[1].timestamp = "2024-01-06T23:59:50.000Z";  // across midnight
    e[2].timestamp = "2024-01-07T00:00:10.000Z";
    EXPECT_NEAR(detect_visibility_anomalies(e).at(0).duration_seconds, 20.0, 1e-3);
    // Timestamps that do not read: 30 s per epoch of the run, the ending epoch included.
    e[1].timestamp = "start";
    e[2].timestamp = "2024-01-07";
    out = detect_visibility_anomalies(e);
    EXPECT_EQ(out.at(0).start_time, "start");
    EXPECT_EQ(out[0].description, "5 satellites missing for 60s - possible jamming or obstruction");
    EXPECT_EQ(detect_visibility_anomalies({extra(0, {}), extra(1, sats('G', 3)), extra(2, {})}).at(0).description,
              "3 unexpected satellites for 0s - possible spoofing or multipath");
}

namespace {

VisibilitySummary predict(const NavigationData& nav, const Rinex3Text& text, double mask = 5.0) {
    return predict_visibility(prediction_source(nav, mask), text.parse());
}
Rinex3Text at_receiver(const std::vector<Ids>& epochs = {}) {
    Rinex3Text text = std::move(Rinex3Text().position(kEarthRadius, 0.0, 0.0));
    for (std::size_t e = 0; e < epochs.size(); ++e) {
        std::vector<SatLine> seen;
        for (const auto& id : epochs[e]) seen.push_back({id, {45.0}});
        text.epoch(30.0 * e, seen);
    }
    return text;
}
// "predicted observed missing unexpected confirmation% | missing | unexpected |" and
// " name predicted observed rate% missing/unexpected;" per system.
std::string brief(const VisibilitySummary& v) {
    std::string s = format("%g %g %g %g %.4g%% | ", v.mean_predicted, v.mean_observed, v.mean_missing, v.mean_unexpected,
                           v.confirmation_rate) + join(v.frequently_missing) + " | " + join(v.frequently_unexpected) + " |";
    for (const auto& [name, sv] : v.by_system)
        s += format(" %s %llu %llu %g%% ", name.c_str(), (unsigned long long)sv.predicted_satellites, (unsigned long long)sv.observed_satellites,
                    sv.confirmation_rate) + join(sv.missing_satellites) + "/" + join(sv.unexpected_satellites) + ";";
    return s;
}
const std::string kEmpty = " GLONASS 0 0 0% /; Galileo 0 0 0% /; BeiDou 0 0 0% /;";

}  // namespace

TEST(VisibilityPrediction, ConfirmedMissingAndUnexpected) {
    NavigationData nav;
    for (auto [letter, prn, angle] : std::vector<std::tuple<char, int, double>>{{'G', 1, 0.0}, {'G', 2, 20.0}, {'G', 3, 180.0}, {'E', 1, -20.0}})
        add_orbit(nav, letter, prn, angle);  // zenith, high east, below the horizon, high west
    NavigationData with_glonass = nav;
    with_glonass.glonass_ephemerides.add("R07", GlonassEphemeris{});
    const PredictionSource source = prediction_source(with_glonass, 7.5);
    EXPECT_EQ(join(source.satellites) + " " + source.source_text + format(" %g", source.elevation_mask),
              "E01,G01,G02,G03,R07 BRDC Navigation (5 satellites) 7.5");
    // G02 reports code values only and G04 a negative strength: not observed. G09 has no ephemeris
    // although GPS has: unexpected. R01 (no GLONASS ephemeris at all), S20 and I05 take no part.
    Rinex3Text text = at_receiver();
    text.codes('G', {"S1C", "C1C"});
    for (int e = 0; e < 4; ++e)
        text.epoch(30.0 * e, {{"G01", {45.0}}, {"G02", {Field(), 2.1e7}}, {"G04", {-5.0}}, {"E01", {40.0}}, {"G09", {38.0}},
                              {"R01", {41.0}}, {"S20", {39.0}}, {"I05", {37.0}}});
    const VisibilitySummary v = predict(nav, text);
    EXPECT_TRUE(v.has_prediction && v.anomalies.empty());  // one of three missing starts no run
    EXPECT_EQ(brief(v), "3 3 1 1 66.67% | G02 | G09 | GPS 2 2 100% G02/G09; GLONASS 0 0 0% /; Galileo 1 1 100% /; BeiDou 0 0 0% /;");

    // The mask, and orbits inside 20,000 km or beyond 50,000 km of the Earth's centre (implausible).
    NavigationData shells;
    for (auto [prn, angle, radius] : std::vector<std::tuple<int, double, double>>{
             {1, central_angle_for_elevation(5.1), kGpsRadius}, {2, -central_angle_for_elevation(4.9), kGpsRadius},
             {3, 0.0, 19000000.0}, {4, 0.0, 51000000.0}, {5, 0.0, 45000000.0}})
        add_orbit(shells, 'G', prn, angle, radius);
    EXPECT_EQ(brief(predict(shells, at_receiver({{"G03"}}))), "2 1 2 1 0% | G01,G05 | G03 | GPS 2 1 50% G01,G05/G03;" + kEmpty);
    EXPECT_EQ(predict(shells, at_receiver({{"G03"}}), 4.8).mean_predicted * 10 + predict(shells, at_receiver({{"G03"}}), 5.2).mean_predicted, 31.0);
}

TEST(VisibilityPrediction, FrequencyRoundingAndRuns) {
    // "Frequently" is in more than a quarter of the epochs: of eight, G01 missing twice, G02 three
    // times; G09 unexpected three times, G10 twice.
    NavigationData four;
    for (std::uint32_t prn = 1; prn <= 4; ++prn) add_orbit(four, 'G', prn, 10.0 * prn);
    std::vector<Ids> eight(8, Ids{"G03", "G04"});
    for (int e = 0; e < 8; ++e) {
        if (e >= 2) eight[e].push_back("G01");
        if (e >= 3) eight[e].push_back("G02");
        if (e < 3) eight[e].push_back("G09");
        if (e >= 6) eight[e].push_back("G10");
    }
    EXPECT_EQ(brief(predict(four, at_receiver(eight))), "4 4 0.625 0.625 84.38% | G02 | G09 | GPS 4 6 100% G02/G09;" + kEmpty);
    // Per system the mean predicted count rounds up: G08's record is usable (within 4 hours of its
    // time) only at the third epoch, 10 minutes on. A system's rate never exceeds 100 %.
    NavigationData seven;
    for (std::uint32_t prn = 1; prn <= 7; ++prn) add_orbit(seven, 'G', prn, -35.0 + 10.0 * prn);
    add_orbit(seven, 'G', 8, 0.0, kGpsRadius, 4 * 3600.0 + 450.0);
    Rinex3Text three = at_receiver();
    for (auto [t, ids] : std::vector<std::pair<double, Ids>>{{0, sats('G', 7) + Ids{"G20"}}, {300, sats('G', 7)}, {600, sats('G', 8)}}) {
        std::vector<SatLine> seen;
        for (const auto& id : ids) seen.push_back({id, {45.0}});
        three.epoch(t, seen);
    }
    EXPECT_EQ(brief(predict(seven, three)), "7.33333 7.66667 0 0.333333 100% |  | G20 | GPS 8 9 100% /G20;" + kEmpty);
    // No receiver position or no epochs: no prediction. No ephemerides: a prediction of nothing.
    EXPECT_EQ(predict(seven, Rinex3Text().epoch(0, {{"G01", {45.0}}})), VisibilitySummary{});
    EXPECT_EQ(predict(seven, at_receiver()), VisibilitySummary{});
    const VisibilitySummary none = predict(NavigationData{}, three);
    EXPECT_EQ(none.prediction_source + " " + brief(none), "BRDC Navigation (0 satellites) 0 0 0 0 0% |  |  | GPS 0 0 0% /;" + kEmpty);
    // A run of missing satellites becomes an anomaly of the summary.
    NavigationData gps;
    for (std::uint32_t prn = 1; prn <= 4; ++prn) add_orbit(gps, 'G', prn, -25.0 + 10.0 * prn);
    const VisibilitySummary run = predict(gps, at_receiver({sats('G', 4), {"G01"}, {"G04"}, sats('G', 4)}));
    EXPECT_EQ(brief(run.anomalies), "m 00:30-01:00 30 low G02,G03,G04,G01/GPS;");
    EXPECT_EQ(run.anomalies.at(0).description, "4 satellites missing for 30s - possible jamming or obstruction");
}
