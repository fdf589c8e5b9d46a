// The navigation reader on small texts built field by field.
#include <gtest/gtest.h>

#include <string>

#include "nav_text.hpp"
#include "navigation/nav_number.hpp"
#include "navigation/navigation_reader.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

const Calendar kT{2024, 1, 2, 3, 4, 5.0};

std::string v3_header() { return version_line("3.04", 'N', "                   M: MIXED") + end_of_header(); }

NavigationData read(const std::string& text) {
    auto nav = parse_navigation(text);
    EXPECT_TRUE(nav.ok()) << (nav.ok() ? "" : nav.error());
    return nav.ok() ? std::move(nav).value() : NavigationData{};
}

std::vector<std::string> ids(const EphemerisMap<KeplerEphemeris>& m) {
    std::vector<std::string> out;
    for (const auto& e : m) out.push_back(e.id);
    return out;
}

}  // namespace

TEST(NavNumber, ReadsFortranExponentsAndFallsBackToZero) {
    EXPECT_DOUBLE_EQ(nav_number(" -.8397D-03 "), -0.8397e-3);
    EXPECT_DOUBLE_EQ(nav_number("1.5d2"), 150.0);
    EXPECT_DOUBLE_EQ(nav_number("2.5E+01"), 25.0);
    EXPECT_EQ(nav_number(""), 0.0);
    EXPECT_EQ(nav_number("1.2.3"), 0.0);
    EXPECT_EQ(nav_number("D"), 0.0);
    // A field ends 19 bytes after its start, or at the end of a shorter line.
    EXPECT_DOUBLE_EQ(nav_field("    1.000000000000E+00 2.000000000000E+00", 4), 1.0);
    EXPECT_DOUBLE_EQ(nav_field("    1.000000000000E+00 2.000000000000E+00", 23), 2.0);
    EXPECT_DOUBLE_EQ(nav_field("    1.000000000000E+00 2.00", 23), 2.0);
    EXPECT_EQ(nav_field("    1.0", 7), 0.0);
    EXPECT_EQ(nav_field("    1.0", 70), 0.0);
}

TEST(NavigationHeader, EndOfHeaderIsTheOnlyRequirement) {
    auto missing = parse_navigation(version_line("3.04", 'N') + v3_kepler_record("G01", kT));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), "No END OF HEADER found");
    EXPECT_FALSE(parse_navigation("").ok());

    // Without a version line the records read as version 3.
    auto nav = read(end_of_header() + v3_kepler_record("G01", kT));
    EXPECT_EQ(nav.gps_count(), 1u);

    // A header with no usable record is not an error.
    auto empty = read(v3_header());
    EXPECT_FALSE(empty.has_data());
    EXPECT_EQ(empty.satellite_count(), 0u);
}

TEST(NavigationRinex3, SortsRecordsIntoTheirMapsAndPassesOverOthers) {
    const std::string text = v3_header() + v3_kepler_record("G01", kT) + v3_kepler_record("J02", kT) +
                             v3_kepler_record("E05", kT) + v3_kepler_record("S20", kT) +
                             v3_kepler_record("C19", kT) + v3_glonass_record("R07", kT, 1, 2, 3, -7) +
                             v3_kepler_record("I05", kT);
    auto nav = read(text);
    EXPECT_EQ(ids(nav.gps_ephemerides), (std::vector<std::string>{"G01", "J02"}));
    EXPECT_EQ(ids(nav.galileo_ephemerides), (std::vector<std::string>{"E05"}));
    EXPECT_EQ(ids(nav.beidou_ephemerides), (std::vector<std::string>{"C19"}));
    ASSERT_NE(nav.glonass_records("R07"), nullptr);
    EXPECT_EQ(nav.gps_count(), 2u);
    EXPECT_EQ(nav.satellite_count(), 5u);
    EXPECT_TRUE(nav.has_data());
    EXPECT_EQ(nav.kepler_records("S20"), nullptr);
    EXPECT_EQ(nav.kepler_records("I05"), nullptr);
    EXPECT_EQ(nav.kepler_records("J02")->front().system, 'J');
    EXPECT_EQ(nav.all_satellite_ids(), (std::vector<std::string>{"G01", "J02", "E05", "C19", "R07"}));
}

