// The observation header: labels, code lists, GLONASS slots, positions, the end of the header and
// the marker name taken from the file name.
#include <gtest/gtest.h>

#include <algorithm>

#include "rinex/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

const std::vector<std::string> kGpsCodes = {"C1C", "L1C", "D1C", "S1C"};

// A RINEX 3 header with one GPS code list and one stored epoch, so that a test can tell
// whether the header ended where it should.
std::string v3_file(const std::string& extra_header, const std::string& end = end_of_header()) {
    return version_line("3.04") + extra_header + v3_obs_types('G', kGpsCodes) + end +
           v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) +
           v3_sat("G01", {v3_field(20000000.0), v3_field(1.0), v3_field(2.0), v3_field(45.0)});
}

}  // namespace

TEST(ObsHeader, EndOfHeaderLabelIsTrimmedAndFoundByContainment) {
    // Blanks between column 60 and the label, and text around it, still end the header.
    for (const char* label :
         {"END OF HEADER", "      END OF HEADER", "END OF HEADER   ", "xxEND OF HEADERxx"}) {
        auto obs = read_ok(v3_file("", header_line("", label)));
        EXPECT_EQ(obs.epochs.size(), 1u) << label;
    }
}

TEST(ObsHeader, EndOfHeaderBeforeColumn60IsNotTheEnd) {
    // The label text written in columns below 60: on a short line, on a padded line, and
    // straddling column 60.
    const std::string short_line = std::string(40, ' ') + "END OF HEADER\n";
    const std::string padded = std::string(40, ' ') + "END OF HEADER" + std::string(20, ' ') + "\n";
    const std::string straddling = std::string(55, ' ') + "END OF HEADER\n";
    for (const auto& end : {short_line, padded, straddling}) {
        auto r = read_observation_text(v3_file("", end), "x.obs");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "No END OF HEADER found");
    }
    // A 59-character line ending in the label is short, even with a line end after it.
    std::string fifty_nine = std::string(46, ' ') + "END OF HEADER";
    ASSERT_EQ(fifty_nine.size(), 59u);
    EXPECT_FALSE(read_observation_text(version_line("3.04") + fifty_nine + "\r\n", "x").ok());
}

TEST(ObsHeader, MissingEndOfHeaderFailsWhateverElseIsThere) {
    for (std::string_view text : {std::string_view(""), std::string_view("\n\n"),
                                  std::string_view("garbage that is no RINEX at all")}) {
        auto r = read_observation_text(text, "x.obs");
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error(), "No END OF HEADER found");
    }
    // A header whose lines stop before the end label, followed by data.
    std::string text = version_line("3.04") + v3_obs_types('G', kGpsCodes) +
                       v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + v3_sat("G01", {v3_field(45.0)});
    auto r = read_observation_text(text, "x.obs");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "No END OF HEADER found");
}

TEST(ObsHeader, HeaderEndsAtTheFirstEndLabel) {
    // A second header-looking part after the end is data: its labels are not read.
    std::string text = version_line("3.04") + header_line("FIRST", "MARKER NAME") +
                       v3_obs_types('G', kGpsCodes) + end_of_header() +
                       header_line("SECOND", "MARKER NAME") + end_of_header();
    auto obs = read_ok(text);
    EXPECT_EQ(obs.marker_name, "FIRST");
    EXPECT_TRUE(obs.epochs.empty());
}

TEST(ObsHeader, TextFields) {
    std::string header =
        header_line("  MY STATION  ", "MARKER NAME") +
        header_line("5243K50210          TRIMBLE NETR9       5.45", "REC # / TYPE / VERS") +
        header_line("12345               TRM59800.00     NONE", "ANT # / TYPE") +
        header_line("    30.000", "INTERVAL");
    auto obs = read_ok(v3_file(header));
    EXPECT_DOUBLE_EQ(obs.version, 3.04);
    EXPECT_EQ(obs.marker_name, "MY STATION");
    EXPECT_EQ(obs.receiver_type, "TRIMBLE NETR9");
    EXPECT_EQ(obs.antenna_type, "TRM59800.00     NONE");
    EXPECT_DOUBLE_EQ(obs.interval, 30.0);
    EXPECT_FALSE(obs.approx_position.has_value());
    EXPECT_TRUE(obs.glonass_slots.empty());
}

