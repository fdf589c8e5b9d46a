// The observation reader: header labels, RINEX 3 and RINEX 2 data sections, bytes to lines, and
// the questions asked of a parsed file. Each case compares the whole dump of what was stored.
#include <gtest/gtest.h>

#include "../../../fuzz/harness_bodies.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;  // text, expected dump or error

std::string outcome(const std::string& text, std::string_view name = "test.obs") {
    auto r = read_observation_text(text, name);
    return r.ok() ? dump(*r) : "error: " + r.error();
}
std::string head(const std::string& text, std::string_view name = "test.obs") {
    return outcome(text, name).substr(0, outcome(text, name).find('\n'));
}
void expect_cases(const Cases& cases, bool header_only) {
    for (const auto& [text, expected] : cases) EXPECT_EQ(header_only ? head(text) : outcome(text), expected) << text;
}
// Data sections after one header: the dump after the header line.
void expect_records(const std::string& header, const Cases& cases) {
    for (const auto& [text, expected] : cases) {
        const std::string d = outcome(header + text);
        EXPECT_EQ(d.substr(d.find('\n') + 1), expected) << text;
    }
}

const std::string kV3 = version_line("3.04") + end_of_header();
std::string hdr(const std::string& lines) { return version_line("3.04") + lines + end_of_header(); }
std::string ep(double second, int count, int flag = 0) { return v3_epoch(2024, 3, 5, 7, 8, second, flag, count); }
std::string g(std::string_view id, double s) { return v3_sat(id, {field({}), field({}), field({}), field(s)}); }
std::string r(std::string_view id, double s) { return v3_sat(id, {field({}), field(s)}); }
const std::string kHead3 = version_line("3.04") + v3_obs_types('G', {"C1C", "L1C", "D1C", "S1C"}) +
                           v3_obs_types('R', {"C1C", "S1C"}) + v3_obs_types('E', {"C1X", "S1X", "S5X"}) +
                           end_of_header();
std::string h2(const Ids& codes) { return version_line("2.11") + v2_obs_types(codes) + end_of_header(); }
std::string e2(double second, const Ids& slots, int flag = 0, int count = -1) {
    return v2_epoch(21, 1, 1, 0, 0, second, flag, slots, count);
}
const std::string kT = "2024-3-5 7:8:";  // time of the RINEX 3 epochs
const std::string kT2 = "2021-1-1 0:0:";  // and of the RINEX 2 ones

}  // namespace

