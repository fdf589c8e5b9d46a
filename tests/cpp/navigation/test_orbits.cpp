// Satellite positions, record choice, geodetic conversion and look angles.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "nav_text.hpp"
#include "navigation/geodetic.hpp"
#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/navigation_reader.hpp"
#include "navigation/satellite_position.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGm = 3.986005e14;
constexpr double kOmegaE = 7.2921151467e-5;
constexpr double kA = 26560000.0;  // a GPS-like semi-major axis, m

EpochTime plus_seconds(EpochTime t, double s) {
    t.second += s;
    return t;
}

bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
bool same_bits(const Ecef& a, const Ecef& b) {
    return same_bits(a.x, b.x) && same_bits(a.y, b.y) && same_bits(a.z, b.z);
}
bool same_bits(const std::optional<Ecef>& a, const std::optional<Ecef>& b) {
    return a.has_value() == b.has_value() && (!a || same_bits(*a, *b));
}

// A circular polar orbit without harmonic corrections whose node stays at longitude 0: the
// satellite is at (A cos u, 0, A sin u) with u = n tk.
KeplerEphemeris circular_polar(double toe) {
    KeplerEphemeris r;
    r.sqrt_a = std::sqrt(kA);
    r.i0 = kPi / 2;
    r.omega_dot = kOmegaE;
    r.omega0 = kOmegaE * toe;
    r.toe = toe;
    r.epoch = {2024, 1, 7, 0, 0, 0.0};
    return r;
}

void expect_circular(const Ecef& p, double tk) {
    const double u = std::sqrt(kGm / (kA * kA * kA)) * tk;
    EXPECT_NEAR(p.x, kA * std::cos(u), 1e-3);
    EXPECT_NEAR(p.y, 0.0, 1e-3);
    EXPECT_NEAR(p.z, kA * std::sin(u), 1e-3);
}

// The broadcast Keplerian model written out step by step, with exactly ten Newton steps.
Ecef ten_step_kepler(const KeplerEphemeris& r, const EpochTime& epoch) {
    const double days = julian_day_number(epoch) - 0.5 - 2444244.5;
    double tk = (days - 7.0 * std::floor(days / 7.0)) * 86400.0 - r.toe;
    if (tk > 302400.0) tk -= 604800.0;
    if (tk < -302400.0) tk += 604800.0;
    const double a = r.sqrt_a * r.sqrt_a;
    const double m = r.m0 + (std::sqrt(kGm / (a * a * a)) + r.delta_n) * tk;
    double e = m;
    for (int k = 0; k < 10; ++k) e = e - (e - r.e * std::sin(e) - m) / (1.0 - r.e * std::cos(e));
    const double phi =
        std::atan2(std::sqrt(1.0 - r.e * r.e) * std::sin(e), std::cos(e) - r.e) + r.omega;
    const double s = std::sin(2.0 * phi), c = std::cos(2.0 * phi);
    const double u = phi + r.cus * s + r.cuc * c;
    const double rad = a * (1.0 - r.e * std::cos(e)) + r.crs * s + r.crc * c;
    const double inc = r.i0 + r.idot * tk + r.cis * s + r.cic * c;
    const double xp = rad * std::cos(u), yp = rad * std::sin(u);
    const double node = r.omega0 + (r.omega_dot - kOmegaE) * tk - kOmegaE * r.toe;
    return {xp * std::cos(node) - yp * std::cos(inc) * std::sin(node),
            xp * std::sin(node) + yp * std::cos(inc) * std::cos(node), yp * std::sin(inc)};
}

Ecef from_geodetic(double lat_deg, double lon_deg, double h) {
    const double a = 6378137.0, e2 = 0.0066943799901413165;
    const double lat = lat_deg * kPi / 180, lon = lon_deg * kPi / 180;
    const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    return {(n + h) * std::cos(lat) * std::cos(lon), (n + h) * std::cos(lat) * std::sin(lon),
            (n * (1 - e2) + h) * std::sin(lat)};
}

}  // namespace