TEST(NavigationRinex3, KeplerFieldsComeFromTheirColumns) {
    auto nav = read(v3_header() + v3_kepler_record("E11", kT));
    const auto* list = nav.kepler_records("E11");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 1u);
    const KeplerEphemeris& r = list->front();
    EXPECT_EQ(r.system, 'E');
    EXPECT_EQ(r.prn, 11u);
    EXPECT_EQ(r.epoch, (EpochTime{2024, 1, 2, 3, 4, 5.0}));
    EXPECT_DOUBLE_EQ(r.af0, 0.1);
    EXPECT_DOUBLE_EQ(r.af1, 0.2);
    EXPECT_DOUBLE_EQ(r.af2, 0.3);
    // Orbit fields were written as 1, 2, 3, ... in reading order.
    const double expected[] = {r.iode, r.crs, r.delta_n, r.m0, r.cuc, r.e, r.cus, r.sqrt_a, r.toe, r.cic,
                               r.omega0, r.cis, r.i0, r.crc, r.omega, r.omega_dot, r.idot};
    for (int k = 0; k < 17; ++k) EXPECT_EQ(expected[k], k + 1.0) << "orbit field " << k + 1;
    EXPECT_EQ(r.week, 19);  // orbit line 5, field 3
}

TEST(NavigationRinex3, GlonassInMetresWithChannelsOfNonZeroValue) {
    const std::string text = v3_header() + v3_glonass_record("R07", kT, 10.5, -20.25, 30.0, -7) +
                             v3_glonass_record("R03", kT, 1, 2, 3, 0) +
                             v3_glonass_record("R07", {2024, 1, 2, 3, 34, 5.0}, 11, 12, 13, 6);
    auto nav = read(text);
    const auto* r07 = nav.glonass_records("R07");
    ASSERT_NE(r07, nullptr);
    ASSERT_EQ(r07->size(), 2u);  // both records, in file order
    const GlonassEphemeris& g = r07->front();
    EXPECT_EQ(g.slot, 7u);
    EXPECT_DOUBLE_EQ(g.x, 10500.0);
    EXPECT_DOUBLE_EQ(g.y, -20250.0);
    EXPECT_DOUBLE_EQ(g.z, 30000.0);
    EXPECT_DOUBLE_EQ(g.vx, 1500.0);
    EXPECT_DOUBLE_EQ(g.vy, -2500.0);
    EXPECT_DOUBLE_EQ(g.vz, 3500.0);
    EXPECT_DOUBLE_EQ(g.ax, 1e-6);
    EXPECT_DOUBLE_EQ(g.ay, 2e-6);
    EXPECT_DOUBLE_EQ(g.az, -3e-6);
    EXPECT_DOUBLE_EQ(g.clock_bias, 1e-5);
    EXPECT_DOUBLE_EQ(g.freq_bias, 2e-12);
    EXPECT_DOUBLE_EQ(g.message_time, 86400.0);
    EXPECT_EQ(g.frequency_channel, -7);
    EXPECT_EQ((*r07)[1].epoch.minute, 34u);
    // Slot 3 has channel 0 and gets no entry; slot 7's later record replaces its channel.
    EXPECT_EQ(nav.glonass_channels, (std::vector<std::pair<std::string, std::int32_t>>{{"7", 6}}));
}

TEST(NavigationRinex3, MalformedAndTruncatedRecordsAreSkipped) {
    std::string bad_epoch = v3_kepler_record("G02", kT);
    bad_epoch.replace(4, 4, "20X4");
    std::string truncated = v3_kepler_record("G09", kT);
    truncated.resize(truncated.size() / 2);  // four lines left
    const std::string text = v3_header() + "\n   \n" + v3_kepler_record("G01", kT) + bad_epoch +
                             v3_kepler_record("G03", kT) + truncated;
    auto nav = read(text);
    EXPECT_EQ(ids(nav.gps_ephemerides), (std::vector<std::string>{"G01", "G03"}));
}