TEST(ObsHeader, LabelsAndTheirFields) {
    const std::string sl = "GLONASS SLOT / FRQ #";
    expect_cases({
        {kV3, "3.04|test.obs|||0"},
        {hdr(header_line("  MY STATION  ", "MARKER NAME") +
             header_line("5243K50210          TRIMBLE NETR9       5.45", "REC # / TYPE / VERS") +
             header_line("12345               TRM59800.00     NONE", "ANT # / TYPE") +
             header_line("    30.000", "INTERVAL") +
             header_line("  4199885.7119   164693.9085 -4781345.1225", "APPROX POSITION XYZ")),
         "3.04|MY STATION|TRIMBLE NETR9|TRM59800.00     NONE|30|xyz 4199885.7119,164693.9085,-4781345.1225"},
        // Later lines overwrite; unreadable numbers and short positions keep the earlier value.
        {hdr(header_line("A", "MARKER NAME") + header_line("B", "MARKER NAME") + version_line("x.yy") +
             header_line("    30.000", "INTERVAL") + header_line("   x", "INTERVAL") +
             header_line("1 2 3", "APPROX POSITION XYZ") + header_line("4 5", "APPROX POSITION XYZ")),
         "3.04|B|||30|xyz 1,2,3"},
        // Pieces that are not numbers are dropped; the first three numbers count.
        {hdr(header_line(" -1.5 abc 2.5e3 +7 9", "APPROX POSITION XYZ")), "3.04|test.obs|||0|xyz -1.5,2500,7"},
        {hdr(header_line("", "MARKER NAME")), "3.04|test.obs|||0"},
        // Code lists: 13 to a line; the count is not used, pieces not starting with a letter are
        // dropped, a line before any system line is ignored, later lines add, codes end at column 60.
        {hdr(v3_obs_types('G', {"C1C", "L1C", "D1C", "S1C", "C1W", "L1W", "D1W", "S1W", "C2W", "L2W",
                                "D2W", "S2W", "C2L", "L2L"}) + v3_obs_types('E', {"C1X", "S1X"})),
         "3.04|test.obs|||0|G:C1C,L1C,D1C,S1C,C1W,L1W,D1W,S1W,C2W,L2W,D2W,S2W,C2L,L2L|E:C1X,S1X"},
        {hdr(header_line("       C9X", "SYS / # / OBS TYPES") + header_line("G   99 C1C 12 1C5 S1C", "SYS / # / OBS TYPES") +
             header_line("R    1 C1C", "SYS / # / OBS TYPES") + header_line("*      S1P", "SYS / # / OBS TYPES") +
             header_line("G    1 S2W", "SYS / # / OBS TYPES") + "J    2 C1C" + std::string(47, ' ') +
             "S1CXSYS / # / OBS TYPES\n"),
         "3.04|test.obs|||0|G:C1C,S1C,S2W|R:C1C,S1P|J:C1C,S1C"},
        // Two-character codes name fields and are kept; a lone character or a number is no code.
        {hdr(header_line("G    5 X1  C1C L1 X S1C 7", "SYS / # / OBS TYPES")), "3.04|test.obs|||0|G:X1,C1C,L1,S1C"},
        // RINEX 2: one list, converted, for G, R, E and C; counts and single characters dropped.
        {version_line("2.11") + v2_obs_types({"C1", "L1", "L2", "P2", "C2", "S1", "S2", "D1", "D2", "P1", "C5", "L5", "S5", "C7", "L2C"}) + end_of_header(),
         "2.11|test.obs|||0|G:C1C,L1C,L2C,C2P,C2C,S1C,S2C,D1,D2,C1P,C5Q,L5Q,S5Q,C7,L2C|R:C1C,L1C,L2C,C2P,C2C,S1C,S2C,D1,D2,C1P,C5Q,L5Q,S5Q,C7,L2C|E:C1C,L1C,L2C,C2P,C2C,S1C,S2C,D1,D2,C1P,C5Q,L5Q,S5Q,C7,L2C|C:C1C,L1C,L2C,C2P,C2C,S1C,S2C,D1,D2,C1P,C5Q,L5Q,S5Q,C7,L2C"},
        {version_line("2.11") + header_line("     3    C1    X    S1", "# / TYPES OF OBSERV") + header_line("          2P    L1", "# / TYPES OF OBSERV") + end_of_header(),
         "2.11|test.obs|||0|G:C1C,S1C,L1C|R:C1C,S1C,L1C|E:C1C,S1C,L1C|C:C1C,S1C,L1C"},
        // GLONASS slots: "R1" is too short, "R05 x" has no channel, a repeated slot replaces its
        // channel, a last piece without partner is dropped.
        {hdr(header_line(" 3 R01  1 R02 -4 R14 -7", sl) + header_line("  4 R1 3 R05 x R06 +2 R06 -3 R07", sl) +
             header_line("R08 1 Rx9 2", "GLONASS COD/PHS/BIS") + header_line(" C1C    0.000 C1P    0.000", "GLONASS COD/PHS/BIS")),
         "3.04|test.obs|||0|slots 1=1 2=-4 14=-7 6=-3 8=1"},
        // A label holding two known texts acts on the first of the list.
        {header_line("     3.04  SITE", "RINEX VERSION MARKER NAME") + end_of_header(), "3.04|test.obs|||0"},
        {header_line("          3.04", "RINEX VERSION / TYPE") + end_of_header(), "0|test.obs|||0"},
    }, true);
    EXPECT_EQ(head(kV3, "station.24o"), "3.04|station.24o|||0");
    EXPECT_EQ(head(kV3, ""), "3.04||||0");
}