TEST(ObsHeader, DefaultsWithoutLabels) {
    auto obs = read_ok(version_line("3.04") + end_of_header(), "site.obs");
    EXPECT_EQ(obs.marker_name, "site.obs");
    EXPECT_EQ(obs.receiver_type, "");
    EXPECT_EQ(obs.antenna_type, "");
    EXPECT_EQ(obs.interval, 0.0);
    EXPECT_TRUE(obs.obs_types.empty());
    EXPECT_TRUE(obs.epochs.empty());
}

TEST(ObsHeader, LaterLinesOverwriteAndBadNumbersKeepTheValue) {
    std::string header = header_line("A", "MARKER NAME") + header_line("B", "MARKER NAME") +
                         header_line("    30.000", "INTERVAL") + header_line("   x", "INTERVAL") +
                         header_line("1 2 3", "APPROX POSITION XYZ") +
                         header_line("4 5", "APPROX POSITION XYZ");
    auto obs = read_ok(v3_file(header));
    EXPECT_EQ(obs.marker_name, "B");
    EXPECT_DOUBLE_EQ(obs.interval, 30.0);
    ASSERT_TRUE(obs.approx_position.has_value());
    EXPECT_EQ((*obs.approx_position)[0], 1.0);
    EXPECT_EQ((*obs.approx_position)[2], 3.0);
    // An unreadable version field after a good one keeps the good one.
    auto kept = read_ok(version_line("3.04") + version_line("x.yy") + end_of_header());
    EXPECT_DOUBLE_EQ(kept.version, 3.04);
}

TEST(ObsHeader, ApproxPosition) {
    auto three = read_ok(
        v3_file(header_line("  4199885.7119   164693.9085  4781345.1225", "APPROX POSITION XYZ")));
    ASSERT_TRUE(three.approx_position.has_value());
    EXPECT_DOUBLE_EQ((*three.approx_position)[0], 4199885.7119);
    EXPECT_DOUBLE_EQ((*three.approx_position)[1], 164693.9085);
    EXPECT_DOUBLE_EQ((*three.approx_position)[2], 4781345.1225);

    auto two = read_ok(v3_file(header_line("  4199885.7119   164693.9085", "APPROX POSITION XYZ")));
    EXPECT_FALSE(two.approx_position.has_value());

    // Pieces that are not numbers are dropped; the first three numbers count.
    auto mixed = read_ok(v3_file(header_line(" -1.5 abc 2.5e3 +7 9", "APPROX POSITION XYZ")));
    ASSERT_TRUE(mixed.approx_position.has_value());
    EXPECT_EQ((*mixed.approx_position)[0], -1.5);
    EXPECT_EQ((*mixed.approx_position)[1], 2500.0);
    EXPECT_EQ((*mixed.approx_position)[2], 7.0);
}

TEST(ObsHeader, MarkerNameFromTheFileName) {
    auto blank = read_ok(v3_file(header_line("", "MARKER NAME")), "station.24o");
    EXPECT_EQ(blank.marker_name, "station.24o");
    auto absent = read_ok(v3_file(""), "unknown.obs");
    EXPECT_EQ(absent.marker_name, "unknown.obs");
    auto given = read_ok(v3_file(header_line("SITE", "MARKER NAME")), "station.24o");
    EXPECT_EQ(given.marker_name, "SITE");
    // An empty file name stays empty.
    auto empty = read_ok(v3_file(""), "");
    EXPECT_EQ(empty.marker_name, "");
}

TEST(ObsHeader, Version3CodeListsWithContinuation) {
    std::vector<std::string> twenty = {"C1C", "L1C", "D1C", "S1C", "C1W", "L1W", "D1W",
                                       "S1W", "C2W", "L2W", "D2W", "S2W", "C2L", "L2L",
                                       "D2L", "S2L", "C5Q", "L5Q", "D5Q", "S5Q"};
    std::string header = v3_obs_types('G', twenty) + v3_obs_types('E', {"C1X", "S1X"});
    // Two lines for G: 13 codes, then a continuation line with a blank system column.
    ASSERT_EQ(std::count(header.begin(), header.end(), '\n'), 3);
    auto obs = read_ok(version_line("3.04") + header + end_of_header());
    EXPECT_EQ(obs_types(obs, 'G'), twenty);
    EXPECT_EQ(obs_types(obs, 'E'), (std::vector<std::string>{"C1X", "S1X"}));
}

