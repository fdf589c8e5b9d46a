// Expected versus observed satellites, epoch by epoch, from hand-made equatorial orbits seen by
// a receiver on the equator: which satellites are confirmed, missing or unexpected, and the
// figures summarised over the file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/obs_text.hpp"
#include "visibility/visibility_prediction.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Ids = std::vector<std::string>;

VisibilitySummary predict(const NavigationData& nav, const RinexObsData& obs, double mask = 5.0) {
    return predict_visibility(prediction_source(nav, mask), obs);
}

Rinex3Text at_receiver() {
    return std::move(Rinex3Text().position(kEarthRadius, 0.0, 0.0));
}

// Observed satellites of one epoch, each with one S value.
std::vector<SatLine> seen(const Ids& ids) {
    std::vector<SatLine> out;
    for (const auto& id : ids) out.push_back({id, {45.0}});
    return out;
}

Ids keys(const OrderedMap<SystemVisibility>& m) {
    Ids out;
    for (const auto& [k, v] : m) out.push_back(k);
    return out;
}

}  // namespace

TEST(PredictionSource, SortedSatellitesOfEveryMap) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 12, 0.0));
    add_orbit(nav, equatorial_orbit('E', 3, 0.0));
    add_orbit(nav, equatorial_orbit('G', 2, 0.0));
    add_orbit(nav, equatorial_orbit('J', 1, 0.0));
    add_orbit(nav, equatorial_orbit('C', 30, 0.0));
    GlonassEphemeris r;
    r.slot = 7;
    nav.glonass_ephemerides.add("R07", r);
    const PredictionSource source = prediction_source(nav, 7.5);
    EXPECT_EQ(source.satellites, (Ids{"C30", "E03", "G02", "G12", "J01", "R07"}));
    EXPECT_EQ(source.source_text, "BRDC Navigation (6 satellites)");
    EXPECT_EQ(source.elevation_mask, 7.5);
}

TEST(VisibilityPrediction, ConfirmedMissingAndUnexpected) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));    // zenith
    add_orbit(nav, equatorial_orbit('G', 2, 20.0));   // high in the east
    add_orbit(nav, equatorial_orbit('G', 3, 180.0));  // below the horizon
    add_orbit(nav, equatorial_orbit('E', 1, -20.0));  // high in the west
    // G02 reports code values only and G04 a negative strength: neither counts as observed.
    // G09 has no ephemeris although GPS has: unexpected. R01 (no GLONASS ephemeris at all),
    // S20 and I05 are outside the comparison.
    std::vector<SatLine> sats = {{"G01", {45.0}}, {"G02", {Field::absent(), 2.1e7}},
                                 {"G04", {-5.0}}, {"E01", {40.0}},
                                 {"G09", {38.0}}, {"R01", {41.0}},
                                 {"S20", {39.0}}, {"I05", {37.0}}};
    Rinex3Text text = at_receiver();
    text.codes('G', {"S1C", "C1C"});
    for (int e = 0; e < 4; ++e) text.epoch(30.0 * e, sats);
    const VisibilitySummary v = predict(nav, text.parse());

    EXPECT_TRUE(v.has_prediction);
    EXPECT_EQ(v.prediction_source, "BRDC Navigation (4 satellites)");
    EXPECT_DOUBLE_EQ(v.mean_predicted, 3.0);   // G01 G02 E01
    EXPECT_DOUBLE_EQ(v.mean_observed, 3.0);    // G01 E01 G09
    EXPECT_DOUBLE_EQ(v.mean_missing, 1.0);     // G02
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 1.0);  // G09
    EXPECT_DOUBLE_EQ(v.confirmation_rate, 2.0 / 3.0 * 100.0);
    EXPECT_EQ(v.frequently_missing, (Ids{"G02"}));
    EXPECT_EQ(v.frequently_unexpected, (Ids{"G09"}));
    EXPECT_TRUE(v.anomalies.empty());  // one of three missing is below the 30 % that starts a run

    // Always GPS, GLONASS, Galileo and BeiDou, in this order, keyed by name.
    ASSERT_EQ(keys(v.by_system), (Ids{"GPS", "GLONASS", "Galileo", "BeiDou"}));
    const SystemVisibility& gps = *v.by_system.find("GPS");
    EXPECT_EQ(gps.system, "GPS");
    EXPECT_EQ(gps.predicted_satellites, 2u);
    EXPECT_EQ(gps.observed_satellites, 2u);  // G01 confirmed, G09 unexpected
    EXPECT_EQ(gps.confirmation_rate, 100.0);
    EXPECT_EQ(gps.missing_satellites, (Ids{"G02"}));
    EXPECT_EQ(gps.unexpected_satellites, (Ids{"G09"}));
    const SystemVisibility& gal = *v.by_system.find("Galileo");
    EXPECT_EQ(gal.predicted_satellites, 1u);
    EXPECT_EQ(gal.observed_satellites, 1u);
    EXPECT_EQ(gal.confirmation_rate, 100.0);
    for (const char* name : {"GLONASS", "BeiDou"}) {
        const SystemVisibility& sv = *v.by_system.find(name);
        EXPECT_EQ(sv.system, name);
        EXPECT_EQ(sv.predicted_satellites, 0u);
        EXPECT_EQ(sv.observed_satellites, 0u);
        EXPECT_EQ(sv.confirmation_rate, 0.0);
        EXPECT_TRUE(sv.missing_satellites.empty());
        EXPECT_TRUE(sv.unexpected_satellites.empty());
    }
}