TEST(ObsHeader, EndOfHeaderAndTheVersionThatChoosesTheReader) {
    const std::string types = v3_obs_types('G', {"S1C"});
    const std::string data = ep(9, 1) + v3_sat("G01", {field(45.0)});
    const std::string one = "\n[G01]\n" + kT + "9 f0 G01{S1C=45}";
    const std::string none = "error: No END OF HEADER found";
    const std::string v2data = v2_obs_types({"S1"}) + end_of_header() + v2_epoch(24, 3, 5, 7, 8, 9.0, 0, {"G05"}) + v2_record({45.0});
    const std::string v2one = "|test.obs|||0|G:S1C|R:S1C|E:S1C|C:S1C\n[G05]\n" + kT + "9 f0 G05{S1C=45}";
    expect_cases({
        {version_line("3.04") + types + header_line("", "      END OF HEADER") + data, "3.04|test.obs|||0|G:S1C" + one},
        {version_line("3.04") + types + header_line("", "xxEND OF HEADERxx") + data, "3.04|test.obs|||0|G:S1C" + one},
        // The label must lie from column 60 on.
        {version_line("3.04") + types + std::string(40, ' ') + "END OF HEADER" + std::string(20, ' ') + "\n" + data, none},
        {version_line("3.04") + types + std::string(55, ' ') + "END OF HEADER\n" + data, none},
        {version_line("3.04") + std::string(46, ' ') + "END OF HEADER\r\n", none},
        {"", none}, {"garbage that is no RINEX at all", none}, {version_line("3.04") + types + data, none},
        // The header ends at the first end label: what follows is data.
        {version_line("3.04") + header_line("FIRST", "MARKER NAME") + end_of_header() + header_line("SECOND", "MARKER NAME") + end_of_header(),
         "3.04|FIRST|||0\n[]"},
        // 3.0 exactly is version 3; anything else (or no number) reads the RINEX 2 way.
        {version_line("3.00") + types + end_of_header() + data, "3|test.obs|||0|G:S1C" + one},
        {version_line("2.99") + types + end_of_header() + data, "2.99|test.obs|||0|G:S1C\n[]"},
        {version_line("2.11") + v2data, "2.11" + v2one}, {version_line("x.yy") + v2data, "0" + v2one}, {v2data, "0" + v2one},
        {version_line("3.04") + v2data, "3.04" + v2one.substr(0, v2one.find('\n')) + "\n[]"},
    }, false);
}

TEST(ObsRecords, Version3) {
    expect_records(kHead3, {
        // Blank and zero fields store nothing; -0.000 is zero, words and D exponents do not read.
        {ep(9, 2) + v3_sat("G01", {field(23456789.123), field({}), field(0.0), field(45.25)}) +
             v3_sat("G02", {"        -0.000  ", "           abc  ", "  1.5D3       ", field(-3.5)}),
         "[G01 G02]\n" + kT + "9 f0 G01{C1C=23456789.123 S1C=45.25} G02{S1C=-3.5}"},
        // Indicators: digits only; a line may end after the value or after the loss-of-lock
        // column; the value is the first 14 characters of the field.
        {ep(9, 4) + v3_sat("G01", {field(2e7, ' ', '5'), field(1e8, '1', ' '), field(-12.5, 'x', '+'), field(45.25, '1', '7')}) +
             v3_sat("G02", {field({}), field({}), field({}), "        45.250"}) +
             v3_sat("G03", {field({}), field({}), field({}), "        45.250 4"}) +
             v3_sat("G04", {field({}), field({}), field({}), "        45.2502"}),
         "[G01 G02 G03 G04]\n" + kT + "9 f0 G01{C1C=20000000/s5 L1C=100000000/l1 D1C=-12.5 S1C=45.25/l1/s7} "
         "G02{S1C=45.25} G03{S1C=45.25/s4} G04{S1C=45.25/l2}"},
        // A field cut by the line end; fields beyond the code list.
        {ep(9, 2) + "R01" + field(2e7) + "   41.5\n" + v3_sat("E05", {field(1), field(2), field(3), field(4), field(5)}),
         "[R01 E05]\n" + kT + "9 f0 R01{C1C=20000000 S1C=41.5} E05{C1X=1 S1X=2 S5X=3}"},
        // Systems without a code list store nothing; an epoch left empty is dropped.
        {ep(9, 1) + g("J01", 45) + ep(10, 3) + g("C11", 45) + g("G01", 46) + g("X01", 47),
         "[G01]\n" + kT + "10 f0 G01{S1C=46}"},
        // Flags as written; unreadable ones are 0; an event epoch with its record is dropped.
        {ep(1, 1, 1) + g("G01", 45) + ep(2, 1, 6) + g("G01", 45) + "> 2024 03 05 07 08  3.0000000  x  1\n" +
             g("G01", 45) + "> 2024 03 05 07 08  4.0000000 256  1\n" + g("G01", 45) +
             "> 2024 03 05 07 08  5.0000000 +2  1  0.000123456789\n" + g("G01", 45) + ep(6, 1, 4) +
             header_line("ANTENNA MOVED", "COMMENT") + ep(7, 1) + g("G01", 45),
         "[G01]\n" + kT + "1 f1 G01{S1C=45}\n" + kT + "2 f6 G01{S1C=45}\n" + kT + "3 f0 G01{S1C=45}\n" + kT +
             "4 f0 G01{S1C=45}\n" + kT + "5 f2 G01{S1C=45}\n" + kT + "7 f0 G01{S1C=45}"},
        // An empty line ends the satellite lines; lines of one to three characters use one up.
        {ep(1, 3) + g("G01", 45) + "\n" + g("G02", 45) + ep(2, 2) + "G1\n" + g("G03", 45) + ep(3, 1) + "G\n" +
             g("G04", 45) + ep(4, 1) + "   \n" + g("G05", 45),
         "[G01 G03]\n" + kT + "1 f0 G01{S1C=45}\n" + kT + "2 f0 G03{S1C=45}"},
        // A blank identifier reads with the GPS list; "G 7" is G07; a repeated satellite line
        // replaces the earlier one unless it has no values.
        {ep(1, 4) + g("   ", 45) + v3_sat("G07", {field(2e7), field({}), field({}), field(40)}) + r("R 1", 40) + g("G 7", 41) +
             ep(2, 2) + g("G01", 40) + g("G01", 0),
         "[ G07 R01 G01]\n" + kT + "1 f0 {S1C=45} G07{S1C=41} R01{S1C=40}\n" + kT + "2 f0 G01{S1C=40}"},
    });

    // 120 satellites: the one-digit flag glued to the three-digit count ("0120"), a clock offset after.
    std::string many = kHead3 + "> 2024 03 05 07 08  9.0000000  1120       0.000123456789\n";
    for (std::uint32_t k = 1; k <= 120; ++k) many += g(sat_id('G', k % 100), 40);
    EXPECT_EQ(read_ok(many).satellites.size() * 10 + read_ok(many).epochs.at(0).flag, 1001u);  // numbers repeat after 99
}

