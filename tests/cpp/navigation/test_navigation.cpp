// The navigation reader on texts built field by field, and satellite positions: the Keplerian and
// GLONASS models, the choice of record, geodetic coordinates and look angles.
#include <gtest/gtest.h>

#include "navigation/geodetic.hpp"
#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/nav_number.hpp"
#include "navigation/navigation_reader.hpp"
#include "navigation/satellite_position.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;
using Channels = std::vector<std::pair<std::string, std::int32_t>>;

namespace {

NavigationData read(const std::string& text) {
    auto nav = parse_navigation(text);
    EXPECT_TRUE(nav.ok()) << (nav.ok() ? "" : nav.error());
    return nav.ok() ? std::move(nav).value() : NavigationData{};
}
std::string first_lines(const std::string& text, int n) {
    std::size_t end = 0;
    while (n-- > 0) end = text.find('\n', end) + 1;
    return text.substr(0, end);
}
const std::string kV3 = version_line("3.04", 'N') + end_of_header();

}  // namespace

TEST(NavigationReader, NumbersAndHeader) {
    EXPECT_DOUBLE_EQ(nav_number(" -.8397D-03 "), -0.8397e-3);
    EXPECT_DOUBLE_EQ(nav_number("1.5d2"), 150.0);
    EXPECT_EQ(nav_number("1.2.3") + nav_number(""), 0.0);
    const std::string line = "    1.000000000000E+00 2.00";
    EXPECT_DOUBLE_EQ(nav_field(line, 23), 2.0);  // cut short by the end of the line
    EXPECT_EQ(nav_field(line, line.size()), 0.0);
    EXPECT_EQ(parse_navigation(version_line("3.04", 'N') + v3_kepler_record("G01")).error(), "No END OF HEADER found");
    EXPECT_EQ(read(end_of_header() + v3_kepler_record("G01")).gps_count(), 1u);  // read as version 3
    EXPECT_FALSE(read(kV3).has_data());
}