TEST(VisibilityPrediction, ElevationMaskAndOrbitShell) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, central_angle_for_elevation(5.1)));
    add_orbit(nav, equatorial_orbit('G', 2, -central_angle_for_elevation(4.9)));
    // Overhead, but inside 20,000 km or beyond 50,000 km of the Earth's centre: implausible.
    add_orbit(nav, equatorial_orbit('G', 3, 0.0, 19000000.0));
    add_orbit(nav, equatorial_orbit('G', 4, 0.0, 51000000.0));
    add_orbit(nav, equatorial_orbit('G', 5, 0.0, 45000000.0));
    Rinex3Text text = at_receiver();
    text.epoch(0, seen({"G03"}));
    const VisibilitySummary v = predict(nav, text.parse(), 5.0);
    EXPECT_DOUBLE_EQ(v.mean_predicted, 2.0);   // G01 and G05
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 1.0);  // G03 is seen without being predicted
    EXPECT_EQ(v.frequently_missing, (Ids{"G01", "G05"}));

    // A lower mask takes G02 in; a higher one leaves only G05.
    EXPECT_DOUBLE_EQ(predict(nav, text.parse(), 4.8).mean_predicted, 3.0);
    EXPECT_DOUBLE_EQ(predict(nav, text.parse(), 5.2).mean_predicted, 1.0);
}

TEST(VisibilityPrediction, FrequentlyMeansMoreThanAQuarterOfTheEpochs) {
    NavigationData nav;
    for (std::uint32_t prn = 1; prn <= 4; ++prn)
        add_orbit(nav, equatorial_orbit('G', prn, 10.0 * prn));
    // Eight epochs: G01 missing twice, G02 three times; G09 unexpected three times, G10 twice.
    Rinex3Text text = at_receiver();
    for (int e = 0; e < 8; ++e) {
        Ids ids = {"G03", "G04"};
        if (e >= 2) ids.push_back("G01");
        if (e >= 3) ids.push_back("G02");
        if (e < 3) ids.push_back("G09");
        if (e >= 6) ids.push_back("G10");
        text.epoch(30.0 * e, seen(ids));
    }
    const VisibilitySummary v = predict(nav, text.parse());
    EXPECT_EQ(v.frequently_missing, (Ids{"G02"}));
    EXPECT_EQ(v.frequently_unexpected, (Ids{"G09"}));
    EXPECT_EQ(v.by_system.find("GPS")->missing_satellites, (Ids{"G02"}));
    EXPECT_EQ(v.by_system.find("GPS")->unexpected_satellites, (Ids{"G09"}));
    EXPECT_DOUBLE_EQ(v.mean_missing, 5.0 / 8.0);
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 5.0 / 8.0);
    EXPECT_DOUBLE_EQ(v.confirmation_rate, (32.0 - 5.0) / 32.0 * 100.0);
}