TEST(NavigationRinex3, LineEndingsAndInvalidBytes) {
    std::string crlf;
    for (char c : v3_header() + v3_kepler_record("G01", kT)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    auto nav = read(crlf);
    ASSERT_NE(nav.kepler_records("G01"), nullptr);
    EXPECT_EQ(nav.kepler_records("G01")->front(), read(v3_header() + v3_kepler_record("G01", kT)).kepler_records("G01")->front());

    // Invalid bytes in a comment do not stop the reader.
    auto latin = read(version_line("3.04", 'N') + header_line("C:\\\x83\x66\x81\x5B\x83\x5E", "COMMENT") +
                      end_of_header() + v3_kepler_record("G01", kT));
    EXPECT_EQ(latin.gps_count(), 1u);

    // Columns count bytes of the repaired text: one invalid byte in place of the blank before the
    // year becomes three, the year moves out of its columns and the record is skipped. A valid
    // two-byte character in a comment is left as it is.
    std::string shifted = v3_kepler_record("G04", kT);
    shifted[3] = '\xFF';
    auto repaired = read(v3_header() + header_line("\xC3\xA9t\xC3\xA9", "COMMENT") + shifted +
                         v3_kepler_record("G05", kT));
    EXPECT_EQ(ids(repaired.gps_ephemerides), (std::vector<std::string>{"G05"}));
}

TEST(NavigationRinex2, GpsFileWithTwoDigitYears) {
    const std::string header = version_line("2.11", 'N', ": GPS NAV DATA") + end_of_header();
    const std::string text = header + v2_epoch_line(5, {99, 12, 31, 23, 59, 44.0}, -0.8397e-3, 1e-12, 0.0) +
                             numbered_orbit_lines(3, 7, 1.0, 'D') +
                             v2_epoch_line(12, {5, 1, 2, 0, 0, 0.0}, 1.0, 2.0, 3.0) +
                             numbered_orbit_lines(3, 7, 100.0, 'D');
    auto nav = read(text);
    ASSERT_EQ(ids(nav.gps_ephemerides), (std::vector<std::string>{"G05", "G12"}));
    const KeplerEphemeris& a = nav.kepler_records("G05")->front();
    EXPECT_EQ(a.system, 'G');
    EXPECT_EQ(a.epoch, (EpochTime{1999, 12, 31, 23, 59, 44.0}));
    EXPECT_DOUBLE_EQ(a.af0, -0.8397e-3);
    EXPECT_EQ(a.iode, 1.0);
    EXPECT_EQ(a.sqrt_a, 8.0);
    EXPECT_EQ(a.idot, 17.0);
    EXPECT_EQ(a.week, 19);
    const KeplerEphemeris& b = nav.kepler_records("G12")->front();
    EXPECT_EQ(b.epoch.year, 2005);
    EXPECT_EQ(b.m0, 103.0);
}

TEST(NavigationRinex2, FileTypeDecidesTheSystem) {
    const std::string glonass_body =
        v2_epoch_line(1, {20, 12, 31, 23, 45, 0.0}, 7.28e-5, 0.0, 73800.0) +
        orbit_line(3, {-1488.799804690, -2.196182250980, 3.725290298460e-09, 0.0}, 'D') +
        orbit_line(3, {12928.80712890, -2.049269676210, 0.0, -4.0}, 'D') +
        orbit_line(3, {21931.69775390, 1.059645652770, -9.313225746150e-10, 0.0}, 'D');
    auto nav = read(version_line("2.11", 'G', ": GLONASS NAV DATA") + end_of_header() + glonass_body);
    EXPECT_EQ(nav.gps_count(), 0u);  // a GLONASS file never gives GPS orbits
    const auto* r01 = nav.glonass_records("R01");
    ASSERT_NE(r01, nullptr);
    EXPECT_EQ(r01->front().epoch, (EpochTime{2020, 12, 31, 23, 45, 0.0}));
    EXPECT_DOUBLE_EQ(r01->front().x, -1488799.804690);
    EXPECT_DOUBLE_EQ(r01->front().vz, 1059.645652770);
    EXPECT_DOUBLE_EQ(r01->front().message_time, 73800.0);
    EXPECT_EQ(r01->front().frequency_channel, -4);
    EXPECT_EQ(nav.glonass_channels, (std::vector<std::pair<std::string, std::int32_t>>{{"1", -4}}));

    // A blank type letter reads as GPS; geostationary ('H') and other types give nothing.
    const std::string gps_record = v2_epoch_line(3, {21, 1, 1, 0, 0, 0.0}, 0, 0, 0) + numbered_orbit_lines(3, 7, 1.0);
    EXPECT_EQ(read(version_line("2", ' ') + end_of_header() + gps_record).gps_count(), 1u);
    EXPECT_FALSE(read(version_line("2.11", 'H') + end_of_header() + gps_record).has_data());
    EXPECT_FALSE(read(version_line("2.11", 'O') + end_of_header() + gps_record).has_data());
}

TEST(NavigationRinex4, FollowsRecordHeadersAndSkipsOtherMessagesWhole) {
    // A CNAV record has nine lines and begins like an LNAV one; STO, ION and SBAS records differ.
    const std::string cnav = "> EPH G01 CNAV\n" + v3_epoch_line("G01", kT, 9, 9, 9) + numbered_orbit_lines(4, 8, 500.0);
    const std::string sto = "> STO G26 LNAV\n    2022 06 10 19 56 48 GPUT                                  UTC(USNO)\n" +
                            orbit_line(4, {295284.0, 9.3e-10, 2.7e-15, 0.0});
    const std::string ion = "> ION E01 IFNV\n    2022 06 08 09 59 57 7.850000000000E+01 5.39E-01 2.71E-02\n" +
                            orbit_line(4, {0.0});
    const std::string glonass = "> EPH R03 FDMA\n" + v3_glonass_record("R03", kT, 1, 2, 3, 5) +
                                orbit_line(4, {183.0, -2.8e-9, 3.0, 0.0});
    const std::string short_galileo = "> EPH E05 INAV\n" + v3_epoch_line("E05", kT, 0, 0, 0) + numbered_orbit_lines(4, 3, 1.0);
    const std::string sbas = "> EPH S48 SBAS\n" + v3_glonass_record("S48", kT, 1, 2, 3, 0);
    const std::string text = version_line("4.00", 'N', ": GNSS NAV DATA    M: MIXED") + end_of_header() +
                             cnav + "> EPH G02 LNAV\n" + v3_kepler_record("G02", kT) + sto + ion + glonass +
                             short_galileo + sbas + "> EPH C08 D1\n" + v3_kepler_record("C08", kT) +
                             "> EPH E14 FNAV\n" + v3_kepler_record("E14", kT) + "> EPH J03 LNAV\n" +
                             v3_kepler_record("J03", kT);
    auto nav = read(text);
    EXPECT_EQ(ids(nav.gps_ephemerides), (std::vector<std::string>{"G02", "J03"}));
    EXPECT_EQ(ids(nav.galileo_ephemerides), (std::vector<std::string>{"E14"}));
    EXPECT_EQ(ids(nav.beidou_ephemerides), (std::vector<std::string>{"C08"}));
    EXPECT_EQ(nav.glonass_count(), 1u);
    ASSERT_NE(nav.glonass_records("R03"), nullptr);
    EXPECT_EQ(nav.glonass_records("R03")->front().frequency_channel, 5);
    EXPECT_EQ(nav.kepler_records("G02")->front().sqrt_a, 8.0);
}

TEST(NavigationRinex4, RecordMustNameItsAnnouncedSatellite) {
    const std::string text = version_line("4.00", 'N') + end_of_header() + "> EPH G02 LNAV\n" +
                             v3_kepler_record("G07", kT) + "> EPH G03 LNAV\n" + v3_kepler_record("G03", kT);
    EXPECT_EQ(ids(read(text).gps_ephemerides), (std::vector<std::string>{"G03"}));
}

TEST(NavigationData, CopiesAreIndependentValues) {
    auto nav = read(v3_header() + v3_kepler_record("G01", kT) + v3_glonass_record("R02", kT, 1, 2, 3, 1));
    NavigationData copy = nav;
    copy.gps_ephemerides.add("G09", copy.kepler_records("G01")->front());
    copy.set_glonass_channel("2", -3);
    EXPECT_EQ(nav.gps_count(), 1u);
    EXPECT_EQ(copy.gps_count(), 2u);
    EXPECT_EQ(*nav.glonass_channel("2"), 1);
    EXPECT_EQ(*copy.glonass_channel("2"), -3);
    // Lookups in the copy find the copy's own records.
    EXPECT_NE(copy.kepler_records("G01"), nav.kepler_records("G01"));
    EXPECT_EQ(*copy.kepler_records("G01"), *nav.kepler_records("G01"));
}

TEST(NavigationReader, EveryPrefixOfAFileReadsWithoutFault) {
    // Cutting a file anywhere (inside numbers, epoch lines, multi-byte characters) must leave a
    // readable or rejected text, never a fault; run under the sanitizers this checks every bound.
    const std::string text = v3_header() + header_line("\xC3\xA9\xFF", "COMMENT") + v3_kepler_record("G01", kT) +
                             v3_glonass_record("R07", kT, 1, 2, 3, -7) + "> EPH E05 INAV\n" +
                             v3_kepler_record("E05", kT);
    for (std::size_t n = 0; n <= text.size(); ++n) {
        auto nav = parse_navigation(std::string_view(text).substr(0, n));
        if (nav.ok()) {
            EXPECT_LE(nav->satellite_count(), 3u);
        }
    }
    for (const char* version : {"2.11", "4.00"}) {
        const std::string other = version_line(version, 'N') + end_of_header() + text.substr(text.find("G01 2024"));
        for (std::size_t n = 0; n <= other.size(); n += 7) (void)parse_navigation(other.substr(0, n));
    }
}
