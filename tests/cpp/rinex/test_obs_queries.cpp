// Questions asked of a parsed observation file: satellites per system, S-code availability,
// signal-strength figures per satellite, the debug dump and the text form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "rinex/obs_queries.hpp"
#include "rinex/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

std::string header3() {
    return version_line("3.04") + v3_obs_types('G', {"C1C", "S1C", "S2W"}) +
           v3_obs_types('R', {"C1C", "L1C"}) + v3_obs_types('E', {"S1X"}) + end_of_header();
}

std::string sat(std::string_view id, std::initializer_list<std::optional<double>> values) {
    std::vector<std::string> fields;
    for (const auto& v : values) fields.push_back(v3_field(v));
    return v3_sat(id, fields);
}

std::map<std::string, std::string> as_map(
    const std::vector<std::pair<std::string, std::string>>& items) {
    std::map<std::string, std::string> out;
    for (const auto& [k, v] : items) {
        EXPECT_TRUE(out.emplace(k, v).second) << "key twice: " << k;
    }
    return out;
}

const SatelliteSnrStats* stats_of(const std::vector<SatelliteSnrStats>& all, std::string_view id) {
    for (const auto& s : all) {
        if (s.satellite == id) return &s;
    }
    return nullptr;
}

}  // namespace

TEST(ObsQueries, SatellitesBySystemInOrderOfFirstAppearance) {
    std::string text = header3() + v3_epoch(2024, 1, 1, 0, 0, 0.0, 0, 4) + sat("G05", {2e7}) +
                       sat("R07", {2e7}) + sat("G02", {2e7}) + sat("E11", {std::nullopt}) +
                       v3_epoch(2024, 1, 1, 0, 0, 1.0, 0, 4) + sat("E11", {45.0}) +
                       sat("G01", {2e7}) + sat("G05", {2e7}) + sat("   ", {2e7});
    auto obs = read_ok(text);
    auto groups = satellites_by_system(obs);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].system, 'G');
    EXPECT_EQ(groups[0].satellites, (std::vector<std::string>{"G05", "G02", "G01"}));
    EXPECT_EQ(groups[1].system, 'R');
    EXPECT_EQ(groups[1].satellites, (std::vector<std::string>{"R07"}));
    EXPECT_EQ(groups[2].system, 'E');
    EXPECT_EQ(groups[2].satellites, (std::vector<std::string>{"E11"}));
    // The blank identifier counts among the distinct satellites but belongs to no system.
    EXPECT_EQ(obs.satellites.size(), 6u);
    EXPECT_EQ(describe(obs), "RinexObsData(version=3.04, epochs=2, satellites=6)");
}

TEST(ObsQueries, Version2SystemsComeFromTheIdentifier) {
    std::string text = version_line("2.11") + v2_obs_types({"C1", "S1"}) + end_of_header() +
                       v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"E05", " 3", "R10"}) +
                       v2_record({2e7, 40.0}) + v2_record({2e7, 41.0}) + v2_record({2e7, 42.0});
    auto obs = read_ok(text);
    auto groups = satellites_by_system(obs);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].system, 'E');
    EXPECT_EQ(groups[0].satellites, (std::vector<std::string>{"E05"}));
    EXPECT_EQ(groups[1].satellites, (std::vector<std::string>{"G03"}));
    // One list shared by G, R, E and C: the same answer for all four.
    auto avail = snr_availability(obs);
    ASSERT_EQ(avail.size(), 4u);
    for (const auto& [system, has_s] : avail) EXPECT_TRUE(has_s) << system;
}

TEST(ObsQueries, SnrAvailabilityPerCodeList) {
    auto obs = read_ok(header3());
    std::vector<std::pair<char, bool>> expected = {{'G', true}, {'R', false}, {'E', true}};
    EXPECT_EQ(snr_availability(obs), expected);
    // A lower-case s is not a signal-strength code.
    auto lower =
        read_ok(version_line("3.04") + v3_obs_types('C', {"s2I", "C2I"}) + end_of_header());
    EXPECT_EQ(snr_availability(lower), (std::vector<std::pair<char, bool>>{{'C', false}}));
}

