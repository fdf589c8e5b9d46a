// Compact RINEX decoding on small files written here field by field: arcs of differences and
// their ramp-up, blank and missing fields, flags, satellites coming and going, clock offsets,
// epoch line differencing, event epochs, and the errors of damaged files. Expected lines are
// spelled out as RINEX writes them (F14.3 and the flags, without a zero before the point, as
// CRX2RNX writes them).
#include <gtest/gtest.h>

#include <cstdio>

#include "compression/compact_rinex.hpp"

using namespace qcn0;

namespace {

std::string header_line(std::string text, std::string_view label) {
    text.resize(60, ' ');
    return text.append(label).append("\n");
}

// Compact RINEX 1.0 (RINEX 2) with the types L1 C1 S1, or 3.0 (RINEX 3) with G: C1C L1C S1C and
// R: C1C S1C.
std::string crx_header(bool rinex3) {
    return header_line(rinex3 ? "3.0" : "1.0", "CRINEX VERS   / TYPE") +
           header_line("RNX2CRX ver.4.1.0", "CRINEX PROG / DATE") +
           (rinex3
                ? header_line("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE") +
                      header_line("G    3 C1C L1C S1C", "SYS / # / OBS TYPES") +
                      header_line("R    2 C1C S1C", "SYS / # / OBS TYPES")
                : header_line("     2.11           OBSERVATION DATA    M", "RINEX VERSION / TYPE") +
                      header_line("     3    L1    C1    S1", "# / TYPES OF OBSERV")) +
           header_line("", "END OF HEADER");
}

// The RINEX header the decoder must give back for crx_header.
std::string rinex_header(bool rinex3) {
    const std::string h = crx_header(rinex3);
    return h.substr(h.find("RINEX VERSION") - 60);
}

// Text differencing as Compact RINEX writes it: blank where unchanged, '&' where a blank
// appears, the new character elsewhere, no trailing blanks.
std::string diff(std::string_view from, std::string_view to) {
    std::string d;
    for (std::size_t i = 0; i < std::max(from.size(), to.size()); ++i) {
        const char a = i < from.size() ? from[i] : ' ', b = i < to.size() ? to[i] : ' ';
        d.push_back(a == b ? ' ' : b == ' ' ? '&' : b);
    }
    return d.substr(0, d.find_last_not_of(' ') + 1);
}

// One decoded observation: value right-aligned in 14 columns, then LLI and signal strength.
std::string f(std::string_view value, char lli = ' ', char ssi = ' ') {
    return std::string(14 - value.size(), ' ').append(value) + lli + ssi;
}
const std::string kBlank(16, ' ');

std::string line(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text + "\n";
}

std::string decode_ok(const std::string& crx) {
    auto r = decode_compact_rinex(crx);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : std::string();
}

std::string error_of(const std::string& crx) {
    auto r = decode_compact_rinex(crx);
    return r.ok() ? "decoded without error" : r.error();
}

// A RINEX 2 epoch line at 00:00:`second` (below 60) of 2021-01-01 with flag 0.
std::string epoch2(int second, const std::string& satellites) {
    char head[64];
    std::snprintf(head, sizeof head, " 21  1  1  0  0%11.7f  0%3d", second + 0.0,
                  static_cast<int>(satellites.size() / 3));
    return head + satellites;
}
const std::string kEpoch2 = epoch2(0, "G01");

}  // namespace