TEST(VisibilityPrediction, PredictedSatellitesPerSystemRoundUp) {
    // Seven GPS satellites usable throughout; G08's only record lies 4 h 07 min 30 s after the
    // first epoch, so it can be used (less than 4 hours away) only at the third epoch, 10 min on.
    NavigationData nav;
    for (std::uint32_t prn = 1; prn <= 7; ++prn)
        add_orbit(nav, equatorial_orbit('G', prn, -35.0 + 10.0 * prn));
    add_orbit(nav, equatorial_orbit('G', 8, 0.0, kGpsRadius, 4 * 3600.0 + 450.0));
    const Ids seven = {"G01", "G02", "G03", "G04", "G05", "G06", "G07"};
    Ids eight = seven;
    eight.push_back("G08");
    Rinex3Text text = at_receiver();
    text.epoch(0, seen(seven)).epoch(300, seen(seven)).epoch(600, seen(eight));
    const VisibilitySummary v = predict(nav, text.parse());
    EXPECT_DOUBLE_EQ(v.mean_predicted, 22.0 / 3.0);
    EXPECT_DOUBLE_EQ(v.confirmation_rate, 100.0);
    const SystemVisibility& gps = *v.by_system.find("GPS");
    EXPECT_EQ(gps.predicted_satellites, 8u);  // 7.33 rounded up
    EXPECT_EQ(gps.observed_satellites, 8u);
    EXPECT_EQ(gps.confirmation_rate, 100.0);
}

TEST(VisibilityPrediction, SystemConfirmationRateNeverExceeds100) {
    // Two GPS satellites predicted; four distinct GPS satellites seen over the file, and the
    // predicted ones missing at single epochs.
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));
    add_orbit(nav, equatorial_orbit('G', 2, 10.0));
    Rinex3Text text = at_receiver();
    text.epoch(0, seen({"G01", "G09"}))
        .epoch(30, seen({"G02", "G10", "G11"}))
        .epoch(60, seen({"G01", "G02"}));
    const VisibilitySummary v = predict(nav, text.parse());
    const SystemVisibility& gps = *v.by_system.find("GPS");
    EXPECT_EQ(gps.predicted_satellites, 2u);
    EXPECT_EQ(gps.observed_satellites, 5u);
    EXPECT_EQ(gps.confirmation_rate, 100.0);
    EXPECT_DOUBLE_EQ(v.confirmation_rate, 4.0 / 6.0 * 100.0);
}

TEST(VisibilityPrediction, QzssTakesPartOnlyInTheOverallFigures) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));
    add_orbit(nav, equatorial_orbit('J', 2, 10.0));
    add_orbit(nav, equatorial_orbit('J', 3, 20.0));
    Rinex3Text text = at_receiver();
    text.epoch(0, seen({"G01", "J02", "J07"}))
        .epoch(30, seen({"G01", "J07"}))
        .epoch(60, seen({"G01", "J02"}))
        .epoch(90, seen({"G01", "J02", "J07"}));
    const VisibilitySummary v = predict(nav, text.parse());
    EXPECT_DOUBLE_EQ(v.mean_predicted, 3.0);
    EXPECT_DOUBLE_EQ(v.mean_observed, 2.5);
    EXPECT_DOUBLE_EQ(v.mean_missing, 1.25);
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 0.75);
    EXPECT_EQ(v.frequently_missing, (Ids{"J03"}));  // J02 missing once: not more than 4 / 4
    EXPECT_EQ(v.frequently_unexpected, (Ids{"J07"}));
    EXPECT_EQ(keys(v.by_system), (Ids{"GPS", "GLONASS", "Galileo", "BeiDou"}));
    EXPECT_EQ(v.by_system.find("GPS")->predicted_satellites, 1u);
    EXPECT_EQ(v.by_system.find("GPS")->observed_satellites, 1u);
}