TEST(NavigationReader, Rinex3RecordsFieldByField) {
    std::string bad_epoch = v3_kepler_record("G02");
    bad_epoch.replace(4, 4, "20X4");
    std::string shifted = v3_kepler_record("G04");
    shifted[3] = '\xFF';  // one invalid byte becomes the three of U+FFFD: the year leaves its columns
    const NavigationData nav = read(
        version_line("3.04", 'N') + header_line("C:\\\x83\x66\x81\x5B \xC3\xA9", "COMMENT") + end_of_header() + "\n  \n" +
        v3_kepler_record("G01") + v3_kepler_record("J02") + v3_kepler_record("E05") + v3_kepler_record("S20") +
        bad_epoch + shifted + v3_kepler_record("C19") + v3_glonass_record("R07", 10.5, -20.25, 30.0, -7) +
        v3_glonass_record("R03", 1, 2, 3, 0) + v3_glonass_record("R07", 1, 2, 3, 6, "2024 01 02 03 34 05") +
        v3_kepler_record("I05") + first_lines(v3_kepler_record("G09"), 4));
    EXPECT_EQ(nav.all_satellite_ids(), (Ids{"G01", "J02", "E05", "C19", "R07", "R03"}));
    EXPECT_EQ(nav.gps_count() * 10 + nav.satellite_count(), 26u);
    const KeplerEphemeris& e = nav.kepler_records("E05")->front();
    EXPECT_EQ(std::string(1, e.system) + std::to_string(e.prn), "E5");
    EXPECT_EQ(e.epoch, (EpochTime{2024, 1, 2, 3, 4, 5.0}));
    EXPECT_EQ(std::vector<double>({e.af0, e.af1, e.af2}), std::vector<double>({0.1, 0.2, 0.3}));
    EXPECT_EQ(std::vector<double>({e.iode, e.crs, e.delta_n, e.m0, e.cuc, e.e, e.cus, e.sqrt_a, e.toe, e.cic, e.omega0,
                                   e.cis, e.i0, e.crc, e.omega, e.omega_dot, e.idot}),
              std::vector<double>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(e.week, 19);  // orbit line 5, field 3
    const auto& r07 = *nav.glonass_records("R07");
    ASSERT_EQ(r07.size(), 2u);  // both records, in file order
    EXPECT_EQ(r07[1].epoch.minute, 34u);
    const GlonassEphemeris& g = r07[0];
    EXPECT_EQ(std::vector<double>({g.x, g.y, g.z, g.vx, g.vy, g.vz, g.clock_bias, g.freq_bias, g.message_time}),
              std::vector<double>({10500.0, -20250.0, 30000.0, 1500.0, -2500.0, 3500.0, 1e-5, 2e-12, 86400.0}));
    EXPECT_NEAR(g.ax + 10 * g.ay + 100 * g.az, 1e-6 + 2e-5 - 3e-4, 1e-18);  // km/s^2 to m/s^2
    EXPECT_EQ(g.frequency_channel * 100 + int(g.slot), -693);
    // Channel 0 adds no entry; a later record of the slot replaces its channel.
    EXPECT_EQ(nav.glonass_channels, (Channels{{"7", 6}}));
    std::string crlf;
    for (char c : kV3 + v3_kepler_record("G01")) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(*read(crlf).kepler_records("G01"), *read(kV3 + v3_kepler_record("G01")).kepler_records("G01"));

}

TEST(NavigationReader, Rinex2AndRinex4) {
    const std::string gps = epoch_line(" 5 99 12 31 23 59 44.0", 22, {-0.8397e-3, 0, 0}, 'D') + numbered_orbit(3, 1.0, 'D') +
                            epoch_line("12 05  1  2  0  0  0.0", 22, {0, 0, 0}) + numbered_orbit(3, 100.0);
    const NavigationData nav = read(version_line("2.11", 'N') + end_of_header() + gps);
    EXPECT_EQ(nav.all_satellite_ids(), (Ids{"G05", "G12"}));
    const KeplerEphemeris& a = nav.kepler_records("G05")->front();
    EXPECT_EQ(a.epoch, (EpochTime{1999, 12, 31, 23, 59, 44.0}));
    EXPECT_DOUBLE_EQ(a.af0, -0.8397e-3);
    EXPECT_EQ(std::vector<double>({a.iode, a.sqrt_a, double(a.week), a.idot}), std::vector<double>({1, 8, 19, 17}));
    EXPECT_EQ(nav.kepler_records("G12")->front().epoch.year, 2005);
    // The file type decides: 'G' is GLONASS (positions in km), blank is GPS, others give nothing.
    const std::string glonass = epoch_line(" 1 20 12 31 23 45  0.0", 22, {7.28e-5, 0.0, 73800.0}, 'D') +
                                orbit_lines(3, {{-1488.79980469, -2.19618225098, 3.7e-09, 0.0},
                                                {12928.8071289, -2.04926967621, 0.0, -4.0},
                                                {21931.6977539, 1.05964565277, -9.3e-10, 0.0}}, 'D');
    const NavigationData g = read(version_line("2.11", 'G') + end_of_header() + glonass);
    EXPECT_EQ(g.all_satellite_ids(), (Ids{"R01"}));
    const GlonassEphemeris& r = g.glonass_records("R01")->front();
    EXPECT_EQ(r.epoch, (EpochTime{2020, 12, 31, 23, 45, 0.0}));
    EXPECT_DOUBLE_EQ(r.x, -1488799.80469);
    EXPECT_DOUBLE_EQ(r.vz, 1059.64565277);
    EXPECT_DOUBLE_EQ(r.az, -9.3e-7);
    EXPECT_EQ(g.glonass_channels, (Channels{{"1", -4}}));
    EXPECT_EQ(read(version_line("2", ' ') + end_of_header() + gps).gps_count(), 2u);
    EXPECT_FALSE(read(version_line("2.11", 'H') + end_of_header() + gps).has_data());
    EXPECT_FALSE(read(version_line("2.11", 'O') + end_of_header() + gps).has_data());

    // RINEX 4: record headers decide what is read; CNAV (nine lines), STO, ION, short records
    // and records naming another satellite than announced are skipped whole.
    const std::string text =
        version_line("4.00", 'N') + end_of_header() + "> EPH G01 CNAV\n" + v3_kepler_record("G01") +
        orbit_lines(4, {{5, 6, 7, 8}}) + "> EPH G02 LNAV\n" + v3_kepler_record("G02") +
        "> STO G26 LNAV\n    2022 06 10 19 56 48 GPUT          UTC(USNO)\n" + orbit_lines(4, {{295284.0, 9.3e-10, 2.7e-15, 0.0}}) +
        "> ION E01 IFNV\n" + epoch_line("    2024 01 02 03 04 05", 23, {78.5, 0.54, 0.027}) + "> EPH R03 FDMA\n" +
        v3_glonass_record("R03", 1, 2, 3, 5) + orbit_lines(4, {{183, 0, 3, 0}}) + "> EPH E05 INAV\n" +
        first_lines(v3_kepler_record("E05"), 4) + "> EPH S48 SBAS\n" + v3_glonass_record("S48", 1, 2, 3, 0) +
        "> EPH C08 D1\n" + v3_kepler_record("C08") + "> EPH E14 FNAV\n" + v3_kepler_record("E14") + "> EPH J03 LNAV\n" +
        v3_kepler_record("J03") + "> EPH G06 LNAV\n" + v3_kepler_record("G07") + "> EPH C09 D2\n" + v3_kepler_record("C09");
    const NavigationData v4 = read(text);
    EXPECT_EQ(v4.all_satellite_ids(), (Ids{"G02", "J03", "E14", "C08", "C09", "R03"}));
    EXPECT_EQ(v4.glonass_records("R03")->front().frequency_channel, 5);
    EXPECT_EQ(v4.kepler_records("G02")->front().sqrt_a, 8.0);

}

namespace {

constexpr double kGm = 3.986005e14, kOmegaE = 7.2921151467e-5, kA = 26560000.0;

// A circular polar orbit whose node stays at longitude 0: the satellite is at (A cos u, 0, A sin u)
// with u = n tk. Times of day on a 675-second grid have exact day numbers.
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
Ecef from_geodetic(double lat_deg, double lon_deg, double h) {
    const double a = 6378137.0, e2 = 0.0066943799901413165, lat = lat_deg * kPi / 180, lon = lon_deg * kPi / 180;
    const double n = a / std::sqrt(1 - e2 * std::sin(lat) * std::sin(lat));
    return {(n + h) * std::cos(lat) * std::cos(lon), (n + h) * std::cos(lat) * std::sin(lon), (n * (1 - e2) + h) * std::sin(lat)};
}

}  // namespace

TEST(Orbits, KeplerAndTheWeekBoundary) {
    // 2024-01-07 is a Sunday, the start of a GPS week.
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 7, 0, 11, 15.0}), 675.0);
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 9, 7, 30, 0.0}), 2 * 86400.0 + 27000.0);
    // toe 675 s before the end of a week, epoch 675 s into the next: tk is 1350 s, not -603450.
    expect_circular(kepler_position(circular_polar(604800.0 - 675.0), {2024, 1, 14, 0, 11, 15.0}), 1350.0);
    expect_circular(kepler_position(circular_polar(0.0), {2024, 1, 6, 23, 48, 45.0}), -675.0);
    // An eccentric orbit at perigee and apogee: radius a (1 - e) and a (1 + e).
    KeplerEphemeris ecc = circular_polar(0.0);
    ecc.e = 0.5;
    ecc.m0 = kPi;
    const Ecef apogee = kepler_position(ecc, {2024, 1, 7, 0, 0, 0.0});
    EXPECT_NEAR(std::hypot(apogee.x, apogee.y, apogee.z), 1.5 * kA, 1e-3);
    EXPECT_NEAR(apogee.x, -1.5 * kA, 1e-3);
}

