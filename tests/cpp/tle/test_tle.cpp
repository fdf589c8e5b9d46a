// GNSS satellites in TLE names, counting element sets, and the output of the programs the download runs.
#include <gtest/gtest.h>


#include "tle/process_output.hpp"
#include "tle/tle_count.hpp"

using namespace qcn0;

namespace {

const std::string kLine1 = "1 24876U 97035A   24160.80187576  .00000010  00000+0  00000+0 0  9995";
const std::string kLine2 = "2 24876  55.6686 127.4598 0079473  52.0264 308.6451  2.00565553197140";  // mean motion 52..63
std::string set(const std::string& name, const std::string& line2 = kLine2) { return name + "\n" + kLine1 + "\n" + line2 + "\n"; }

}  // namespace

TEST(Tle, IdentifiersAndCounts) {
    const std::pair<const char*, const char*> names[] = {
        {"GPS BIIR-2  (PRN 13)", "G13"}, {"NAVSTAR 60 (USA 203) PRN:05", "G05"}, {"GPS BIIIF-1 (PRN 123)", "G123"},
        {"gps biir-2 (prn 7)", "G07"}, {"GALILEO 11 (E11)", "E11"}, {"GSAT0101 (PRN E11)", "E30"},  // "(E" needs digits
        {"GSAT0227 (PRN E06)", "E12"}, {"QZS-1 (QZSS/PRN 183)", "J01"}, {"QZS-2 (QZSS/PRN 194)", "J02"}, {"MICHIBIKI-3", "J03"},
        {"gp\xC5\xBF (prn 9)", "G09"}, {"\xEF\xAC\x81rst GPS (PRN 3)", "G03"}, {"GPS GSAT0101", "E30"},  // upper case is Latin
        {"GPS BIIR-2", ""}, {"NAVSTAR 43 (USA 132)", ""}, {"GPS (PRN 99999999999)", ""}, {"COSMOS 2425 (716)", ""},
        {"GLONASS-K1", ""}, {"BEIDOU-3 M1 (C19)", ""}, {"GSAT-8 (GAGAN/PRN 127)", ""}, {"IRNSS-1A", ""}, {"QZS", ""},
        {"GALILEO", ""}, {"   ", ""}, {"GPS COSMOS 2425", ""}};
    for (const auto& [name, id] : names) EXPECT_EQ(tle_satellite_id(name).value_or(""), id) << name;
    // A set needs a GNSS name, both lines and a positive mean motion; duplicates count twice,
    // junk lines are passed over one at a time, CR and surrounding blanks do not matter.
    std::string crlf;
    for (char c : "  " + set("GSAT0202 (PRN E14)    ")) crlf += c == '\n' ? std::string("  \r\n") : std::string(1, c);
    const std::pair<std::string, std::uint64_t> counts[] = {
        {set("GPS BIIR-2  (PRN 13)"), 1}, {set("GPS BIIR-2"), 0}, {set("GPS (PRN 1)", kLine2.substr(0, 52) + " 0.00000000197140"), 0},
        {set("COSMOS 2425") + set("QZS-1 (QZSS/PRN 183)"), 1}, {"header\n\n" + set("GPS (PRN 1)") + "junk\n" + set("GPS (PRN 1)"), 2},
        {crlf, 1}, {kLine1 + "\n" + kLine2 + "\n" + kLine1 + "\n" + kLine2 + "\n", 0}, {"", 0}, {"GPS (PRN 1)\n" + kLine1, 0},
        {"GPS (PRN 1)\n" + kLine1 + "\n" + kLine2.substr(0, 63), 1}, {"GPS (PRN 1)\n" + kLine1 + "\n" + kLine2.substr(0, 62), 0},
        {"GPS (PRN 1)\n" + kLine1.substr(0, 60) + "\n" + kLine2, 0}, {"GPS (PRN 1)\n1\n2", 0},
        {"GPS (PRN 1)\n" + kLine1 + "\n2 x" + std::string(60, ' ') + "nan", 0}};
    for (const auto& [text, n] : counts) EXPECT_EQ(parse_tle_content(text), n) << text;
}

TEST(Tle, ProcessOutput) {
    // Both streams far beyond a pipe's buffer: standard error is drained alongside.
    auto big = run_process("sh", {"-c", "yes 0123456789 | head -c 300000; yes e | head -c 300000 >&2"});
    EXPECT_TRUE(big->success && big->out.size() == 300000u);
    auto failed = run_process("sh", {"-c", "echo partial; exit 3"});
    EXPECT_TRUE(!failed->success && failed->out == "partial\n");
    EXPECT_FALSE(run_process("sh", {"-c", "kill -9 $$"})->success);
    EXPECT_EQ(run_process("cat", {})->out, "");  // standard input is empty, not the caller's
    EXPECT_FALSE(run_process("qcn0-no-such-program", {}).ok());
    // Output up to the limit is a success; beyond it the program is stopped, even an endless one.
    EXPECT_TRUE(run_process("sh", {"-c", "yes 0123456789 | head -c 100000"}, 100000)->success);
    EXPECT_FALSE(run_process("sh", {"-c", "yes 0123456789 | head -c 100001"}, 100000)->success);
    auto endless = run_process("yes", {}, 1 << 20);
    EXPECT_TRUE(endless.ok() && !endless->success && endless->out.size() <= std::size_t{1} << 20);
}