// Epoch arithmetic goes through day numbers near 2.46 million, which carry time in steps of
// 2^-31 day (about 40 microseconds, up to some 8 cm along a GPS orbit). Exact expectations use
// times of day on a 675-second grid (multiples of 1/128 day), whose day numbers are exact.
TEST(KeplerPosition, CircularOrbitAndTheWeekBoundary) {
    // 2024-01-07 is a Sunday, the start of a GPS week.
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 7, 0, 11, 15.0}), 675.0);
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 9, 7, 30, 0.0}),
                    2 * 86400.0 + 27000.0);
    // toe 675 s before the end of a week, epoch 675 s into the next: tk is 1350 s, not -603450.
    expect_circular(kepler_position(circular_polar(604800.0 - 675.0), {2024, 1, 14, 0, 11, 15.0}),
                    1350.0);
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 6, 23, 48, 45.0}), -675.0);
}

TEST(KeplerPosition, EarlyStopMatchesTenNewtonStepsBitForBit) {
    QCN0_REQUIRE_DATA(dir);
    auto nav = parse_navigation(read_bytes(dir + "/BRDC00IGS_R_20230010000_01D_MN.rnx"));
    ASSERT_TRUE(nav.ok());
    std::size_t compared = 0;
    for (const auto* map :
         {&nav->gps_ephemerides, &nav->galileo_ephemerides, &nav->beidou_ephemerides}) {
        for (const auto& sat : *map) {
            for (const auto& r : sat.records) {
                for (double offset : {-10800.0, -3599.5, 0.0, 1234.567, 14399.0}) {
                    const EpochTime t = plus_seconds(r.epoch, offset);
                    ASSERT_TRUE(same_bits(kepler_position(r, t), ten_step_kepler(r, t)))
                        << sat.id << " " << offset;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 60000u);
    KeplerEphemeris odd = circular_polar(0.0);  // eccentric and degenerate orbits too
    for (double e : {0.0, 0.7, 0.95, -0.3}) {
        odd.e = e;
        const EpochTime t{2024, 1, 7, 3, 0, 0.0};
        EXPECT_TRUE(same_bits(kepler_position(odd, t), ten_step_kepler(odd, t))) << e;
    }
}

TEST(RecordChoice, NearestWithinTheWindowEarlierOnTies) {
    std::vector<KeplerEphemeris> k(3, circular_polar(0.0));
    k[1].epoch.hour = 3;
    k[2].epoch.hour = 6;
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 7, 3, 0, 0.0}), &k[1]);  // at the time of clock
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 7, 1, 30, 0.0}),
              &k[0]);  // a tie keeps the earlier
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 7, 4, 31, 0.0}), &k[2]);
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 7, 9, 59, 0.0}), &k[2]);    // 3 h 59 min
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 7, 10, 0, 1.0}), nullptr);  // beyond 4 h
    EXPECT_EQ(select_kepler_ephemeris(k, {2024, 1, 6, 19, 59, 59.0}), nullptr);

    std::vector<GlonassEphemeris> g(2);
    g[0].epoch = {2024, 1, 7, 0, 0, 0.0};
    g[1].epoch = {2024, 1, 7, 0, 45, 0.0};
    EXPECT_EQ(select_glonass_ephemeris(g, {2024, 1, 7, 0, 22, 30.0}), &g[0]);
    EXPECT_EQ(select_glonass_ephemeris(g, {2024, 1, 7, 0, 23, 0.0}), &g[1]);
    EXPECT_EQ(select_glonass_ephemeris(g, {2024, 1, 7, 1, 44, 59.0}), &g[1]);
    EXPECT_EQ(select_glonass_ephemeris(g, {2024, 1, 7, 1, 45, 1.0}), nullptr);  // beyond 1 h
}

