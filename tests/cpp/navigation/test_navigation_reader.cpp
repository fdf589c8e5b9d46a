// The navigation reader on small texts built field by field.
#include <gtest/gtest.h>

#include <string>

#include "nav_text.hpp"
#include "navigation/nav_number.hpp"
#include "navigation/navigation_reader.hpp"

using namespace qcn0;
using namespace qcn0::testing;
using Channels = std::vector<std::pair<std::string, std::int32_t>>;
using Ids = std::vector<std::string>;

namespace {

const std::string kV3 = version_line("3.04", 'N') + end_of_header();

NavigationData read(const std::string& text) {
    auto nav = parse_navigation(text);
    EXPECT_TRUE(nav.ok()) << (nav.ok() ? "" : nav.error());
    return nav.ok() ? std::move(nav).value() : NavigationData{};
}

Ids ids(const NavigationData& nav) {
    return nav.all_satellite_ids();
}

std::string first_lines(const std::string& text, int n) {
    std::size_t end = 0;
    for (int k = 0; k < n; ++k) end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

}  // namespace

TEST(NavNumber, FortranExponentsFieldCutsAndFallbacks) {
    EXPECT_DOUBLE_EQ(nav_number(" -.8397D-03 "), -0.8397e-3);
    EXPECT_DOUBLE_EQ(nav_number("1.5d2"), 150.0);
    EXPECT_EQ(nav_number("1.2.3"), 0.0);
    EXPECT_EQ(nav_number(""), 0.0);
    const std::string line = "    1.000000000000E+00 2.00";
    EXPECT_DOUBLE_EQ(nav_field(line, 23), 2.0);  // cut short by the end of the line
    EXPECT_EQ(nav_field(line, line.size()), 0.0);
}

TEST(NavigationHeader, OnlyTheHeaderEndIsRequired) {
    auto missing = parse_navigation(version_line("3.04", 'N') + v3_kepler_record("G01"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), "No END OF HEADER found");
    EXPECT_EQ(read(end_of_header() + v3_kepler_record("G01")).gps_count(),
              1u);  // read as version 3
    EXPECT_FALSE(read(kV3).has_data());
}

TEST(NavigationRinex3, RecordsGoToTheirMapsFieldByField) {
    const std::string text =
        kV3 + v3_kepler_record("G01") + v3_kepler_record("J02") + v3_kepler_record("E05") +
        v3_kepler_record("S20") + v3_kepler_record("C19") +
        v3_glonass_record("R07", 10.5, -20.25, 30.0, -7) + v3_glonass_record("R03", 1, 2, 3, 0) +
        v3_glonass_record("R07", 1, 2, 3, 6, "2024 01 02 03 34 05") + v3_kepler_record("I05");
    const NavigationData nav = read(text);
    EXPECT_EQ(ids(nav), (Ids{"G01", "J02", "E05", "C19", "R07", "R03"}));
    EXPECT_EQ(nav.gps_count(), 2u);
    EXPECT_EQ(nav.satellite_count(), 6u);

    const KeplerEphemeris& e = nav.kepler_records("E05")->front();
    EXPECT_EQ(e.system, 'E');
    EXPECT_EQ(e.prn, 5u);
    EXPECT_EQ(e.epoch, (EpochTime{2024, 1, 2, 3, 4, 5.0}));
    EXPECT_EQ(std::vector<double>({e.af0, e.af1, e.af2}), std::vector<double>({0.1, 0.2, 0.3}));
    const double orbit[] = {e.iode, e.crs,    e.delta_n, e.m0,        e.cuc,    e.e,
                            e.cus,  e.sqrt_a, e.toe,     e.cic,       e.omega0, e.cis,
                            e.i0,   e.crc,    e.omega,   e.omega_dot, e.idot};
    for (int k = 0; k < 17; ++k) EXPECT_EQ(orbit[k], k + 1.0) << "orbit field " << k + 1;
    EXPECT_EQ(e.week, 19);  // orbit line 5, field 3

    const auto& r07 = *nav.glonass_records("R07");
    ASSERT_EQ(r07.size(), 2u);  // both records, in file order
    EXPECT_EQ(r07[1].epoch.minute, 34u);
    const GlonassEphemeris& g = r07[0];
    EXPECT_EQ(std::vector<double>({g.x, g.y, g.z, g.vx, g.vy, g.vz}),
              std::vector<double>({10500.0, -20250.0, 30000.0, 1500.0, -2500.0, 3500.0}));
    EXPECT_DOUBLE_EQ(g.ay, 2e-6);
    EXPECT_EQ(std::vector<double>({g.clock_bias, g.freq_bias, g.message_time}),
              std::vector<double>({1e-5, 2e-12, 86400.0}));
    EXPECT_EQ(g.frequency_channel, -7);
    // Channel 0 adds no entry; a later record of the slot replaces its channel.
    EXPECT_EQ(nav.glonass_channels, (Channels{{"7", 6}}));
}

TEST(NavigationRinex3, BadRecordsLineEndingsAndBytes) {
    std::string bad_epoch = v3_kepler_record("G02");
    bad_epoch.replace(4, 4, "20X4");
    std::string shifted = v3_kepler_record("G04");
    // One invalid byte becomes the three bytes of U+FFFD, so the year leaves its columns.
    shifted[3] = '\xFF';
    const std::string truncated = first_lines(v3_kepler_record("G09"), 4);
    const std::string text = version_line("3.04", 'N') +
                             header_line("C:\\\x83\x66\x81\x5B \xC3\xA9", "COMMENT") +
                             end_of_header() + "\n  \n" + v3_kepler_record("G01") + bad_epoch +
                             shifted + v3_kepler_record("G03") + truncated;
    EXPECT_EQ(ids(read(text)), (Ids{"G01", "G03"}));

    std::string crlf;
    for (char c : kV3 + v3_kepler_record("G01"))
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(*read(crlf).kepler_records("G01"),
              *read(kV3 + v3_kepler_record("G01")).kepler_records("G01"));
}

TEST(NavigationRinex2, FileTypeDecidesBetweenGpsAndGlonass) {
    const std::string gps = epoch_line(" 5 99 12 31 23 59 44.0", 22, {-0.8397e-3, 0, 0}, 'D') +
                            numbered_orbit(3, 1.0, 'D') +
                            epoch_line("12 05  1  2  0  0  0.0", 22, {0, 0, 0}) +
                            numbered_orbit(3, 100.0);
    const NavigationData nav = read(version_line("2.11", 'N') + end_of_header() + gps);
    EXPECT_EQ(ids(nav), (Ids{"G05", "G12"}));
    const KeplerEphemeris& a = nav.kepler_records("G05")->front();
    EXPECT_EQ(a.epoch, (EpochTime{1999, 12, 31, 23, 59, 44.0}));
    EXPECT_DOUBLE_EQ(a.af0, -0.8397e-3);
    EXPECT_EQ(std::vector<double>({a.iode, a.sqrt_a, a.idot}), std::vector<double>({1, 8, 17}));
    EXPECT_EQ(nav.kepler_records("G12")->front().epoch.year, 2005);

    const std::string glonass =
        epoch_line(" 1 20 12 31 23 45  0.0", 22, {7.28e-5, 0.0, 73800.0}, 'D') +
        orbit_lines(3,
                    {{-1488.79980469, -2.19618225098, 3.7e-09, 0.0},
                     {12928.8071289, -2.04926967621, 0.0, -4.0},
                     {21931.6977539, 1.05964565277, -9.3e-10, 0.0}},
                    'D');
    const NavigationData g = read(version_line("2.11", 'G') + end_of_header() + glonass);
    EXPECT_EQ(ids(g), (Ids{"R01"}));  // never fake GPS orbits
    const GlonassEphemeris& r = g.glonass_records("R01")->front();
    EXPECT_EQ(r.epoch, (EpochTime{2020, 12, 31, 23, 45, 0.0}));
    EXPECT_DOUBLE_EQ(r.x, -1488799.80469);
    EXPECT_DOUBLE_EQ(r.vz, 1059.64565277);
    EXPECT_EQ(g.glonass_channels, (Channels{{"1", -4}}));

    // A blank type reads as GPS; other types ('H' geostationary, 'O' observations) give nothing.
    EXPECT_EQ(read(version_line("2", ' ') + end_of_header() + gps).gps_count(), 2u);
    EXPECT_FALSE(read(version_line("2.11", 'H') + end_of_header() + gps).has_data());
    EXPECT_FALSE(read(version_line("2.11", 'O') + end_of_header() + gps).has_data());
}

TEST(NavigationRinex4, RecordHeadersDecideWhatIsReadAndSkippedWhole) {
    const std::string head = "2024 01 02 03 04 05";
    // A CNAV record has nine lines and starts like an LNAV one; STO and ION records differ.
    const std::string cnav =
        "> EPH G01 CNAV\n" + v3_kepler_record("G01") + orbit_lines(4, {{5, 6, 7, 8}});
    const std::string sto = "> STO G26 LNAV\n    2022 06 10 19 56 48 GPUT          UTC(USNO)\n" +
                            orbit_lines(4, {{295284.0, 9.3e-10, 2.7e-15, 0.0}});
    const std::string ion = "> ION E01 IFNV\n" + epoch_line("    " + head, 23, {78.5, 0.54, 0.027});
    const std::string text =
        version_line("4.00", 'N') + end_of_header() + cnav + "> EPH G02 LNAV\n" +
        v3_kepler_record("G02") + sto + ion + "> EPH R03 FDMA\n" +
        v3_glonass_record("R03", 1, 2, 3, 5) + orbit_lines(4, {{183, 0, 3, 0}}) +
        "> EPH E05 INAV\n" + first_lines(v3_kepler_record("E05"), 4) + "> EPH S48 SBAS\n" +
        v3_glonass_record("S48", 1, 2, 3, 0) + "> EPH C08 D1\n" + v3_kepler_record("C08") +
        "> EPH E14 FNAV\n" + v3_kepler_record("E14") + "> EPH J03 LNAV\n" +
        v3_kepler_record("J03") + "> EPH G06 LNAV\n" + v3_kepler_record("G07") + "> EPH C09 D2\n" +
        v3_kepler_record("C09");
    const NavigationData nav = read(text);
    // The short INAV record and the record naming another satellite than announced are skipped.
    EXPECT_EQ(ids(nav), (Ids{"G02", "J03", "E14", "C08", "C09", "R03"}));
    EXPECT_EQ(nav.glonass_records("R03")->front().frequency_channel, 5);
    EXPECT_EQ(nav.kepler_records("G02")->front().sqrt_a, 8.0);
}

TEST(NavigationData, CopiesAreIndependentValues) {
    const NavigationData nav =
        read(kV3 + v3_kepler_record("G01") + v3_glonass_record("R02", 1, 2, 3, 1));
    NavigationData copy = nav;
    copy.gps_ephemerides.add("G09", copy.kepler_records("G01")->front());
    copy.set_glonass_channel("2", -3);
    EXPECT_EQ(ids(nav), (Ids{"G01", "R02"}));
    EXPECT_EQ(ids(copy), (Ids{"G01", "G09", "R02"}));
    EXPECT_EQ(*nav.glonass_channel("2"), 1);
    EXPECT_NE(copy.kepler_records("G01"), nav.kepler_records("G01"));  // the copy's own storage
}

TEST(NavigationReader, EveryPrefixOfAFileReadsWithoutFault) {
    // Cutting a file anywhere (inside numbers, epoch lines, multi-byte characters) must give a
    // result or the header error, never a fault; under the sanitizers this checks every bound.
    const std::string body = v3_kepler_record("G01") + v3_glonass_record("R07", 1, 2, 3, -7) +
                             "> EPH E05 INAV\n" + v3_kepler_record("E05");
    for (const char* version : {"3.04", "2.11", "4.00"}) {
        const std::string text = version_line(version, 'N') +
                                 header_line("\xC3\xA9\xFF", "COMMENT") + end_of_header() + body;
        for (std::size_t n = 0; n <= text.size(); ++n) {
            auto nav = parse_navigation(std::string_view(text).substr(0, n));
            EXPECT_TRUE(!nav.ok() || nav->satellite_count() <= 3u);
        }
    }
}