TEST(CompactRinex, ArcsRampUpToTheirOrderAndBlanksEndThem) {
    // L1 with order 3, C1 with order 1, S1 with order 0 (every value given as it is).
    const std::string e0 = epoch2(0, "G01"), e1 = epoch2(10, "G01"), e2 = epoch2(20, "G01"),
                      e3 = epoch2(30, "G01"), e4 = epoch2(40, "G01");
    const std::string crx = crx_header(false) + "&" + e0.substr(1) + "\n\n3&1000 1&-5 0&250 12\n" +
                            diff(e0, e1) + "\n\n500 3 7\n" + diff(e1, e2) + "\n\n100 3 8\n" +
                            diff(e2, e3) + "\n\n10 0 0\n" + diff(e3, e4) + "\n\n1\n";
    EXPECT_EQ(decode_ok(crx), rinex_header(false) + line(e0) +
                                  line(f("1.000", '1', '2') + f("-.005") + f(".250")) + line(e1) +
                                  line(f("1.500", '1', '2') + f("-.002") + f(".007")) +
                                  // second differences: 500 + 100 added to 1500
                                  line(e2) + line(f("2.100", '1', '2') + f(".001") + f(".008")) +
                                  // third differences from here on: 110 + 600 added to 2100
                                  line(e3) + line(f("2.810", '1', '2') + f(".001") + f(".000")) +
                                  // 1 + 110 + 710 added to 2810; the blank fields end their arcs
                                  line(e4) + line(f("3.631", '1', '2')));
    // A blank field ended C1's arc: it cannot continue without "n&".
    const std::string e5 = epoch2(50, "G01");
    EXPECT_EQ(error_of(crx + diff(e4, e5) + "\n\n1 1\n"),
              "compact RINEX: observation continues an arc that was never started (line 23)");
    EXPECT_EQ(decode_ok(crx + diff(e4, e5) + "\n\n1 5&-1000\n").substr(decode_ok(crx).size()),
              line(e5) + line(f("4.564", '1', '2') + f("-1.000")));  // 1 + 111 + 821 + 3631
}

TEST(CompactRinex, FlagsAreDifferencedPerSatellite) {
    // RINEX 2: the flags of a missing observation are dropped and blank when it returns.
    const std::string e0 = epoch2(0, "G01"), e1 = epoch2(1, "G01"), e2 = epoch2(2, "G01");
    const std::string v2 = crx_header(false) + "&" + e0.substr(1) + "\n\n3&1 3&2 3&3 41 5 6\n" +
                           diff(e0, e1) + "\n\n 1 1  &\n" + diff(e1, e2) + "\n\n3&7 1 1\n";
    EXPECT_EQ(decode_ok(v2),
              rinex_header(false) + line(e0) +
                  line(f(".001", '4', '1') + f(".002", ' ', '5') + f(".003", ' ', '6')) + line(e1) +
                  line(kBlank + f(".003", ' ', '5') + f(".004", ' ', '6')) + line(e2) +
                  line(f(".007") + f(".005", ' ', '5') + f(".006", ' ', '6')));
    // RINEX 3: flags stay with their field through blanks.
    const std::string r0 = "> 2021 01 01 00 00  0.0000000  0  1      G01";
    const std::string r1 = "> 2021 01 01 00 00  1.0000000  0  1      G01";
    const std::string v3 =
        crx_header(true) + r0 + "\n\n3&1 3&2 3&3 41&5&6\n" + diff(r0, r1) + "\n\n 1 1  7\n";
    EXPECT_EQ(decode_ok(v3),
              rinex_header(true) + line(r0.substr(0, 35)) +
                  line("G01" + f(".001", '4', '1') + f(".002", ' ', '5') + f(".003", ' ', '6')) +
                  line(r1.substr(0, 35)) +
                  line("G01" + f("", '4', '7') + f(".003", ' ', '5') + f(".004", ' ', '6')));
}