TEST(Orbits, RecordChoiceAndGlonassLimits) {
    std::vector<KeplerEphemeris> k(3, circular_polar(0.0));
    k[1].epoch.hour = 3;
    k[2].epoch.hour = 6;
    // Nearest record within 4 hours of its time of clock, the earlier on ties.
    const std::pair<EpochTime, const KeplerEphemeris*> kepler[] = {
        {{2024, 1, 7, 3, 0, 0.0}, &k[1]}, {{2024, 1, 7, 1, 30, 0.0}, &k[0]}, {{2024, 1, 7, 4, 31, 0.0}, &k[2]},
        {{2024, 1, 7, 9, 59, 0.0}, &k[2]}, {{2024, 1, 7, 10, 0, 1.0}, nullptr}, {{2024, 1, 6, 19, 59, 59.0}, nullptr}};
    for (const auto& [t, expected] : kepler) EXPECT_EQ(select_kepler_ephemeris(k, t), expected) << t.hour << ":" << t.minute;
    std::vector<GlonassEphemeris> g(2);
    g[0].epoch = {2024, 1, 7, 0, 0, 0.0};
    g[1].epoch = {2024, 1, 7, 0, 45, 0.0};
    g[0].x = 10000e3, g[0].y = -12000e3, g[0].z = 19000e3, g[0].vx = 1000.0, g[0].vy = 2000.0, g[0].vz = -1500.0;
    // GLONASS records within 1 hour, propagated at most 2 hours either way.
    const std::pair<EpochTime, const GlonassEphemeris*> glonass[] = {
        {{2024, 1, 7, 0, 22, 30.0}, &g[0]}, {{2024, 1, 7, 0, 23, 0.0}, &g[1]}, {{2024, 1, 7, 1, 44, 59.0}, &g[1]},
        {{2024, 1, 7, 1, 45, 1.0}, nullptr}};
    for (const auto& [t, expected] : glonass) EXPECT_EQ(select_glonass_ephemeris(g, t), expected) << t.minute;
    EXPECT_EQ(*glonass_position(std::vector{g[0]}, g[0].epoch), (Ecef{10000e3, -12000e3, 19000e3}));
    EXPECT_TRUE(glonass_propagate(g[0], {2024, 1, 7, 1, 59, 59.9}));
    EXPECT_FALSE(glonass_propagate(g[0], {2024, 1, 7, 2, 0, 0.1}));
    EXPECT_TRUE(glonass_propagate(g[0], {2024, 1, 6, 22, 0, 0.1}));
    EXPECT_FALSE(glonass_propagate(g[0], {2024, 1, 6, 21, 59, 59.9}));
    EpochTime bad = g[0].epoch;
    bad.second = std::nan("");
    EXPECT_EQ(*glonass_propagate(g[0], bad), (Ecef{10000e3, -12000e3, 19000e3}));
    EXPECT_FALSE(glonass_position(std::vector{g[0]}, bad));
    // Identifiers pick their maps; SBAS, IRNSS and malformed identifiers have no position.
    std::string text = kV3;
    for (const char* id : {"G05", "J01", "E11", "C19", "S20", "I05"}) text += v3_kepler_record(id, "2024 01 07 00 00 00");
    text += v3_glonass_record("R07", 10000, 12000, 19000, 1, "2024 01 07 00 00 00");
    const NavigationData nav = read(text);
    const EpochTime at{2024, 1, 7, 0, 30, 0.0};
    for (const char* id : {"G05", "J01", "E11", "C19", "R07"}) EXPECT_TRUE(satellite_position(nav, id, at)) << id;
    for (const char* id : {"S20", "I05", "", "G5", "G05 ", "R7", "X05", "G06"}) {
        EXPECT_FALSE(satellite_position(nav, id, at)) << id;
        EXPECT_TRUE(find_satellite_ephemerides(nav, id).empty()) << id;
    }
    EXPECT_FALSE(satellite_position(nav, "G05", {2024, 1, 7, 4, 0, 1.0}));
    EXPECT_EQ(*satellite_position(nav, "R07", {2024, 1, 7, 0, 0, 0.0}), (Ecef{10000e3, 12000e3, 19000e3}));
}