TEST(ObsHeader, Version3CodeListPieces) {
    // The count column is not used, pieces not starting with a letter are dropped, a line
    // before any system line is ignored, and a later line of a system adds to its list.
    std::string header = header_line("       C9X", "SYS / # / OBS TYPES") +
                         header_line("G   99 C1C 12 1C5 S1C", "SYS / # / OBS TYPES") +
                         header_line("R    1 C1C", "SYS / # / OBS TYPES") +
                         header_line("*      S1P", "SYS / # / OBS TYPES") +
                         header_line("G    1 S2W", "SYS / # / OBS TYPES") +
                         header_line("X    1 S7X", "SYS / # / OBS TYPES");
    auto obs = read_ok(version_line("3.04") + header + end_of_header());
    EXPECT_EQ(obs_types(obs, 'G'), (std::vector<std::string>{"C1C", "S1C", "S2W", "S7X"}));
    EXPECT_EQ(obs_types(obs, 'R'), (std::vector<std::string>{"C1C", "S1P"}));
    EXPECT_EQ(obs.obs_types.size(), 2u);
    // Codes lie in columns 6..60: a code written across column 60 is cut there.
    std::string cut =
        std::string("J    2 C1C") + std::string(47, ' ') + "S1CXSYS / # / OBS TYPES\n";
    auto j = read_ok(version_line("3.04") + cut + end_of_header());
    EXPECT_EQ(obs_types(j, 'J'), (std::vector<std::string>{"C1C", "S1C"}));
}

TEST(ObsHeader, Version3CodeListKeepsEveryCodeSoFieldsStayAligned) {
    // Receivers write two-character codes such as "X1" (the channel number); each names a field
    // of the records, so dropping it would shift every later field onto the wrong code. A lone
    // character or a number is not a code.
    auto obs = read_ok(version_line("3.04") +
                       header_line("G    5 X1  C1C L1 X S1C 7", "SYS / # / OBS TYPES") + end_of_header());
    EXPECT_EQ(obs_types(obs, 'G'), (std::vector<std::string>{"X1", "C1C", "L1", "S1C"}));
}

TEST(ObsRecords, TwoCharacterCodeKeepsTheSignalStrengthInItsColumn) {
    std::string text = version_line("3.04") + header_line("G    3 X1  C1C S1C", "SYS / # / OBS TYPES") +
                       end_of_header() + "> 2024 06 24 08 20  0.0000000  0  1\n" +
                       "G05" + "        12.000" + "  " + "  22345678.123" + "  " + "        45.250" + "\n";
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    double s1c = 0.0;
    for (const auto& v : obs.values) {
        if (obs.codes[v.code] == "S1C") s1c = v.value;
    }
    EXPECT_EQ(s1c, 45.25);
}

TEST(ObsHeader, Version2CodeListOverTwoLinesWithConversion) {
    std::vector<std::string> written = {"C1", "L1", "L2", "P2", "C2", "S1", "S2", "D1",
                                        "D2", "P1", "C5", "L5", "S5", "C7", "L2C"};
    std::vector<std::string> stored = {"C1C", "L1C", "L2C", "C2P", "C2C", "S1C", "S2C", "D1",
                                       "D2",  "C1P", "C5Q", "L5Q", "S5Q", "C7",  "L2C"};
    std::string header = v2_obs_types(written);
    ASSERT_EQ(std::count(header.begin(), header.end(), '\n'), 2);
    auto obs = read_ok(version_line("2.11") + header + end_of_header());
    for (char system : {'G', 'R', 'E', 'C'}) EXPECT_EQ(obs_types(obs, system), stored) << system;
    for (char system : {'J', 'S', 'I'}) EXPECT_EQ(obs.obs_types_of(system), nullptr) << system;
}

TEST(ObsHeader, Version2CodeListDropsCountsAndSinglePieces) {
    std::string header = header_line("     3    C1    X    S1", "# / TYPES OF OBSERV") +
                         header_line("          2P    L1", "# / TYPES OF OBSERV");
    auto obs = read_ok(version_line("2.11") + header + end_of_header());
    EXPECT_EQ(obs_types(obs, 'G'), (std::vector<std::string>{"C1C", "S1C", "L1C"}));
    EXPECT_EQ(obs_types(obs, 'C'), obs_types(obs, 'G'));
}