TEST(GlonassPosition, StoredPositionAtTheRecordTimeAndTwoHourLimit) {
    GlonassEphemeris r;
    r.epoch = {2024, 1, 7, 0, 15, 0.0};
    r.x = 10000e3, r.y = -12000e3, r.z = 19000e3, r.vx = 1000.0, r.vy = 2000.0, r.vz = -1500.0;
    EXPECT_EQ(*glonass_position(std::vector{r}, r.epoch), (Ecef{r.x, r.y, r.z}));
    EXPECT_TRUE(glonass_propagate(r, {2024, 1, 7, 2, 14, 59.9}));
    EXPECT_FALSE(glonass_propagate(r, {2024, 1, 7, 2, 15, 0.1}));
    EXPECT_TRUE(glonass_propagate(r, {2024, 1, 6, 22, 15, 0.1}));
    EXPECT_FALSE(glonass_propagate(r, {2024, 1, 6, 22, 14, 59.9}));
    EpochTime bad = r.epoch;
    bad.second = std::nan("");
    EXPECT_EQ(*glonass_propagate(r, bad), (Ecef{r.x, r.y, r.z}));
    EXPECT_FALSE(glonass_position(std::vector{r}, bad));
}

TEST(BroadcastOrbits, ConsecutiveRecordsAgree) {
    QCN0_REQUIRE_DATA(dir);
    // Broadcast orbits are good to a few metres, so consecutive records of a satellite put it in
    // the same place: GLONASS after integrating a record 30 minutes to the next one's time, GPS at
    // the midpoint of records 2 hours apart. A wrong constant, sign or step misses by kilometres.
    for (const char* name :
         {"amel0010.21g", "brdc0010.21n", "BRDC00IGS_R_20230010000_01D_MN.rnx"}) {
        auto nav = parse_navigation(read_bytes(dir + "/" + name));
        ASSERT_TRUE(nav.ok());
        std::size_t pairs = 0;
        for (const auto& sat : nav->glonass_ephemerides) {
            for (std::size_t i = 0; i + 1 < sat.records.size(); ++i) {
                const GlonassEphemeris &a = sat.records[i], &b = sat.records[i + 1];
                if (std::fabs(seconds_between(b.epoch, a.epoch) - 1800.0) > 1.0) continue;
                const Ecef p = *glonass_propagate(a, b.epoch);
                EXPECT_LT(std::hypot(p.x - b.x, p.y - b.y, p.z - b.z), 20.0)
                    << name << " " << sat.id;
                ++pairs;
            }
        }
        for (const auto& sat : nav->gps_ephemerides) {
            for (std::size_t i = 0; sat.id[0] == 'G' && i + 1 < sat.records.size(); ++i) {
                const KeplerEphemeris &a = sat.records[i], &b = sat.records[i + 1];
                if (std::fabs(seconds_between(b.epoch, a.epoch) - 7200.0) > 1.0) continue;
                const Ecef pa = kepler_position(a, plus_seconds(a.epoch, 3600.0));
                const Ecef pb = kepler_position(b, plus_seconds(a.epoch, 3600.0));
                EXPECT_LT(std::hypot(pa.x - pb.x, pa.y - pb.y, pa.z - pb.z), 20.0)
                    << name << " " << sat.id;
                ++pairs;
            }
        }
        EXPECT_GT(pairs, 250u) << name;
    }
}

TEST(SatellitePosition, IdentifiersPickTheirMaps) {
    std::string text = version_line("3.04", 'N') + end_of_header();
    for (const char* id : {"G05", "J01", "E11", "C19", "S20", "I05"})
        text += v3_kepler_record(id, "2024 01 07 00 00 00");
    text += v3_glonass_record("R07", 10000, 12000, 19000, 1, "2024 01 07 00 00 00");
    auto nav = parse_navigation(text);
    ASSERT_TRUE(nav.ok());
    const EpochTime at{2024, 1, 7, 0, 30, 0.0};
    for (const char* id : {"G05", "J01", "E11", "C19", "R07"})
        EXPECT_TRUE(satellite_position(*nav, id, at)) << id;
    for (const char* id : {"S20", "I05", "", "G5", "G05 ", "R7", "X05", "G06"}) {
        EXPECT_FALSE(satellite_position(*nav, id, at)) << id;
        EXPECT_TRUE(find_satellite_ephemerides(*nav, id).empty()) << id;
    }
    EXPECT_FALSE(satellite_position(*nav, "G05", {2024, 1, 7, 4, 0, 1.0}));
    EXPECT_EQ(*satellite_position(*nav, "R07", {2024, 1, 7, 0, 0, 0.0}),
              (Ecef{10000e3, 12000e3, 19000e3}));
}