TEST(ObsRecords, Version2) {
    const std::string s1 = h2({"S1"}), lists = "|test.obs|||0|G:S1C|R:S1C|E:S1C|C:S1C\n";
    expect_cases({
        // The one list serves every system; slots without a letter are GPS, "R 7" is R07.
        {h2({"C1", "L1", "S1"}) + e2(9, {"G05", "  5", " 12", "R 7", "E11"}) + v2_record({2e7, 1e8, 45}) + v2_record({1, 0, 46}) +
             v2_record({2e7, {}, 47}) + v2_record({1, 2, 3}) + v2_record({{}, {}, 48}),
         "2.11|test.obs|||0|G:C1C,L1C,S1C|R:C1C,L1C,S1C|E:C1C,L1C,S1C|C:C1C,L1C,S1C\n[G05 G12 R07 E11]\n" + kT2 +
             "9 f0 G05{C1C=1 S1C=46} G12{C1C=20000000 S1C=47} R07{C1C=1 L1C=2 S1C=3} E11{S1C=48}"},
        // Two-digit years: 80..99 are 19xx; an unreadable short slot is G00.
        {s1 + v2_epoch(79, 1, 2, 3, 4, 5.5, 0, {" G7"}) + v2_record({45}) + v2_epoch(80, 1, 2, 3, 4, 5.5, 0, {"G01"}) +
             v2_record({45}) + v2_epoch(0, 1, 2, 3, 4, 5.5, 0, {"G01"}) + v2_record({45}),
         "2.11" + lists + "[G00 G01]\n2079-1-2 3:4:5.5 f0 G00{S1C=45}\n1980-1-2 3:4:5.5 f0 G01{S1C=45}\n2000-1-2 3:4:5.5 f0 G01{S1C=45}"},
        // Seven types take two lines per satellite; indicator columns are not read.
        {h2({"L1", "L2", "C1", "P2", "P1", "S1", "S2"}) + e2(0, {"G01", "R02"}) + v2_record({1, 2, 3, 4, 5, 46, 47}) +
             v2_record({{}, {}, 3.5, {}, {}, 36, {}}) + e2(30, {"G01"}) + field(1, '1', '7') + field(2, '0', '5') + "\n\n",
         "2.11|test.obs|||0|G:L1C,L2C,C1C,C2P,C1P,S1C,S2C|R:L1C,L2C,C1C,C2P,C1P,S1C,S2C|E:L1C,L2C,C1C,C2P,C1P,S1C,S2C|"
         "C:L1C,L2C,C1C,C2P,C1P,S1C,S2C\n[G01 R02]\n" + kT2 + "0 f0 G01{L1C=1 L2C=2 C1C=3 C2P=4 C1P=5 S1C=46 S2C=47} "
         "R02{C1C=3.5 S1C=36}\n" + kT2 + "30 f0 G01{L1C=1 L2C=2}"},
        {h2({"C1", "S1"}) + e2(0, {"G01"}) + field(2e7) + "   44.5\n",  // a field cut by the line end
         "2.11|test.obs|||0|G:C1C,S1C|R:C1C,S1C|E:C1C,S1C|C:C1C,S1C\n[G01]\n" + kT2 + "0 f0 G01{C1C=20000000 S1C=44.5}"},
        {version_line("2.11") + end_of_header() + e2(0, {"G01"}) + v2_record({45}), "2.11|test.obs|||0\n[]"},  // no types
    }, false);
    std::string cut_slot = e2(0, {"G01"}, 0, 2);
    cut_slot.insert(cut_slot.size() - 1, " 5");
    expect_records(s1, {
        // Blank slots count but read no record; a slot cut by the line end is passed over.
        {e2(0, {"G01", "   ", "G03"}, 0, 4) + v2_record({45}) + v2_record({46}) + e2(30, {"G04"}) + v2_record({47}),
         "[G01 G03 G04]\n" + kT2 + "0 f0 G01{S1C=45} G03{S1C=46}\n" + kT2 + "30 f0 G04{S1C=47}"},
        {cut_slot + v2_record({45}) + e2(30, {"G04"}) + v2_record({47}), "[G01 G04]\n" + kT2 + "0 f0 G01{S1C=45}\n" + kT2 + "30 f0 G04{S1C=47}"},
        // An event with one special record stores nothing; flags as written, unreadable is 0.
        {e2(0, {}, 4, 1) + header_line("0000.000      (antenna height)", "COMMENT") + e2(0, {"G01"}, 1) + v2_record({45}) +
             e2(30, {"G01"}, 6) + v2_record({46}) + " 21  1  1  0  1  0.0000000  x  1G01\n" + v2_record({47}),
         "[G01]\n" + kT2 + "0 f1 G01{S1C=45}\n" + kT2 + "30 f6 G01{S1C=46}\n2021-1-1 0:1:0 f0 G01{S1C=47}"},
        // Records running past the end of the data; the last line without a line end.
        {e2(0, {"G01", "G02"}) + "        45.000", "[G01]\n" + kT2 + "0 f0 G01{S1C=45}"},
    });
}

