// Identifying GNSS satellites in TLE names and counting element sets.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tle/tle_count.hpp"

using namespace qcn0;

namespace {

const std::string kLine1 = "1 24876U 97035A   24160.80187576  .00000010  00000+0  00000+0 0  9995";

// Line 2 with the mean motion (revolutions per day) in columns 52..63.
std::string line2(double mean_motion) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%11.8f", mean_motion);
    return "2 24876  55.6686 127.4598 0079473  52.0264 308.6451 " + std::string(buf) + "197140";
}

std::string set(const std::string& name, double mean_motion = 2.00565553) {
    return name + "\n" + kLine1 + "\n" + line2(mean_motion) + "\n";
}

}  // namespace

TEST(TleIdentifier, FamiliesAndTheirNumbers) {
    EXPECT_EQ(tle_satellite_id("GPS BIIR-2  (PRN 13)"), "G13");
    EXPECT_EQ(tle_satellite_id("NAVSTAR 60 (USA 203) PRN:05"), "G05");
    EXPECT_EQ(tle_satellite_id("GPS BIIIF-1 (PRN 123)"), "G123");
    EXPECT_EQ(tle_satellite_id("gps biir-2 (prn 7)"), "G07");  // names are upper-cased first
    EXPECT_EQ(tle_satellite_id("GALILEO 11 (E11)"), "E11");
    EXPECT_EQ(tle_satellite_id("GSAT0101 (PRN E11)"), "E30");  // "(E" not followed by digits
    EXPECT_EQ(tle_satellite_id("GSAT0227 (PRN E06)"), "E12");  // 227 mod 36 + 1
    EXPECT_EQ(tle_satellite_id("QZS-1 (QZSS/PRN 183)"), "J01");
    EXPECT_EQ(tle_satellite_id("QZS-2 (QZSS/PRN 194)"), "J02");
    EXPECT_EQ(tle_satellite_id("MICHIBIKI-3"), "J03");
    // Letters whose upper case is Latin: long s and the fi ligature.
    EXPECT_EQ(tle_satellite_id("gp\xC5\xBF (prn 9)"), "G09");
    EXPECT_EQ(tle_satellite_id("\xEF\xAC\x81"
                               "rst GPS (PRN 3)"),
              "G03");
}

TEST(TleIdentifier, NamesThatGiveNoIdentifier) {
    for (const char* name :
         {"GPS BIIR-2", "NAVSTAR 43 (USA 132)", "GPS (PRN 99999999999)", "COSMOS 2425 (716)",
          "GLONASS-K1", "BEIDOU-3 M1 (C19)", "BEIDOU-3 G4", "GSAT-8 (GAGAN/PRN 127)", "IRNSS-1A",
          "SES-5 (EGNOS/PRN 136)", "QZS", "GALILEO", "", "   "}) {
        EXPECT_FALSE(tle_satellite_id(name)) << name;
    }
    // A GPS name without a usable PRN goes on to the later rules.
    EXPECT_EQ(tle_satellite_id("GPS GSAT0101"), "E30");
    EXPECT_FALSE(tle_satellite_id("GPS COSMOS 2425"));
}

TEST(TleCount, SetsNeedANameTwoLinesAndAPositiveMeanMotion) {
    EXPECT_EQ(parse_tle_content(set("GPS BIIR-2  (PRN 13)")), 1u);
    EXPECT_EQ(parse_tle_content(set("GPS BIIR-2")), 0u);
    EXPECT_EQ(parse_tle_content(set("GPS BIIR-2  (PRN 13)", 0.0)), 0u);
    EXPECT_EQ(
        parse_tle_content(set("COSMOS 2425") + set("BEIDOU-3 M1") + set("QZS-1 (QZSS/PRN 183)")),
        1u);
    // Duplicates count twice; junk lines between sets are passed over one at a time.
    EXPECT_EQ(parse_tle_content("header\n\n" + set("GPS (PRN 1)") + "junk\n" + set("GPS (PRN 1)")),
              2u);
    // CRLF endings and surrounding blanks do not matter.
    std::string crlf;
    for (char c : "  " + set("GSAT0202 (PRN E14)    ")) {
        if (c == '\n') crlf += "  \r";
        crlf += c;
    }
    EXPECT_EQ(parse_tle_content(crlf), 1u);
    // Without name lines, line 2 of one set may serve as the name of nothing: no GNSS name.
    EXPECT_EQ(
        parse_tle_content(kLine1 + "\n" + line2(2.0) + "\n" + kLine1 + "\n" + line2(2.0) + "\n"),
        0u);
    EXPECT_EQ(parse_tle_content(""), 0u);
    EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n" + kLine1), 0u);
}

TEST(TleCount, ShortLinesAreNotCountedAndNotOverread) {
    // Every cut of line 2 shorter than the mean motion's end, and short line 1s.
    const std::string full = line2(2.0);
    for (std::size_t n = 1; n < 63; ++n) {
        EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n" + kLine1 + "\n" + full.substr(0, n)), 0u) << n;
    }
    EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n" + kLine1 + "\n" + full.substr(0, 63)), 1u);
    EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n" + kLine1.substr(0, 60) + "\n" + full), 0u);
    EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n1\n2"), 0u);
    EXPECT_EQ(parse_tle_content("GPS (PRN 1)\n" + kLine1 + "\n2 x" + std::string(60, ' ') + "nan"),
              0u);
}

TEST(TleCount, CelestrakGnssGroupFile) {
    const std::string path = std::string(QCN0_DATA_DIR) + "/gnss_2024-06-08.txt";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "real data folder " QCN0_DATA_DIR " is absent; skipped";
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    // The file holds 164 sets: GPS 31 (all named with their PRN), GLONASS 26, Galileo 29 (GSATnnnn
    // names), BeiDou 52, QZSS 4, IRNSS 9 and SBAS 13. GPS, Galileo and QZSS names give
    // identifiers; GLONASS (Cosmos), BeiDou, IRNSS and SBAS names (including the GAGAN "GSAT-n"
    // satellites) give none.
    EXPECT_EQ(parse_tle_content(ss.str()), 31u + 29u + 4u);
}
