// Every navigation file of the shared data folder, read whole. Expected satellites are counted
// here from the record-start lines with a few lines of independent code; expected records per
// constellation are the figures of the data folder's README.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "nav_text.hpp"
#include "navigation/navigation_reader.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Counts = std::map<char, std::size_t>;  // per system letter; QZSS 'J' apart from GPS 'G'

bool is_digit_at(const std::string& s, std::size_t i) {
    return i < s.size() && s[i] >= '0' && s[i] <= '9';
}

// Distinct satellites of the record-start lines after the header.
Counts count_satellites(const std::string& text, int version) {
    std::map<char, std::set<std::string>> sats;
    std::istringstream in(text.substr(text.find('\n', text.find("END OF HEADER")) + 1));
    for (std::string line; std::getline(in, line);) {
        if (version == 2) {
            // "I2" number in columns 0..1; orbit lines start with three blanks.
            if (is_digit_at(line, 1) && line.size() > 22) sats['?'].insert(line.substr(0, 2));
        } else if (version == 4) {
            char sat[8], message[8];
            static const std::set<std::string> kept = {"GLNAV", "JLNAV", "EINAV", "EFNAV",
                                                       "CD1",   "CD2",   "RFDMA"};
            if (std::sscanf(line.c_str(), "> EPH %3s %7s", sat, message) == 2 &&
                kept.count(sat[0] + std::string(message)))
                sats[sat[0]].insert(sat);
        } else if (line.size() > 8 && std::string("GJECR").find(line[0]) != std::string::npos &&
                   (line[1] == ' ' || is_digit_at(line, 1)) && is_digit_at(line, 2) &&
                   line[3] == ' ' && is_digit_at(line, 4) && is_digit_at(line, 7)) {
            // Letter, two-digit number (some writers put a blank for the leading zero, "E 2"),
            // blank, four-digit year.
            sats[line[0]].insert(std::string(1, line[1] == ' ' ? '0' : line[1]) + line[2]);
        }
    }
    Counts out;
    for (const auto& [letter, set] : sats) out[letter] = set.size();
    return out;
}

// Satellites and records the reader produced, per system letter.
std::pair<Counts, Counts> reader_counts(const NavigationData& nav) {
    Counts sats, records;
    for (const auto* map :
         {&nav.gps_ephemerides, &nav.galileo_ephemerides, &nav.beidou_ephemerides}) {
        for (const auto& e : *map) ++sats[e.id[0]], records[e.id[0]] += e.records.size();
    }
    for (const auto& e : nav.glonass_ephemerides) ++sats['R'], records['R'] += e.records.size();
    return {sats, records};
}

struct FileCase {
    const char* name;
    int version;  // 2, 3 or 4 (as the reader lays out records)
    Counts records;
};

const FileCase kFiles[] = {
    {"matrtklib_20240624_static_base.nav",
     3,
     {{'G', 13}, {'R', 19}, {'E', 67}, {'C', 32}, {'J', 3}}},
    {"matrtklib_20230711_base.nav",
     3,
     {{'G', 206}, {'R', 449}, {'E', 908}, {'C', 240}, {'J', 104}}},
    {"SEPT2650.21P", 3, {{'G', 49}, {'E', 253}, {'J', 19}}},
    {"CORD00ARG_R_20240920000_01D_MN.rnx", 3, {{'G', 190}, {'R', 438}, {'E', 1576}, {'C', 278}}},
    {"HERT00GBR_R_20240920000_01D_GN.rnx", 3, {{'G', 231}}},
    {"ELKO00USA_R_20182100000_01D_MN.rnx", 3, {{'G', 225}, {'R', 494}, {'E', 1293}, {'C', 106}}},
    {"BRDC00IGS_R_20230010000_01D_MN.rnx",
     3,
     {{'G', 436}, {'R', 1198}, {'E', 11125}, {'C', 1032}, {'J', 96}}},
    {"brdc0010.21n", 2, {{'G', 463}}},
    {"brdc1180.21n", 2, {{'G', 105}}},
    {"KMS300DNK_R_20221591000_01H_MN.rnx",
     4,
     {{'G', 30}, {'R', 24}, {'E', 108}, {'C', 36}, {'J', 1}}},
    {"ESBC00DNK_R_20201770000_01D_MN.rnx",
     3,
     {{'G', 257}, {'R', 510}, {'E', 1602}, {'C', 357}, {'J', 15}}},
    {"NYA100NOR_S_20241240000_01D_GN.rnx", 3, {{'G', 215}}},
    {"NYA100NOR_S_20241240000_01D_EN.rnx", 3, {{'E', 711}}},
    {"NYA100NOR_S_20241240000_01D_CN.rnx", 3, {{'C', 194}}},
    {"GRAS00FRA_R_20242090000_01D_EN.rnx", 3, {{'E', 2377}}},
    {"AMEL00NLD_R_20210010000_01D_MN.rnx",
     3,
     {{'G', 142}, {'R', 514}, {'E', 1421}, {'C', 261}, {'J', 13}}},
    {"amel0010.21g", 2, {{'R', 530}}},
    {"BRDC00IGS_R_20240010000_01D_MN.rnx.gz",
     3,
     {{'G', 452}, {'R', 1199}, {'E', 5390}, {'C', 1080}, {'J', 100}}},
};

// The gzipped file is decompressed by the gzip program, so the test needs no library of its own.
std::string gunzip(const std::string& path) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(
        popen(("gzip -dc '" + path + "' 2>/dev/null").c_str(), "r"), pclose);
    char buf[65536];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0;)
        out.append(buf, n);
    return out;
}

class NavigationFile : public ::testing::TestWithParam<FileCase> {};

}  // namespace

TEST_P(NavigationFile, SatellitesAndRecordsPerSystem) {
    QCN0_REQUIRE_DATA(dir);
    const FileCase& f = GetParam();
    const bool gz = std::string(f.name).ends_with(".gz");
    const std::string text = gz ? gunzip(dir + "/" + f.name) : read_bytes(dir + "/" + f.name);
    if (gz && text.empty()) GTEST_SKIP() << "gzip is not available to decompress " << f.name;
    ASSERT_FALSE(text.empty()) << f.name;
    auto nav = parse_navigation(text);
    ASSERT_TRUE(nav.ok()) << nav.error();

    Counts expected_sats = count_satellites(text, f.version);
    if (expected_sats.count('?') != 0) {  // RINEX 2 numbers carry no letter; the records tell
        expected_sats[f.records.begin()->first] = expected_sats['?'];
        expected_sats.erase('?');
    }
    const auto [sats, records] = reader_counts(*nav);
    EXPECT_EQ(sats, expected_sats);
    EXPECT_EQ(records, f.records);
    EXPECT_EQ(nav->gps_count(), expected_sats['G'] + expected_sats['J']);  // QZSS counts as GPS
}

INSTANTIATE_TEST_SUITE_P(SharedData, NavigationFile, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                             std::string n = info.param.name;
                             for (char& c : n)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return n;
                         });