TEST(Orbits, GeodeticAndLookAngles) {
    // On the polar axis the height comes from Z; elsewhere the conversion inverts the ellipsoid's.
    const Geodetic north = ecef_to_geodetic({0.0, 0.0, 6356752.314245179 + 100.0}), g = ecef_to_geodetic(from_geodetic(35.135, 136.978, 105.0));
    EXPECT_NEAR(std::abs(north.latitude - 90.0) + std::abs(north.height - 100.0) + std::abs(ecef_to_geodetic({0.0, 0.0, -6356752.3}).latitude + 90.0), 0.0, 1e-6);
    EXPECT_NEAR(std::abs(g.latitude - 35.135) + std::abs(g.longitude - 136.978) + std::abs(g.height - 105.0) * 1e-5, 0.0, 1e-10);
    const Ecef rx{6378137.0, 0.0, 0.0};  // north is +Z, east is +Y
    const std::pair<Ecef, double> azimuths[] = {
        {{6378137.0, 0.0, 1e6}, 0.0}, {{6378137.0, 1e6, 0.0}, 90.0}, {{6378137.0, 0.0, -1e6}, 180.0}, {{6378137.0, -1e6, 0.0}, 270.0}};
    for (const auto& [sat, azimuth] : azimuths) EXPECT_DOUBLE_EQ(look_angles(rx, sat).azimuth, azimuth);
    EXPECT_NEAR(look_angles(rx, {6378137.0 + 1e6, 0.0, 1e6}).elevation, 45.0, 1e-12);
    // Elevation is measured from the ellipsoid's normal, not from the direction to the centre.
    const LocalFrame delft = local_frame(from_geodetic(51.986, 4.388, 74.0));
    EXPECT_NEAR(look_angles(delft, from_geodetic(51.986, 4.388, 20200e3)).elevation + elevation_angle(delft, from_geodetic(51.986, 4.388, 20200e3)),
                180.0, 1e-6);
}