// A file by path is read a piece at a time (plain text) or whole (packed), never differently from
// its bytes: lines cut by the pieces, CR LF, a line longer than a piece, no final line end.
TEST(ObsFile, ReadByPathAsFromItsBytes) {
    QCN0_REQUIRE_DATA(data);
    const std::string text = read_bytes(data + "/zimm0010.21o");  // about four pieces
    ASSERT_GT(text.size(), std::size_t{3} << 20);
    std::string long_line = text;  // the first epoch line, three pieces long with blanks
    long_line.insert(long_line.find('\n', long_line.find('\n', long_line.find("END OF HEADER")) + 1), std::string(3 << 20, ' '));
    std::string bare_epochs = text.substr(0, text.find('\n', text.find("END OF HEADER")) + 1);
    for (int e = 0; e < 40000; ++e) bare_epochs += v2_epoch(21, 1, 1, e / 3600 % 24, e / 60 % 60, e % 60, 0, {"G01"}) + "\n";
    const auto path = std::filesystem::temp_directory_path() / ("qcn0_piece_" + std::to_string(::getpid()) + ".21o");
    const std::pair<const char*, std::string> cases[] = {
        {"as published", text},
        {"CR LF", crlf(text)},
        {"a line longer than a piece", long_line},
        {"no final line end", text.substr(0, text.size() - 1)},
        {"many short lines", bare_epochs},
        {"empty", ""},
        {"gzip", fuzz::gzip_of(text)},
    };
    for (const auto& [name, bytes] : cases) {
        std::ofstream(path, std::ios::binary) << bytes;
        auto by_path = read_observation_file(path.string());
        auto from_bytes = read_observation_bytes(bytes, path.filename().string());
        ASSERT_EQ(by_path.ok(), from_bytes.ok()) << name << ": " << (by_path ? from_bytes.error() : by_path.error());
        if (!by_path) EXPECT_EQ(by_path.error(), from_bytes.error()) << name;
        else EXPECT_TRUE(fuzz::same_record(*by_path, *from_bytes)) << name;
    }
    std::filesystem::remove(path);
}