TEST(CompactRinex, SatellitesComeAndGo) {
    // G02 leaves and comes back: it must start new arcs, and its flags start blank.
    const std::string e0 = epoch2(0, "G01G02"), e1 = epoch2(1, "G01"), e2 = epoch2(2, "G03G01G02");
    const std::string head = crx_header(false) + "&" + e0.substr(1) +
                             "\n\n3&1 3&2 3&3\n3&4 3&5 3&6 9\n" + diff(e0, e1) + "\n\n1 1 1\n" +
                             diff(e1, e2) + "\n\n3&7 3&8 3&9\n1 1 1\n";
    EXPECT_EQ(decode_ok(head + "3&10 3&11 3&12\n"),
              rinex_header(false) + line(e0) + line(f(".001") + f(".002") + f(".003")) +
                  line(f(".004", '9') + f(".005") + f(".006")) + line(e1) +
                  line(f(".002") + f(".003") + f(".004")) + line(e2) +
                  line(f(".007") + f(".008") + f(".009")) +
                  line(f(".004") + f(".005") + f(".006")) +
                  line(f(".010") + f(".011") + f(".012")));
    EXPECT_EQ(error_of(head + "1 1 1\n"),
              "compact RINEX: observation continues an arc that was never started (line 17)");
    EXPECT_EQ(error_of(crx_header(false) + "&" + epoch2(0, "G01R05G01").substr(1) + "\n\n"),
              "compact RINEX: satellite \"G01\" is listed twice in the epoch (line 6)");
}

TEST(CompactRinex, EpochLinesClockOffsetsAndLongSatelliteLists) {
    // Fourteen satellites wrap after twelve in RINEX 2; the clock offset sits in columns 68-79.
    std::string sats;
    for (int i = 1; i <= 14; ++i) sats += (i < 10 ? "G0" : "G1") + std::to_string(i % 10);
    const std::string e0 = epoch2(0, sats), e1 = epoch2(1, sats.substr(0, 39));
    std::string crx = crx_header(false) + "&" + e0.substr(1) + "\n3&-500000001\n" +
                      std::string(14, '\n') + diff(e0, e1) + "\n-99999999\n" +
                      std::string(13, '\n');
    const std::string expected = rinex_header(false) + e0.substr(0, 68) + " -.500000001\n" +
                                 std::string(32, ' ') + "G13G14\n" + std::string(14, '\n') +
                                 // -0.6 s exactly: CRX2RNX writes -.5, and so must this decoder
                                 e1.substr(0, 68) + " -.500000000\n" + std::string(32, ' ') +
                                 "G13\n" + std::string(13, '\n');
    EXPECT_EQ(decode_ok(crx), expected);
    // RINEX 3 keeps columns 0-40 of the epoch line, the clock offset follows as F15.12.
    const std::string r0 = "> 2021 01 01 00 00  0.0000000  0  1      R07";
    EXPECT_EQ(decode_ok(crx_header(true) + r0 + "\n2&-1234\n3&1 3&2 &&&&\n"),
              rinex_header(true) + r0.substr(0, 41) + " -.000000001234\n" +
                  line("R07" + f(".001") + f(".002")));
}

TEST(CompactRinex, EventEpochsAreCopiedAndRedefineTypes) {
    // A header-information event gives G a fourth type; everything starts afresh after it.
    const std::string r0 = "> 2021 01 01 00 00  0.0000000  0  1      G01";
    const std::string ev = ">                              4  3";
    const std::string r1 = "> 2021 01 01 00 00  2.0000000  0  1      G01";
    const std::string types = header_line("G    4 C1C L1C S1C C2C", "SYS / # / OBS TYPES");
    const std::string crx = crx_header(true) + r0 + "\n\n3&1 3&2 3&3 &&&&&&\n" + ev + "\n" + types +
                            "   \nCOMMENT TEXT   \n" + r1 + "\n\n3&1 3&2 3&3 3&4 &&&&&&&&\n";
    EXPECT_EQ(decode_ok(crx), rinex_header(true) + line(r0.substr(0, 35)) +
                                  line("G01" + f(".001") + f(".002") + f(".003")) + ev + "\n" +
                                  types + " \nCOMMENT TEXT\n" + line(r1.substr(0, 35)) +
                                  line("G01" + f(".001") + f(".002") + f(".003") + f(".004")));
    EXPECT_EQ(error_of(crx_header(true) + r0 + "\n\n3&1 3&2 3&3\n" + ev + "\n" + types + "\n\n" +
                       diff(r0, r1) + "\n"),
              "compact RINEX: epoch after an event epoch does not start afresh (line 14)");
}