TEST(ObsHeader, GlonassSlots) {
    std::string header =
        header_line(" 24 R01  1 R02 -4 R03  5 R04  6 R05  1 R06 -4 R07  5 R08  6",
                    "GLONASS SLOT / FRQ #") +
        header_line("    R09 -2 R10 -5 R11  0 R12 -1 R13 -2 R14 -7 R15  0 R16 -1",
                    "GLONASS SLOT / FRQ #") +
        header_line("    R17  4 R18 -3 R19  3 R20  2 R21  4 R22 -3 R23  3 R24  2",
                    "GLONASS SLOT / FRQ #") +
        header_line(" C1C    0.000 C1P    0.000 C2C    0.000 C2P    0.000", "GLONASS COD/PHS/BIS");
    auto obs = read_ok(v3_file(header));
    ASSERT_EQ(obs.glonass_slots.size(), 24u);
    auto channel = [&](std::string_view slot) -> std::optional<int> {
        for (const auto& [s, c] : obs.glonass_slots) {
            if (s == slot) return c;
        }
        return std::nullopt;
    };
    EXPECT_EQ(channel("1"), 1);
    EXPECT_EQ(channel("2"), -4);
    EXPECT_EQ(channel("14"), -7);
    EXPECT_EQ(channel("24"), 2);
    EXPECT_EQ(channel("01"), std::nullopt);
}

TEST(ObsHeader, GlonassSlotPiecesThatDoNotPair) {
    // "R1" is too short, "R05 x" has no channel (the walk moves on by one piece), a repeated slot
    // replaces its channel, and the last piece has no partner.
    std::string header = header_line("  4 R1 3 R05 x R06 +2 R06 -3 R07", "GLONASS SLOT / FRQ #") +
                         header_line("R08 1 Rx9 2", "GLONASS COD/PHS/BIS");
    auto obs = read_ok(v3_file(header));
    std::vector<std::pair<std::string, std::int32_t>> expected = {{"6", -3}, {"8", 1}};
    EXPECT_EQ(obs.glonass_slots, expected);
}

TEST(ObsHeader, VersionChoosesTheRecordReader) {
    // The same data section in the RINEX 2 form: only the version 2 reader finds the epoch.
    std::string data = v2_epoch(24, 3, 5, 7, 8, 9.0, 0, {"G05"}) + v2_record({45.0});
    auto body = [&](const std::string& version) {
        return version + v2_obs_types({"S1"}) + end_of_header() + data;
    };
    EXPECT_EQ(read_ok(body(version_line("2.11"))).epochs.size(), 1u);
    EXPECT_EQ(read_ok(body("")).epochs.size(), 1u);
    auto unreadable = read_ok(body(version_line("x.yy")));
    EXPECT_EQ(unreadable.version, 0.0);
    EXPECT_EQ(unreadable.epochs.size(), 1u);
    EXPECT_EQ(read_ok(body(version_line("3.04"))).epochs.size(), 0u);
    // 3.0 exactly is version 3; the field is columns 0..9.
    std::string v3_data = v3_obs_types('G', {"S1C"}) + end_of_header() +
                          v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + v3_sat("G01", {v3_field(45.0)});
    EXPECT_EQ(read_ok(version_line("3.00") + v3_data).epochs.size(), 1u);
    EXPECT_EQ(read_ok(version_line("2.99") + v3_data).epochs.size(), 0u);
    auto shifted = read_ok(header_line("          3.04", "RINEX VERSION / TYPE") + v3_data);
    EXPECT_EQ(shifted.version, 0.0);
}

TEST(ObsHeader, LabelsAreTestedInOrder) {
    // A label holding two known texts acts on the first of the list: version before marker
    // name, and "SYS / # / OBS TYPES" never reads as a RINEX 2 list.
    auto obs = read_ok(header_line("     3.04  SITE", "RINEX VERSION MARKER NAME") +
                           v3_obs_types('G', {"S1C"}) + end_of_header(),
                       "f.obs");
    EXPECT_DOUBLE_EQ(obs.version, 3.04);
    EXPECT_EQ(obs.marker_name, "f.obs");
    EXPECT_EQ(obs.obs_types.size(), 1u);
}

TEST(ObsHeader, NonAsciiBytesCountAsOneColumnAndReadAsQuestionMarks) {
    // A degree sign in UTF-8 is two bytes: both become '?', and the label stays at byte 60.
    std::string marker =
        "PIER\xC2\xB0"
        "1";
    std::string header = header_line("comment \xB0 with a degree byte", "COMMENT") +
                         header_line(marker, "MARKER NAME") +
                         header_line(std::string(20, ' ') + "RCV\xB0", "REC # / TYPE / VERS");
    auto obs = read_ok(v3_file(header));
    EXPECT_EQ(obs.marker_name, "PIER??1");
    EXPECT_EQ(obs.receiver_type, "RCV?");
    EXPECT_EQ(obs.epochs.size(), 1u);
}