TEST(SatellitePosition, LookedUpRecordsGiveTheSamePositions) {
    QCN0_REQUIRE_DATA(dir);
    auto nav = parse_navigation(read_bytes(dir + "/BRDC00IGS_R_20230010000_01D_MN.rnx"));
    ASSERT_TRUE(nav.ok());
    std::size_t found = 0;
    for (const std::string& id : nav->all_satellite_ids()) {
        const SatelliteEphemerides sat = find_satellite_ephemerides(*nav, id);
        for (int k = -8; k < 200; ++k) {
            const EpochTime t = plus_seconds({2023, 1, 1, 0, 0, 0.0}, k * 450.0 + 3.25);
            std::optional<Ecef> plain;
            if (id[0] == 'R') {
                plain = glonass_position(*nav->glonass_records(id), t);
            } else if (const KeplerEphemeris* r =
                           select_kepler_ephemeris(*nav->kepler_records(id), t)) {
                plain = kepler_position(*r, t);
            }
            ASSERT_TRUE(same_bits(plain, satellite_position(*nav, id, t))) << id << " " << k;
            ASSERT_TRUE(same_bits(plain, satellite_position(sat, t))) << id << " " << k;
            found += plain ? 1 : 0;
        }
    }
    EXPECT_GT(found, 10000u);
}

TEST(Geodetic, EquatorPolesAndRoundTrips) {
    const Geodetic g0 = ecef_to_geodetic({6378137.0, 0.0, 0.0});
    EXPECT_EQ(std::vector<double>({g0.latitude, g0.longitude, g0.height}),
              std::vector<double>({0, 0, 0}));
    // On the polar axis p / cos(latitude) means nothing; the height comes from Z.
    const Geodetic north = ecef_to_geodetic({0.0, 0.0, 6356752.314245179 + 100.0});
    EXPECT_DOUBLE_EQ(north.latitude, 90.0);
    EXPECT_NEAR(north.height, 100.0, 1e-6);
    EXPECT_DOUBLE_EQ(ecef_to_geodetic({0.0, 0.0, -6356752.314245179}).latitude, -90.0);
    for (const auto& pt : {std::vector{35.135, 136.978, 105.0}, std::vector{-33.4, -70.6, 520.0},
                           std::vector{89.9, -179.0, 3000.0}, std::vector{45.0, 10.0, 20200e3}}) {
        const Geodetic g = ecef_to_geodetic(from_geodetic(pt[0], pt[1], pt[2]));
        EXPECT_NEAR(g.latitude, pt[0], 1e-10);
        EXPECT_NEAR(g.longitude, pt[1], 1e-10);
        EXPECT_NEAR(g.height, pt[2], 1e-5);
    }
}

TEST(LookAngles, DirectionsFromAReceiver) {
    const Ecef rx{6378137.0, 0.0, 0.0};  // equator, longitude 0: north is +Z, east is +Y
    EXPECT_DOUBLE_EQ(look_angles(rx, {26000e3, 0.0, 0.0}).elevation, 90.0);
    EXPECT_DOUBLE_EQ(look_angles(rx, {6378137.0, 0.0, 1e6}).azimuth, 0.0);
    EXPECT_DOUBLE_EQ(look_angles(rx, {6378137.0, 1e6, 0.0}).azimuth, 90.0);
    EXPECT_DOUBLE_EQ(look_angles(rx, {6378137.0, 0.0, -1e6}).azimuth, 180.0);
    EXPECT_DOUBLE_EQ(look_angles(rx, {6378137.0, -1e6, 0.0}).azimuth, 270.0);
    EXPECT_NEAR(look_angles(rx, {6378137.0 + 1e6, 0.0, 1e6}).elevation, 45.0, 1e-12);
    // Elevation is measured from the ellipsoid's normal, not from the direction to the centre.
    const LocalFrame delft = local_frame(from_geodetic(51.986, 4.388, 74.0));
    EXPECT_NEAR(look_angles(delft, from_geodetic(51.986, 4.388, 20200e3)).elevation, 90.0, 1e-6);
}
