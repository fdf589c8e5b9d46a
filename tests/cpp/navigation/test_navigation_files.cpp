// Every navigation file of the shared data folder, read whole. Expected satellites are counted
// here from the record-start lines with a few independent lines of code, and expected records
// per constellation come from the data folder's README.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "nav_text.hpp"
#include "navigation/navigation_reader.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

// Records and satellites per system letter (G, J, E, C, R).
struct Tally {
    std::map<char, std::size_t> records;
    std::map<char, std::set<std::string>> satellites;
    std::size_t satellite_count(char letter) const {
        auto it = satellites.find(letter);
        return it == satellites.end() ? 0 : it->second.size();
    }
};

bool digits(const std::string& s, std::size_t from, std::size_t count) {
    if (s.size() < from + count) return false;
    for (std::size_t k = from; k < from + count; ++k) {
        if (s[k] < '0' || s[k] > '9') return false;
    }
    return true;
}

std::vector<std::string> body_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = text.find("END OF HEADER");
    start = text.find('\n', start) + 1;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// RINEX 3: a record starts with a letter, a two-digit number (some writers put a blank for the
// leading zero, "E 2"), a blank and a four-digit year.
Tally tally_rinex3(const std::string& text) {
    Tally t;
    for (const auto& line : body_lines(text)) {
        if (line.size() < 8 || std::string("GJECR").find(line[0]) == std::string::npos) continue;
        if (!(line[1] == ' ' || digits(line, 1, 1)) || !digits(line, 2, 1)) continue;
        if (line[3] != ' ' || !digits(line, 4, 4)) continue;
        t.records[line[0]]++;
        std::string number = line.substr(1, 2);
        if (number[0] == ' ') number[0] = '0';
        t.satellites[line[0]].insert(number);
    }
    return t;
}

// RINEX 2: a record starts with the satellite number right-aligned in columns 0..1; orbit lines
// start with three blanks.
Tally tally_rinex2(const std::string& text, char letter) {
    Tally t;
    for (const auto& line : body_lines(text)) {
        if (line.size() < 22 || line[1] < '0' || line[1] > '9') continue;
        t.records[letter]++;
        t.satellites[letter].insert(std::to_string(std::stoi(line.substr(0, 2))));
    }
    return t;
}

// RINEX 4: the "> EPH" lines of the messages laid out as in version 3.
Tally tally_rinex4(const std::string& text) {
    Tally t;
    static const std::set<std::string> kept = {"G LNAV", "J LNAV", "E INAV", "E FNAV",
                                               "C D1",   "C D2",   "R FDMA"};
    for (const auto& line : body_lines(text)) {
        char sat[8], message[8];
        if (std::sscanf(line.c_str(), "> EPH %3s %7s", sat, message) != 2) continue;
        if (kept.count(std::string(1, sat[0]) + " " + message) == 0) continue;
        t.records[sat[0]]++;
        t.satellites[sat[0]].insert(sat);
    }
    return t;
}

std::size_t record_total(const EphemerisMap<KeplerEphemeris>& m, char letter) {
    std::size_t n = 0;
    for (const auto& e : m) {
        if (e.id[0] == letter) n += e.records.size();
    }
    return n;
}

std::size_t satellites_of(const EphemerisMap<KeplerEphemeris>& m, char letter) {
    std::size_t n = 0;
    for (const auto& e : m) n += e.id[0] == letter ? 1 : 0;
    return n;
}

std::size_t glonass_total(const NavigationData& nav) {
    std::size_t n = 0;
    for (const auto& e : nav.glonass_ephemerides) n += e.records.size();
    return n;
}

struct FileCase {
    const char* name;
    int kind;  // 2 GPS, 20 RINEX 2 GLONASS, 3, 4
    // Records per constellation as the data folder's README lists them.
    std::size_t g, r, e, c, j;
};

// The README counts QZSS separately from GPS and lists no GLONASS, QZSS, ... where the file has
// none.
const FileCase kFiles[] = {
    {"matrtklib_20240624_static_base.nav", 3, 13, 19, 67, 32, 3},
    {"matrtklib_20230711_base.nav", 3, 206, 449, 908, 240, 104},
    {"SEPT2650.21P", 3, 49, 0, 253, 0, 19},
    {"CORD00ARG_R_20240920000_01D_MN.rnx", 3, 190, 438, 1576, 278, 0},
    {"HERT00GBR_R_20240920000_01D_GN.rnx", 3, 231, 0, 0, 0, 0},
    {"ELKO00USA_R_20182100000_01D_MN.rnx", 3, 225, 494, 1293, 106, 0},
    {"BRDC00IGS_R_20230010000_01D_MN.rnx", 3, 436, 1198, 11125, 1032, 96},
    {"brdc0010.21n", 2, 463, 0, 0, 0, 0},
    {"brdc1180.21n", 2, 105, 0, 0, 0, 0},
    {"KMS300DNK_R_20221591000_01H_MN.rnx", 4, 30, 24, 108, 36, 1},
    {"ESBC00DNK_R_20201770000_01D_MN.rnx", 3, 257, 510, 1602, 357, 15},
    {"NYA100NOR_S_20241240000_01D_GN.rnx", 3, 215, 0, 0, 0, 0},
    {"NYA100NOR_S_20241240000_01D_EN.rnx", 3, 0, 0, 711, 0, 0},
    {"NYA100NOR_S_20241240000_01D_CN.rnx", 3, 0, 0, 0, 194, 0},
    {"GRAS00FRA_R_20242090000_01D_EN.rnx", 3, 0, 0, 2377, 0, 0},
    {"AMEL00NLD_R_20210010000_01D_MN.rnx", 3, 142, 514, 1421, 261, 13},
    {"amel0010.21g", 20, 0, 530, 0, 0, 0},
    {"BRDC00IGS_R_20240010000_01D_MN.rnx.gz", 3, 452, 1199, 5390, 1080, 100},
};