TEST(VisibilityPrediction, OnlyConstellationsWithEphemeridesAreCompared) {
    // Navigation data for GPS only: Galileo, GLONASS, SBAS and IRNSS satellites are neither
    // observed nor unexpected, whatever their signals.
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));
    add_orbit(nav, equatorial_orbit('G', 2, 10.0));
    Rinex3Text text = at_receiver();
    for (int e = 0; e < 4; ++e) {
        text.epoch(30.0 * e, seen({"G01", "G02", "E01", "E02", "E03", "R01", "R02", "S20", "S30",
                                   "I01", "C01"}));
    }
    const VisibilitySummary v = predict(nav, text.parse());
    EXPECT_DOUBLE_EQ(v.mean_observed, 2.0);
    EXPECT_DOUBLE_EQ(v.mean_unexpected, 0.0);
    EXPECT_TRUE(v.frequently_unexpected.empty());
    EXPECT_TRUE(v.anomalies.empty());
    for (const auto& [name, sv] : v.by_system) {
        EXPECT_TRUE(sv.unexpected_satellites.empty()) << name;
        if (name != "GPS") {
            EXPECT_EQ(sv.observed_satellites, 0u) << name;
        }
    }

    // With one Galileo ephemeris, every observed Galileo satellite takes part.
    add_orbit(nav, equatorial_orbit('E', 1, -10.0));
    const VisibilitySummary w = predict(nav, text.parse());
    EXPECT_DOUBLE_EQ(w.mean_observed, 5.0);
    EXPECT_DOUBLE_EQ(w.mean_unexpected, 2.0);
    EXPECT_EQ(w.frequently_unexpected, (Ids{"E02", "E03"}));
    EXPECT_EQ(w.by_system.find("Galileo")->observed_satellites, 3u);
}

TEST(VisibilityPrediction, NothingToPredictFrom) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));
    // No receiver position: the prediction is not made.
    Rinex3Text no_position;
    no_position.epoch(0, seen({"G01"})).epoch(30, seen({"G02"}));
    const VisibilitySummary v = predict(nav, no_position.parse());
    EXPECT_EQ(v, VisibilitySummary{});
    EXPECT_FALSE(v.has_prediction);
    EXPECT_EQ(v.prediction_source, "");
    EXPECT_TRUE(v.by_system.empty());

    // No epochs: likewise.
    EXPECT_EQ(predict(nav, at_receiver().parse()), VisibilitySummary{});

    // Navigation data without any ephemeris: a prediction of nothing, still made.
    Rinex3Text text = at_receiver();
    text.epoch(0, seen({"G01"})).epoch(30, seen({"G01"}));
    const VisibilitySummary empty_nav = predict(NavigationData{}, text.parse());
    EXPECT_TRUE(empty_nav.has_prediction);
    EXPECT_EQ(empty_nav.prediction_source, "BRDC Navigation (0 satellites)");
    EXPECT_EQ(empty_nav.confirmation_rate, 0.0);
    EXPECT_EQ(empty_nav.mean_observed, 0.0);
    EXPECT_EQ(keys(empty_nav.by_system), (Ids{"GPS", "GLONASS", "Galileo", "BeiDou"}));
}

TEST(VisibilityPrediction, MissingRunBecomesAnAnomaly) {
    // Four GPS satellites predicted at 30 s epochs; three go missing at the second and third
    // epoch and are back at the fourth.
    NavigationData nav;
    for (std::uint32_t prn = 1; prn <= 4; ++prn)
        add_orbit(nav, equatorial_orbit('G', prn, -25.0 + 10.0 * prn));
    const Ids all = {"G01", "G02", "G03", "G04"};
    Rinex3Text text = at_receiver();
    text.epoch(0, seen(all)).epoch(30, seen({"G01"})).epoch(60, seen({"G04"})).epoch(90, seen(all));
    const VisibilitySummary v = predict(nav, text.parse());
    ASSERT_EQ(v.anomalies.size(), 1u);
    const VisibilityAnomaly& a = v.anomalies[0];
    EXPECT_EQ(a.anomaly_type, "missing_satellites");
    EXPECT_EQ(a.start_time, "2024-01-07T00:00:30.000Z");
    EXPECT_EQ(a.end_time, "2024-01-07T00:01:00.000Z");
    EXPECT_NEAR(a.duration_seconds, 30.0, 1e-3);
    EXPECT_EQ(a.affected_satellites, (Ids{"G02", "G03", "G04", "G01"}));
    EXPECT_EQ(a.affected_systems, (Ids{"GPS"}));
    EXPECT_EQ(a.severity, "low");
    EXPECT_EQ(a.description, "4 satellites missing for 30s - possible jamming or obstruction");
}