TEST(CompactRinex, HeaderLinesLoseTrailingBlanks) {
    std::string crx = crx_header(false);
    crx.insert(crx.find("END OF HEADER") - 60, "A COMMENT     \n   \n\n");
    EXPECT_EQ(decode_ok(crx), rinex_header(false).insert(rinex_header(false).find("END OF") - 60,
                                                         "A COMMENT\n \n\n"));
    std::string crlf;
    for (char c : crx) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(decode_ok(crlf), decode_ok(crx));
}

TEST(CompactRinex, DamagedFilesFailWithTheProblemAndItsLine) {
    const std::string h2 = crx_header(false), h3 = crx_header(true), e0 = "&" + kEpoch2.substr(1);
    const std::string r0 = "> 2021 01 01 00 00  0.0000000  0  1      G01";
    const std::pair<std::string, std::string> cases[] = {
        {h2.substr(0, h2.size() - 74), "compact RINEX: no END OF HEADER found (line 4)"},
        {"2.0" + h2.substr(3), "compact RINEX: format version \"2.0\" is not 1.0 or 3.0 (line 1)"},
        {h2.substr(81),
         "compact RINEX: first line is not a \"CRINEX VERS   / TYPE\" line (line 1)"},
        {"3.0" + h2.substr(3),
         "compact RINEX: format version 3.0 cannot hold RINEX 2 observations (line 3)"},
        {h2 + e0 + "\n\n3&1 3&2 3&3",
         "compact RINEX: file is truncated: its last line has no line end (line 8)"},
        {h2 + e0 + "\n\n",
         "compact RINEX: file ends inside the satellite lines of an epoch (line 7)"},
        {h2 + e0 + "\n",
         "compact RINEX: file ends inside an epoch, before its clock offset line (line 6)"},
        // The first epoch line may lack "&" (a difference against nothing), its arcs may not.
        {h2 + kEpoch2 + "\n\n1 2 3\n",
         "compact RINEX: observation continues an arc that was never started (line 8)"},
        {h2 + e0 + "\n\n6&1 3&2 3&3\n",
         "compact RINEX: order of differences is higher than 5 (line 8)"},
        {h2 + e0 + "\n\n3&1x 3&2 3&3\n",
         "compact RINEX: observation field is not a number (line 8)"},
        {h2 + e0 + "\n\n3& 3&2 3&3\n", "compact RINEX: observation field is not a number (line 8)"},
        {h2 + e0 + "\n\n3&10000000000000 3&2\n",
         "compact RINEX: observation value is out of the range RINEX can hold (line 8)"},
        {h2 + e0 + "\n3&100000000000\n",
         "compact RINEX: receiver clock offset is out of the range RINEX can hold (line 7)"},
        {h2 + e0 + "\n12 \n", "compact RINEX: clock offset line is not a number (line 7)"},
        {h2 + e0.substr(0, 27) + "x0  1G01\n",
         "compact RINEX: epoch line has no blanks before its epoch flag (line 6)"},
        {h2 + e0.substr(0, 28) + "9  1G01\n",
         "compact RINEX: epoch flag is not a digit from 0 to 6 (line 6)"},
        {h2 + e0.substr(0, 29) + " x1G01\n",
         "compact RINEX: epoch line has no count of satellites or records (line 6)"},
        {h2 + e0.substr(0, 29) + "  2G01\n\n",
         "compact RINEX: epoch line is too short for its count of 2 satellites (line 6)"},
        {h3 + r0 + "\n\n3&1 3&2 3&3\nx                   1\n",
         "compact RINEX: epoch line does not start with '>' (line 10)"},
        {h3 + "> 2021 01 01 00 00  0.0000000  0  1      E01\n\n",
         "compact RINEX: satellite \"E01\" belongs to a system without \"SYS / # / OBS TYPES\" "
         "(line 7)"},
        {h3 + ">                              5  2\nonly one\n",
         "compact RINEX: file ends inside the special records of an event epoch (line 8)"},
    };
    for (const auto& [crx, message] : cases) EXPECT_EQ(error_of(crx), message);
}