// The gzipped file is decompressed with the gzip program, so this test needs no library of its
// own; the reader itself takes plain text.
std::string gunzip(const std::string& path) {
    std::string out;
    const std::string command = "gzip -dc '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0) out.append(buf, n);
    return out;
}

class NavigationFile : public ::testing::TestWithParam<FileCase> {};

}  // namespace

TEST_P(NavigationFile, SatellitesAndRecordsPerSystem) {
    QCN0_REQUIRE_DATA(dir);
    const FileCase& f = GetParam();
    const std::string path = dir + "/" + f.name;
    const std::string name = f.name;
    const std::string text = name.ends_with(".gz") ? gunzip(path) : read_bytes(path);
    if (name.ends_with(".gz") && text.empty())
        GTEST_SKIP() << "gzip is not available to decompress " << name;
    ASSERT_FALSE(text.empty()) << path;

    auto parsed = parse_navigation(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const NavigationData& nav = *parsed;
    const Tally t = f.kind == 4    ? tally_rinex4(text)
                    : f.kind == 2  ? tally_rinex2(text, 'G')
                    : f.kind == 20 ? tally_rinex2(text, 'R')
                                   : tally_rinex3(text);

    EXPECT_EQ(satellites_of(nav.gps_ephemerides, 'G'), t.satellite_count('G'));
    EXPECT_EQ(satellites_of(nav.gps_ephemerides, 'J'), t.satellite_count('J'));
    EXPECT_EQ(nav.galileo_count(), t.satellite_count('E'));
    EXPECT_EQ(nav.beidou_count(), t.satellite_count('C'));
    EXPECT_EQ(nav.glonass_count(), t.satellite_count('R'));
    EXPECT_EQ(nav.gps_count(), t.satellite_count('G') + t.satellite_count('J'));

    EXPECT_EQ(record_total(nav.gps_ephemerides, 'G'), f.g);
    EXPECT_EQ(record_total(nav.gps_ephemerides, 'J'), f.j);
    EXPECT_EQ(record_total(nav.galileo_ephemerides, 'E'), f.e);
    EXPECT_EQ(record_total(nav.beidou_ephemerides, 'C'), f.c);
    EXPECT_EQ(glonass_total(nav), f.r);
}

INSTANTIATE_TEST_SUITE_P(SharedData, NavigationFile, ::testing::ValuesIn(kFiles),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                             std::string n = info.param.name;
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

TEST(NavigationFiles, ReadmeSatelliteFiguresAndFirstRecords) {
    QCN0_REQUIRE_DATA(dir);
    // Satellite counts the README states outright.
    auto nya_g = parse_navigation(read_bytes(dir + "/NYA100NOR_S_20241240000_01D_GN.rnx"));
    auto nya_e = parse_navigation(read_bytes(dir + "/NYA100NOR_S_20241240000_01D_EN.rnx"));
    auto nya_c = parse_navigation(read_bytes(dir + "/NYA100NOR_S_20241240000_01D_CN.rnx"));
    auto amel = parse_navigation(read_bytes(dir + "/amel0010.21g"));
    ASSERT_TRUE(nya_g.ok() && nya_e.ok() && nya_c.ok() && amel.ok());
    EXPECT_EQ(nya_g->gps_count(), 31u);
    EXPECT_EQ(nya_e->galileo_count(), 23u);
    EXPECT_EQ(nya_c->beidou_count(), 18u);
    EXPECT_EQ(amel->glonass_count(), 24u);

    // The first GLONASS record of the RINEX 2 file, as written there (kilometres, D exponents).
    const GlonassEphemeris& r01 = amel->glonass_records("R01")->front();
    EXPECT_EQ(r01.epoch, (EpochTime{2020, 12, 31, 23, 45, 0.0}));
    EXPECT_DOUBLE_EQ(r01.clock_bias, 7.282570004460e-05);
    EXPECT_DOUBLE_EQ(r01.x, -1.488799804690e+03 * 1000.0);
    EXPECT_DOUBLE_EQ(r01.vy, -2.049269676210 * 1000.0);
    EXPECT_DOUBLE_EQ(r01.z, 2.193169775390e+04 * 1000.0);
    EXPECT_EQ(r01.frequency_channel, 1);
    // The three records dated a year late stay with their satellites.
    for (const char* id : {"R10", "R11", "R12"}) {
        int late = 0;
        for (const auto& r : *amel->glonass_records(id)) late += r.epoch.year == 2022 ? 1 : 0;
        EXPECT_EQ(late, 1) << id;
    }

    // The first record of the RINEX 4 file (G02 LNAV).
    auto kms = parse_navigation(read_bytes(dir + "/KMS300DNK_R_20221591000_01H_MN.rnx"));
    ASSERT_TRUE(kms.ok());
    const KeplerEphemeris& g02 = kms->kepler_records("G02")->front();
    EXPECT_EQ(g02.epoch, (EpochTime{2022, 6, 8, 10, 0, 0.0}));
    EXPECT_DOUBLE_EQ(g02.af0, -6.528543308377E-04);
    EXPECT_DOUBLE_EQ(g02.sqrt_a, 5.153679471970E+03);
    EXPECT_DOUBLE_EQ(g02.toe, 2.952000000000E+05);
    EXPECT_EQ(g02.week, 2213);
}