TEST(ObsQueries, SnrStatsPoolCodesAndKeepOnlyValuesStrictlyBetween0And100) {
    std::string text = header3() + v3_epoch(2024, 1, 1, 0, 0, 0.0, 0, 3) +
                       sat("G01", {2e7, 45.0, 120.0}) + sat("G02", {2e7, 0.0, 0.0}) +
                       sat("E03", {100.0}) + v3_epoch(2024, 1, 1, 0, 0, 1.0, 0, 3) +
                       sat("G01", {2e7, -5.0, 47.0}) + sat("E03", {99.5}) + sat("R04", {2e7, 1.0}) +
                       v3_epoch(2024, 1, 1, 0, 0, 2.0, 0, 1) + "G01" + v3_field(2e7) +
                       "           nan  " + "      0.001   \n";
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 3u);
    auto stats = snr_stats_by_satellite(obs);
    ASSERT_EQ(stats.size(), 2u);  // G02 (zeros only) and R04 (no S code) are absent
    const auto* g01 = stats_of(stats, "G01");
    ASSERT_NE(g01, nullptr);
    // 45, 120, -5, 47, NaN, 0.001: six S values, three of them valid.
    EXPECT_EQ(g01->obs_count, 6.0);
    EXPECT_EQ(g01->valid_count, 3.0);
    EXPECT_DOUBLE_EQ(g01->mean_snr, (45.0 + 47.0 + 0.001) / 3.0);
    const auto* e03 = stats_of(stats, "E03");
    ASSERT_NE(e03, nullptr);
    EXPECT_EQ(e03->obs_count, 2.0);
    EXPECT_EQ(e03->valid_count, 1.0);
    EXPECT_EQ(e03->mean_snr, 99.5);
}

TEST(ObsQueries, SnrStatsWithoutValidValuesHaveMeanZero) {
    std::string text =
        header3() + v3_epoch(2024, 1, 1, 0, 0, 0.0, 0, 1) + sat("G01", {2e7, 150.0, -1.0});
    auto stats = snr_stats_by_satellite(read_ok(text));
    ASSERT_EQ(stats.size(), 1u);
    EXPECT_EQ(stats[0].obs_count, 2.0);
    EXPECT_EQ(stats[0].valid_count, 0.0);
    EXPECT_EQ(stats[0].mean_snr, 0.0);
}

TEST(ObsQueries, SnrStatsCountEveryEpochAndCode) {
    std::string text = header3();
    for (int k = 0; k < 100; ++k) {
        text +=
            v3_epoch(2024, 1, 1, 0, k / 60, k % 60, 0, 1) + sat("G07", {2e7, 40.0 + k % 2, 30.0});
    }
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 100u);
    auto stats = snr_stats_by_satellite(obs);
    ASSERT_EQ(stats.size(), 1u);
    EXPECT_EQ(stats[0].obs_count, 200.0);
    EXPECT_EQ(stats[0].valid_count, 200.0);
    EXPECT_DOUBLE_EQ(stats[0].mean_snr, (50 * 40.0 + 50 * 41.0 + 100 * 30.0) / 200.0);
}

TEST(ObsQueries, DebugInfo) {
    std::string text = header3() + v3_epoch(2024, 1, 1, 0, 0, 0.0, 0, 3) + sat("G05", {2e7}) +
                       sat("R07", {2e7}) + sat("G02", {2e7});
    auto info = as_map(debug_info(read_ok(text)));
    std::map<std::string, std::string> expected = {
        {"version", "3.04"},        {"num_epochs", "1"},        {"num_satellites", "3"},
        {"G_satellites", "2"},      {"G_sat_list", "G05,G02"},  {"R_satellites", "1"},
        {"R_sat_list", "R07"},      {"G_obs_types_count", "3"}, {"G_obs_types", "C1C,S1C,S2W"},
        {"G_snr_types", "S1C,S2W"}, {"R_obs_types_count", "2"}, {"R_obs_types", "C1C,L1C"},
        {"R_snr_types", ""},        {"E_obs_types_count", "1"}, {"E_obs_types", "S1X"},
        {"E_snr_types", "S1X"},
    };
    EXPECT_EQ(info, expected);
}

TEST(ObsQueries, EmptyRecord) {
    auto obs = read_ok(version_line("2") + v2_obs_types({"C1", "P2"}) + end_of_header());
    EXPECT_TRUE(satellites_by_system(obs).empty());
    EXPECT_TRUE(snr_stats_by_satellite(obs).empty());
    auto info = as_map(debug_info(obs));
    EXPECT_EQ(info.size(), 3u + 4u * 3u);
    EXPECT_EQ(info["version"], "2.00");
    EXPECT_EQ(info["num_epochs"], "0");
    EXPECT_EQ(info["num_satellites"], "0");
    EXPECT_EQ(info["C_obs_types"], "C1C,C2P");
    EXPECT_EQ(info["C_snr_types"], "");
    EXPECT_EQ(info.count("G_satellites"), 0u);
    EXPECT_EQ(describe(obs), "RinexObsData(version=2.00, epochs=0, satellites=0)");
}

TEST(ObsQueries, TextFormRoundsTheVersionToTwoDecimals) {
    EXPECT_EQ(describe(read_ok(version_line("3.045") + end_of_header())).substr(0, 26),
              "RinexObsData(version=3.04,");  // 3.045 is held as 3.04499...
    EXPECT_EQ(describe(read_ok(version_line("3.046") + end_of_header())).substr(0, 26),
              "RinexObsData(version=3.05,");
    EXPECT_EQ(describe(read_ok(end_of_header())),
              "RinexObsData(version=0.00, epochs=0, satellites=0)");
}
