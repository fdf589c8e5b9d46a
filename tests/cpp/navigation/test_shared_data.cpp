// Every real file of the shared data folder that a C++ check reads, as one parametrised test:
// navigation files (satellites counted here from the record-start lines, records per system from
// the folder's README; orbits of consecutive records agree), compact files against their plain twins,
// and the TLE group file.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <cstring>

#include "compression/decode_input.hpp"
#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/navigation_reader.hpp"
#include "support/rinex_text.hpp"
#include "tle/tle_count.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

using Counts = std::map<char, std::size_t>;  // per system letter; QZSS 'J' apart from GPS 'G'

struct DataCase {
    const char* name;
    int kind;  // 2, 3, 4: navigation laid out as that version; 0: compact; 1: TLE
    Counts records;
    std::size_t min_pairs = 0;  // consecutive records compared
    const char* twin = "";      // plain file a compact one must start the same as
    const char* next = "";      // and the start of the twin's text after the decoded part
};

const DataCase kFiles[] = {
    {"matrtklib_20240624_static_base.nav", 3, {{'G', 13}, {'R', 19}, {'E', 67}, {'C', 32}, {'J', 3}}},
    {"matrtklib_20230711_base.nav", 3, {{'G', 206}, {'R', 449}, {'E', 908}, {'C', 240}, {'J', 104}}},
    {"SEPT2650.21P", 3, {{'G', 49}, {'E', 253}, {'J', 19}}},
    {"CORD00ARG_R_20240920000_01D_MN.rnx", 3, {{'G', 190}, {'R', 438}, {'E', 1576}, {'C', 278}}},
    {"HERT00GBR_R_20240920000_01D_GN.rnx", 3, {{'G', 231}}},
    {"ELKO00USA_R_20182100000_01D_MN.rnx", 3, {{'G', 225}, {'R', 494}, {'E', 1293}, {'C', 106}}},
    {"BRDC00IGS_R_20230010000_01D_MN.rnx", 3, {{'G', 436}, {'R', 1198}, {'E', 11125}, {'C', 1032}, {'J', 96}}, 250},
    {"brdc0010.21n", 2, {{'G', 463}}, 250}, {"brdc1180.21n", 2, {{'G', 105}}},
    {"KMS300DNK_R_20221591000_01H_MN.rnx", 4, {{'G', 30}, {'R', 24}, {'E', 108}, {'C', 36}, {'J', 1}}},
    {"ESBC00DNK_R_20201770000_01D_MN.rnx", 3, {{'G', 257}, {'R', 510}, {'E', 1602}, {'C', 357}, {'J', 15}}},
    {"NYA100NOR_S_20241240000_01D_GN.rnx", 3, {{'G', 215}}}, {"NYA100NOR_S_20241240000_01D_EN.rnx", 3, {{'E', 711}}},
    {"NYA100NOR_S_20241240000_01D_CN.rnx", 3, {{'C', 194}}}, {"GRAS00FRA_R_20242090000_01D_EN.rnx", 3, {{'E', 2377}}},
    {"AMEL00NLD_R_20210010000_01D_MN.rnx", 3, {{'G', 142}, {'R', 514}, {'E', 1421}, {'C', 261}, {'J', 13}}},
    {"amel0010.21g", 2, {{'R', 530}}, 250},
    {"BRDC00IGS_R_20240010000_01D_MN.rnx.gz", 3, {{'G', 452}, {'R', 1199}, {'E', 5390}, {'C', 1080}, {'J', 100}}},
    // The compact TLSE file holds the first 10 of the 11 epochs of the plain one; the DELF day
    // starts with the 105 epochs of delf0010.21o.
    {"TLSE00FRA_R_20230010000_10S_01S_MO.crx", 0, {}, 0, "TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "> 2023 01 01 00 00 10.0000000"},
    {"delf0010.21d", 0, {}, 0, "delf0010.21o", " 21  1  1  0 52 30.0000000"},
    {"CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz", 0, {}},
    // 164 sets: GPS 31, Galileo 29 (GSATnnnn names) and QZSS 4 give identifiers; GLONASS, BeiDou,
    // IRNSS and SBAS names none.
    {"gnss_2024-06-08.txt", 1, {{'*', 31 + 29 + 4}}},
};

bool digit_at(const std::string& s, std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; }

// Distinct satellites of the record-start lines after the header, counted independently.
Counts count_satellites(const std::string& text, int version, char rinex2_letter) {
    std::map<char, std::set<std::string>> sats;
    std::istringstream in(text.substr(text.find('\n', text.find("END OF HEADER")) + 1));
    static const std::set<std::string> kept = {"GLNAV", "JLNAV", "EINAV", "EFNAV", "CD1", "CD2", "RFDMA"};
    for (std::string line; std::getline(in, line);) {
        char sat[8], message[8];
        if (version == 2) {
            if (digit_at(line, 1) && line.size() > 22) sats[rinex2_letter].insert(line.substr(0, 2));
        } else if (version == 4) {
            if (std::sscanf(line.c_str(), "> EPH %3s %7s", sat, message) == 2 && kept.count(sat[0] + std::string(message)))
                sats[sat[0]].insert(sat);
        } else if (line.size() > 8 && std::string("GJECR").find(line[0]) != std::string::npos &&
                   (line[1] == ' ' || digit_at(line, 1)) && digit_at(line, 2) && line[3] == ' ' && digit_at(line, 4) &&
                   digit_at(line, 7)) {  // letter, number (some write "E 2"), blank, four-digit year
            sats[line[0]].insert(std::string(1, line[1] == ' ' ? '0' : line[1]) + line[2]);
        }
    }
    Counts out;
    for (const auto& [letter, set] : sats) out[letter] = set.size();
    return out;
}

EpochTime plus_seconds(EpochTime t, double s) {
    t.second += s;
    return t;
}

void check_navigation(const std::string& text, const DataCase& f) {
    auto parsed = parse_navigation(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    const NavigationData& nav = *parsed;
    Counts sats, records;
    for (const auto* map : {&nav.gps_ephemerides, &nav.galileo_ephemerides, &nav.beidou_ephemerides})
        for (const auto& e : *map) ++sats[e.id[0]], records[e.id[0]] += e.records.size();
    for (const auto& e : nav.glonass_ephemerides) ++sats['R'], records['R'] += e.records.size();
    const Counts expected = count_satellites(text, f.kind, f.records.begin()->first);
    EXPECT_EQ(sats, expected);
    EXPECT_EQ(records, f.records);
    EXPECT_EQ(nav.gps_count(), (expected.count('G') ? expected.at('G') : 0) + (expected.count('J') ? expected.at('J') : 0));

    // Broadcast orbits are good to a few metres: a GLONASS record integrated 30 minutes to the
    // next one's time, and GPS records 2 hours apart at their midpoint, agree within 20 m.
    std::size_t pairs = 0;
    for (const auto& sat : f.min_pairs ? nav.glonass_ephemerides : decltype(nav.glonass_ephemerides){}) {
        for (std::size_t i = 0; i + 1 < sat.records.size(); ++i) {
            const GlonassEphemeris &a = sat.records[i], &b = sat.records[i + 1];
            if (std::fabs(seconds_between(b.epoch, a.epoch) - 1800.0) > 1.0) continue;
            const Ecef p = *glonass_propagate(a, b.epoch);
            EXPECT_LT(std::hypot(p.x - b.x, p.y - b.y, p.z - b.z), 20.0) << sat.id;
            ++pairs;
        }
    }
    for (const auto& sat : nav.gps_ephemerides) {
        for (std::size_t i = 0; sat.id[0] == 'G' && i + 1 < sat.records.size(); ++i) {
            const KeplerEphemeris &a = sat.records[i], &b = sat.records[i + 1];
            if (std::fabs(seconds_between(b.epoch, a.epoch) - 7200.0) > 1.0) continue;
            const Ecef pa = kepler_position(a, plus_seconds(a.epoch, 3600.0)), pb = kepler_position(b, plus_seconds(a.epoch, 3600.0));
            EXPECT_LT(std::hypot(pa.x - pb.x, pa.y - pb.y, pa.z - pb.z), 20.0) << sat.id;
            ++pairs;
        }
    }
    EXPECT_GE(pairs, f.min_pairs);

}

void check_compact(const std::string& dir, const std::string& bytes, const DataCase& f) {
    if (*f.twin) {
        const std::string twin = read_bytes(dir + "/" + f.twin);
        const auto decoded = decode_input(bytes);
        ASSERT_TRUE(decoded.ok()) << decoded.error();
        // The shorter text is the start of the longer, which goes on with the next epoch.
        const std::string_view a = decoded->text(), b = twin;
        const std::size_t n = std::min(a.size(), b.size());
        EXPECT_TRUE(a.substr(0, n) == b.substr(0, n));
        EXPECT_EQ((a.size() > n ? a : b).substr(n, std::strlen(f.next)), f.next);
    }
    if (!std::string(f.name).ends_with(".gz")) return;
    for (std::size_t n : {std::size_t{5}, bytes.size() / 3, bytes.size() - 1})  // cut gzip data
        EXPECT_EQ(decode_input(std::string_view(bytes).substr(0, n)).error(), "gzip data is truncated");
}

void check_tle(const std::string& bytes, const DataCase& f) { EXPECT_EQ(parse_tle_content(bytes), f.records.at('*')); }

class SharedData : public ::testing::TestWithParam<DataCase> {};

}  // namespace

TEST_P(SharedData, File) {
    QCN0_REQUIRE_DATA(dir);
    const DataCase& f = GetParam();
    const std::string bytes = read_bytes(dir + "/" + f.name);
    ASSERT_FALSE(bytes.empty()) << f.name;
    if (f.kind == 0) return check_compact(dir, bytes, f);
    if (f.kind == 1) return check_tle(bytes, f);
    const auto text = decode_input(bytes);
    ASSERT_TRUE(text.ok()) << text.error();
    check_navigation(std::string(text->text()), f);
}

INSTANTIATE_TEST_SUITE_P(Files, SharedData, ::testing::ValuesIn(kFiles), [](const auto& info) {
    std::string n = info.param.name;
    for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n;
});
