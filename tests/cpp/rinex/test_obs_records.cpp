// The data section of observation files: RINEX 3 epochs ('>' lines with satellite lines) and
// RINEX 2 epochs (fixed-column epoch lines with satellite lists), and how bytes become lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rinex/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

const std::vector<std::string> kGps = {"C1C", "L1C", "D1C", "S1C"};

std::string v3_header() {
    return version_line("3.04") + v3_obs_types('G', kGps) + v3_obs_types('R', {"C1C", "S1C"}) +
           v3_obs_types('E', {"C1X", "S1X", "S5X"}) + end_of_header();
}

// A GPS satellite line holding only an S1C value.
std::string gps_s(std::string_view id, double s) {
    return v3_sat(
        id, {v3_field(std::nullopt), v3_field(std::nullopt), v3_field(std::nullopt), v3_field(s)});
}
std::string two_code_s(std::string_view id, double s) {
    return v3_sat(id, {v3_field(std::nullopt), v3_field(s)});
}

std::string two_digits(int n) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

std::string v2_header(const std::vector<std::string>& codes) {
    return version_line("2.11") + v2_obs_types(codes) + end_of_header();
}

double value_of(const RinexObsData& obs, std::size_t epoch, std::string_view sat,
                std::string_view code) {
    const StoredValue* v = find_value(obs, epoch, sat, code);
    EXPECT_NE(v, nullptr) << sat << " " << code << " at epoch " << epoch;
    return v ? v->value : std::nan("");
}

// Everything the reader produced, compared field by field and value by value.
void expect_same(const RinexObsData& a, const RinexObsData& b) {
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.marker_name, b.marker_name);
    EXPECT_EQ(a.receiver_type, b.receiver_type);
    EXPECT_EQ(a.antenna_type, b.antenna_type);
    EXPECT_EQ(a.approx_position, b.approx_position);
    EXPECT_EQ(a.interval, b.interval);
    ASSERT_EQ(a.obs_types.size(), b.obs_types.size());
    for (std::size_t i = 0; i < a.obs_types.size(); ++i) {
        EXPECT_EQ(a.obs_types[i].system, b.obs_types[i].system);
        EXPECT_EQ(a.obs_types[i].codes, b.obs_types[i].codes);
    }
    EXPECT_EQ(a.glonass_slots, b.glonass_slots);
    ASSERT_EQ(a.epochs.size(), b.epochs.size());
    for (std::size_t e = 0; e < a.epochs.size(); ++e) {
        EXPECT_EQ(a.epochs[e].time, b.epochs[e].time);
        EXPECT_EQ(a.epochs[e].flag, b.epochs[e].flag);
        auto sats = satellites_in(a, e);
        ASSERT_EQ(sats, satellites_in(b, e));
        for (const auto& s : sats) {
            auto codes = codes_of(a, e, s);
            ASSERT_EQ(codes, codes_of(b, e, s));
            for (const auto& c : codes) {
                const StoredValue* x = find_value(a, e, s, c);
                const StoredValue* y = find_value(b, e, s, c);
                ASSERT_TRUE(x && y);
                EXPECT_EQ(x->value, y->value);
                EXPECT_EQ(x->lli, y->lli);
                EXPECT_EQ(x->ssi, y->ssi);
            }
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// RINEX 3

TEST(Version3Records, EpochWithItsSatelliteLines) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 12);
    for (int k = 1; k <= 12; ++k) text += gps_s("G" + two_digits(k), 40.0 + k);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time, (EpochTime{2024, 3, 5, 7, 8, 9.0}));
    EXPECT_EQ(obs.epochs[0].flag, 0);
    EXPECT_EQ(satellites_in(obs, 0).size(), 12u);
    EXPECT_EQ(value_of(obs, 0, "G12", "S1C"), 52.0);
}

TEST(Version3Records, FewerSatelliteLinesThanTheCount) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 12);
    for (int k = 1; k <= 10; ++k) text += gps_s("G" + two_digits(k), 40.0);
    text += v3_epoch(2024, 3, 5, 7, 8, 10.0, 0, 2) + gps_s("G01", 41.0) + gps_s("G02", 42.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(satellites_in(obs, 0).size(), 10u);
    EXPECT_EQ(obs.epochs[1].time.second, 10.0);
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G01", "G02"}));
    EXPECT_EQ(value_of(obs, 1, "G02", "S1C"), 42.0);
}

TEST(Version3Records, HundredsOfSatellitesGlueTheFlagToTheCount) {
    // "  0120": the flag in its one column, then the count in three with no blank between, and
    // the receiver clock offset after them; none of the 120 satellites may be lost.
    std::string text = v3_header() + "> 2024 03 05 07 08  9.0000000  0120       0.000123456789\n";
    for (int k = 1; k <= 120; ++k) text += gps_s("G" + two_digits(k % 100), 40.0);
    text += "> 2024 03 05 07 08 10.0000000  4101\n";  // event flag 4, 101 special records
    auto obs = read_ok(text);
    ASSERT_GE(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].flag, 0);
    EXPECT_EQ(satellites_in(obs, 0).size(), 100u);  // G00..G99: numbers repeat after 99
}

TEST(Version3Records, BlankAndZeroFieldsStoreNothing) {
    std::string text =
        v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 2) +
        v3_sat("G01",
               {v3_field(23456789.123), v3_field(std::nullopt), v3_field(0.0), v3_field(45.25)}) +
        v3_sat("G02", {"        -0.000  ", "           abc  ", "  1.5D3       ", v3_field(-3.5)});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(codes_of(obs, 0, "G01"), (std::vector<std::string>{"C1C", "S1C"}));
    EXPECT_EQ(value_of(obs, 0, "G01", "C1C"), 23456789.123);
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 45.25);
    // -0.000 is zero, words and D exponents do not read; a negative value is a value.
    EXPECT_EQ(codes_of(obs, 0, "G02"), (std::vector<std::string>{"S1C"}));
    EXPECT_EQ(value_of(obs, 0, "G02", "S1C"), -3.5);
}

TEST(Version3Records, LossOfLockAndStrengthIndicators) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 4) +
                       v3_sat("G01", {v3_field(2e7, ' ', '5'), v3_field(1e8, '1', ' '),
                                      v3_field(-12.5, 'x', '+'), v3_field(45.25, '1', '7')}) +
                       // The line ends right after the 14-character value.
                       v3_sat("G02", {v3_field(std::nullopt), v3_field(std::nullopt),
                                      v3_field(std::nullopt), "        45.250"}) +
                       // Only the loss-of-lock column is present.
                       v3_sat("G03", {v3_field(std::nullopt), v3_field(std::nullopt),
                                      v3_field(std::nullopt), "        45.250 4"}) +
                       v3_sat("G04", {v3_field(std::nullopt), v3_field(std::nullopt),
                                      v3_field(std::nullopt), "        45.2502"});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    const StoredValue* s = find_value(obs, 0, "G01", "S1C");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->lli, 1);
    EXPECT_EQ(s->ssi, 7);
    const StoredValue* c = find_value(obs, 0, "G01", "C1C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->lli, kNoIndicator);
    EXPECT_EQ(c->ssi, 5);
    const StoredValue* l = find_value(obs, 0, "G01", "L1C");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->lli, 1);
    EXPECT_EQ(l->ssi, kNoIndicator);
    const StoredValue* d = find_value(obs, 0, "G01", "D1C");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->lli, kNoIndicator);
    EXPECT_EQ(d->ssi, kNoIndicator);

    const StoredValue* bare = find_value(obs, 0, "G02", "S1C");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->value, 45.25);
    EXPECT_EQ(bare->lli, kNoIndicator);
    EXPECT_EQ(bare->ssi, kNoIndicator);
    const StoredValue* half = find_value(obs, 0, "G03", "S1C");
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->lli, kNoIndicator);
    EXPECT_EQ(half->ssi, 4);
    // The value is the first 14 characters of the field; the 15th is the indicator.
    const StoredValue* glued = find_value(obs, 0, "G04", "S1C");
    ASSERT_NE(glued, nullptr);
    EXPECT_EQ(glued->value, 45.25);
    EXPECT_EQ(glued->lli, 2);
}

TEST(Version3Records, FieldsCutByTheLineEndAndFieldsBeyondTheCodeList) {
    std::string text =
        v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 2) +
        // The second field is shorter than 14 characters.
        "R01" + v3_field(2e7) + "   41.5\n" +
        // Two more fields than the E list names.
        v3_sat("E05", {v3_field(1.0), v3_field(2.0), v3_field(3.0), v3_field(4.0), v3_field(5.0)});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(value_of(obs, 0, "R01", "S1C"), 41.5);
    EXPECT_EQ(codes_of(obs, 0, "E05"), (std::vector<std::string>{"C1X", "S1X", "S5X"}));
    EXPECT_EQ(value_of(obs, 0, "E05", "S5X"), 3.0);
}

TEST(Version3Records, SatelliteOfAnUnknownSystemStoresNothing) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + gps_s("J01", 45.0) +
                       v3_epoch(2024, 3, 5, 7, 8, 10.0, 0, 3) + gps_s("C11", 45.0) +
                       gps_s("G01", 46.0) + gps_s("X01", 47.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time.second, 10.0);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01"}));
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G01"}));
}

TEST(Version3Records, EpochLineWithoutACount) {
    // Seven pieces: no count, so the epoch is dropped and its satellite lines are skipped as
    // lines that are not epoch lines. An unreadable or zero count does the same.
    std::string text = v3_header() + "> 2024 03 05 07 08  9.0000000  0\n" + gps_s("G01", 45.0) +
                       "> 2024 03 05 07 08 10.0000000  0  x\n" + gps_s("G02", 45.0) +
                       "> 2024 03 05 07 08 11.0000000  0  0\n" + gps_s("G03", 45.0) +
                       "> 2024 03 05 07 08 12.0000000  0 -1\n" + gps_s("G04", 45.0) +
                       v3_epoch(2024, 3, 5, 7, 8, 13.0, 0, 1) + gps_s("G05", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time.second, 13.0);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G05"}));
}

TEST(Version3Records, EpochFlagsAreStoredAsWritten) {
    std::string text =
        v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 1, 1) + gps_s("G01", 45.0) +
        v3_epoch(2024, 3, 5, 7, 8, 2.0, 6, 1) + gps_s("G01", 45.0) +
        "> 2024 03 05 07 08  3.0000000  x  1\n" + gps_s("G01", 45.0) +
        "> 2024 03 05 07 08  4.0000000 256  1\n" + gps_s("G01", 45.0) +
        "> 2024 03 05 07 08  5.0000000 +2  1  0.000123456789\n" + gps_s("G01", 45.0) +
        // An event with a comment record: the record stores nothing and the
        // event epoch is dropped.
        v3_epoch(2024, 3, 5, 7, 8, 6.0, 4, 1) + header_line("ANTENNA MOVED 0.1 M", "COMMENT") +
        v3_epoch(2024, 3, 5, 7, 8, 7.0, 0, 1) + gps_s("G01", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 6u);
    std::vector<int> flags, seconds;
    for (const auto& e : obs.epochs) {
        flags.push_back(e.flag);
        seconds.push_back(static_cast<int>(e.time.second));
    }
    EXPECT_EQ(flags, (std::vector<int>{1, 6, 0, 0, 2, 0}));
    EXPECT_EQ(seconds, (std::vector<int>{1, 2, 3, 4, 5, 7}));
}

TEST(Version3Records, EpochTextIsNotCheckedAgainstTheCalendar) {
    std::string text = v3_header() + "> 2024 13 40 25 61 75.0000000  0  1\n" + gps_s("G01", 45.0) +
                       "> 2024 03 05 07 08\n" + gps_s("G02", 45.0) +
                       "> 2024 3 5 7 8 16.4427602 0 1\n" + gps_s("G03", 45.0) + ">\n" +
                       ">2024 03 05 07 08 17.0 0 1\n" + gps_s("G04", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 3u);
    EXPECT_EQ(obs.epochs[0].time, (EpochTime{2024, 13, 40, 25, 61, 75.0}));
    EXPECT_EQ(obs.epochs[1].time, (EpochTime{2024, 3, 5, 7, 8, 16.4427602}));
    EXPECT_EQ(obs.epochs[2].time.second, 17.0);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G01", "G03", "G04"}));
}

TEST(Version3Records, SatelliteLinesEndAtAnEmptyLineOrTheNextEpoch) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 3) + gps_s("G01", 45.0) +
                       "\n" + gps_s("G02", 45.0) + v3_epoch(2024, 3, 5, 7, 8, 2.0, 0, 3) +
                       gps_s("G03", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01"}));
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G03"}));
}

TEST(Version3Records, VeryShortAndBlankSatelliteLinesAreConsumed) {
    // A line of one or two characters uses up one of the counted lines; so does a blank line
    // of three characters.
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) + "G1\n" +
                       gps_s("G02", 45.0) + v3_epoch(2024, 3, 5, 7, 8, 2.0, 0, 1) + "G\n" +
                       gps_s("G03", 45.0) + v3_epoch(2024, 3, 5, 7, 8, 3.0, 0, 1) + "   \n" +
                       gps_s("G04", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G02"}));
}

TEST(Version3Records, BlankIdentifierReadsWithTheGpsList) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) + gps_s("   ", 45.0) +
                       gps_s("G01", 46.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"", "G01"}));
    EXPECT_EQ(value_of(obs, 0, "", "S1C"), 45.0);
}

TEST(Version3Records, RepeatedSatelliteLineReplacesTheEarlierOne) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 3) +
                       v3_sat("G01", {v3_field(2e7), v3_field(std::nullopt), v3_field(std::nullopt),
                                      v3_field(40.0)}) +
                       gps_s("G02", 42.0) + gps_s("G01", 41.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01", "G02"}));
    EXPECT_EQ(codes_of(obs, 0, "G01"), (std::vector<std::string>{"S1C"}));
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 41.0);
    // A repeated line without values does not remove the earlier one.
    std::string again = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) + gps_s("G01", 40.0) +
                        gps_s("G01", 0.0);
    auto kept = read_ok(again);
    ASSERT_EQ(kept.epochs.size(), 1u);
    EXPECT_EQ(value_of(kept, 0, "G01", "S1C"), 40.0);
}

TEST(Version3Records, RepeatedCodeInTheListKeepsTheLaterValue) {
    std::string text = version_line("3.04") + v3_obs_types('G', {"S1C", "C1C", "S1C"}) +
                       end_of_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) +
                       v3_sat("G01", {v3_field(40.0), v3_field(2e7), v3_field(41.0, '1', '6')}) +
                       v3_sat("G02", {v3_field(40.0), v3_field(2e7), v3_field(0.0)});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(codes_of(obs, 0, "G01").size(), 2u);
    const StoredValue* s = find_value(obs, 0, "G01", "S1C");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->value, 41.0);
    EXPECT_EQ(s->ssi, 6);
    EXPECT_EQ(value_of(obs, 0, "G02", "S1C"), 40.0);
}

TEST(Version3Records, NumberWrittenWithABlankIsTheZeroPaddedSatellite) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) + gps_s("G 7", 45.0) +
                       two_code_s("R 1", 40.0) + v3_epoch(2024, 3, 5, 7, 8, 2.0, 0, 3) +
                       gps_s("G07", 46.0) + two_code_s("R01", 41.0) + gps_s("G 7", 47.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G07", "R01"}));
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G07", "R01"}));
    // "G07" and "G 7" in one epoch are one satellite: the later line wins.
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G07", "R01"}));
    EXPECT_EQ(value_of(obs, 1, "G07", "S1C"), 47.0);
    EXPECT_EQ(value_of(obs, 0, "R01", "S1C"), 40.0);
}

TEST(Version3Records, HugeSatelliteCountStopsAtTheEndOfTheData) {
    std::string text = v3_header() + "> 2024 03 05 07 08  1.0000000  0 18446744073709551615\n" +
                       gps_s("G01", 45.0) + gps_s("G02", 45.0);
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0).size(), 2u);
    // One more does not read as a count at all.
    auto none = read_ok(v3_header() + "> 2024 03 05 07 08  1.0000000  0 18446744073709551616\n" +
                        gps_s("G01", 45.0));
    EXPECT_TRUE(none.epochs.empty());
}

TEST(Version3Records, ManySatellitesKeepTheirOwnIdentifiers) {
    // 396 distinct identifiers in one epoch, then again in reverse order.
    std::vector<std::string> ids;
    for (char system : {'G', 'R', 'E', 'C'}) {
        for (int k = 1; k <= 99; ++k) ids.push_back(system + two_digits(k));
    }
    std::string text = version_line("3.04");
    for (char system : {'G', 'R', 'E', 'C'}) text += v3_obs_types(system, {"S1C"});
    text += end_of_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 396);
    for (std::size_t k = 0; k < ids.size(); ++k) text += v3_sat(ids[k], {v3_field(10.0 + k)});
    text += v3_epoch(2024, 3, 5, 7, 8, 2.0, 0, 396);
    for (std::size_t k = ids.size(); k-- > 0;) text += v3_sat(ids[k], {v3_field(10.0 + k)});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(obs.satellites, ids);
    EXPECT_EQ(satellites_in(obs, 0), ids);
    std::vector<std::string> reversed(ids.rbegin(), ids.rend());
    EXPECT_EQ(satellites_in(obs, 1), reversed);
    for (std::size_t k = 0; k < ids.size(); k += 37) {
        EXPECT_EQ(value_of(obs, 1, ids[k], "S1C"), 10.0 + k) << ids[k];
    }
}

TEST(Version3Records, EmptyDataSection) {
    auto obs = read_ok(v3_header() + "\n   \nsome trailing text\n");
    EXPECT_TRUE(obs.epochs.empty());
    EXPECT_TRUE(obs.satellites.empty());
}

// ---------------------------------------------------------------------------------------------
// RINEX 2

TEST(Version2Records, EpochLineWithSatelliteList) {
    std::string text = v2_header({"C1", "L1", "S1"}) +
                       v2_epoch(24, 3, 5, 7, 8, 9.0, 0, {"G05", "G12", "R07"}) +
                       v2_record({2e7, 1e8, 45.0}) + v2_record({2e7, std::nullopt, 46.0}) +
                       v2_record({2e7, 0.0, 47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time, (EpochTime{2024, 3, 5, 7, 8, 9.0}));
    EXPECT_EQ(obs.epochs[0].flag, 0);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G05", "G12", "R07"}));
    EXPECT_EQ(codes_of(obs, 0, "G05"), (std::vector<std::string>{"C1C", "L1C", "S1C"}));
    EXPECT_EQ(codes_of(obs, 0, "G12"), (std::vector<std::string>{"C1C", "S1C"}));
    // GLONASS uses the one list of the header.
    EXPECT_EQ(value_of(obs, 0, "R07", "S1C"), 47.0);
    EXPECT_EQ(codes_of(obs, 0, "R07"), (std::vector<std::string>{"C1C", "S1C"}));
}

TEST(Version2Records, SlotsWithoutSystemLetterAreGps) {
    std::string text = v2_header({"S1"}) + v2_epoch(24, 3, 5, 7, 8, 9.0, 0, {"  5", " 12", "E11"}) +
                       v2_record({45.0}) + v2_record({46.0}) + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G05", "G12", "E11"}));
    EXPECT_EQ(value_of(obs, 0, "G12", "S1C"), 46.0);
}

TEST(Version2Records, NumberWrittenWithABlankIsTheZeroPaddedSatellite) {
    std::string text = v2_header({"S1"}) + v2_epoch(24, 3, 5, 7, 8, 1.0, 0, {"G 7", "R 1"}) +
                       v2_record({45.0}) + v2_record({40.0}) +
                       v2_epoch(24, 3, 5, 7, 8, 2.0, 0, {"G07", "R01", "  7"}) + v2_record({46.0}) +
                       v2_record({41.0}) + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G07", "R01"}));
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G07", "R01"}));
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G07", "R01"}));
    EXPECT_EQ(value_of(obs, 1, "G07", "S1C"), 47.0);
}

TEST(Version2Records, UnreadableShortSlotIsG00) {
    std::string text =
        v2_header({"S1"}) + v2_epoch(24, 3, 5, 7, 8, 1.0, 0, {" G7"}) + v2_record({45.0});
    auto obs = read_ok(text);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G00"}));
}

TEST(Version2Records, TwoDigitYears) {
    std::string text = v2_header({"S1"});
    for (int yy : {79, 80, 0, 99})
        text += v2_epoch(yy, 1, 2, 3, 4, 5.5, 0, {"G01"}) + v2_record({45.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 4u);
    EXPECT_EQ(obs.epochs[0].time, (EpochTime{2079, 1, 2, 3, 4, 5.5}));
    EXPECT_EQ(obs.epochs[1].time.year, 1980);
    EXPECT_EQ(obs.epochs[2].time.year, 2000);
    EXPECT_EQ(obs.epochs[3].time.year, 1999);
}

TEST(Version2Records, SevenTypesUseTwoLinesPerSatellite) {
    std::string text = v2_header({"L1", "L2", "C1", "P2", "P1", "S1", "S2"}) +
                       v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01", "R02"}) +
                       v2_record({1.0, 2.0, 3.0, 4.0, 5.0, 46.0, 47.0}) +
                       v2_record({std::nullopt, std::nullopt, 3.5, std::nullopt, std::nullopt, 36.0,
                                  std::nullopt}) +
                       v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G01"}) +
                       v2_record({1.0, 2.0, 3.0, 4.0, 5.0, 48.0, 49.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(codes_of(obs, 0, "G01"),
              (std::vector<std::string>{"L1C", "L2C", "C1C", "C2P", "C1P", "S1C", "S2C"}));
    EXPECT_EQ(value_of(obs, 0, "G01", "C1P"), 5.0);
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 46.0);
    EXPECT_EQ(value_of(obs, 0, "G01", "S2C"), 47.0);
    EXPECT_EQ(codes_of(obs, 0, "R02"), (std::vector<std::string>{"C1C", "S1C"}));
    EXPECT_EQ(value_of(obs, 1, "G01", "S2C"), 49.0);
}

TEST(Version2Records, IndicatorColumnsAreNotRead) {
    std::string text = v2_header({"C1", "S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}) +
                       v2_field(2e7, '1', '7') + v2_field(45.0, '0', '5') + "\n";
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    for (const char* code : {"C1C", "S1C"}) {
        const StoredValue* v = find_value(obs, 0, "G01", code);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->lli, kNoIndicator);
        EXPECT_EQ(v->ssi, kNoIndicator);
    }
}

TEST(Version2Records, FieldsCutByTheLineEnd) {
    // Second field shorter than 14 characters; a third field absent because the line is not
    // longer than 32 characters.
    std::string text = v2_header({"C1", "S1", "S2"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}) +
                       v2_field(2e7) + "   44.5\n";
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(codes_of(obs, 0, "G01"), (std::vector<std::string>{"C1C", "S1C"}));
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 44.5);
}

TEST(Version2Records, ContinuationLineForMoreThanTwelveSatellites) {
    std::vector<std::string> ids;
    for (int k = 1; k <= 10; ++k) ids.push_back("G" + two_digits(k));
    for (int k = 1; k <= 4; ++k) ids.push_back("R" + two_digits(k));
    std::string text = v2_header({"S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, ids);
    ASSERT_EQ(std::count(text.end() - 60, text.end(), '\n'), 2);  // one continuation line
    for (std::size_t k = 0; k < ids.size(); ++k) text += v2_record({30.0 + k});
    text += v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G01"}) + v2_record({50.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(satellites_in(obs, 0), ids);
    EXPECT_EQ(value_of(obs, 0, "R03", "S1C"), 42.0);
    EXPECT_EQ(value_of(obs, 0, "R04", "S1C"), 43.0);
    EXPECT_EQ(value_of(obs, 1, "G01", "S1C"), 50.0);
}

TEST(Version2Records, TwentyFiveSatellitesUseTwoContinuationLines) {
    std::vector<std::string> ids;
    for (int k = 1; k <= 25; ++k) ids.push_back("G" + two_digits(k));
    std::string text = v2_header({"S1", "S2"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, ids);
    for (std::size_t k = 0; k < ids.size(); ++k) text += v2_record({20.0 + k, 1.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0), ids);
    EXPECT_EQ(value_of(obs, 0, "G25", "S1C"), 44.0);
}

TEST(Version2Records, SlotsMissingFromTheLineCountButReadNoRecord) {
    // The count says 4, the list holds a blank slot and ends after three slots: two satellites
    // with one record each, and the next epoch is read normally.
    std::string text = v2_header({"S1"}) +
                       v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01", "   ", "G03"}, 4) +
                       v2_record({45.0}) + v2_record({46.0}) +
                       v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G04"}) + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01", "G03"}));
    EXPECT_EQ(value_of(obs, 0, "G03", "S1C"), 46.0);
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G04"}));
}

TEST(Version2Records, SlotCutByTheLineEndIsPassedOver) {
    // The second slot holds only two characters before the line ends.
    std::string text = v2_header({"S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}, 2);
    text.insert(text.size() - 1, " 5");
    text += v2_record({45.0}) + v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G04"}) + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01"}));
    EXPECT_EQ(satellites_in(obs, 1), (std::vector<std::string>{"G04"}));
}

TEST(Version2Records, EpochLineEndingInsideTheCountIsSkipped) {
    // 31 characters: the count field is cut, so the line is no epoch line, and the lines after
    // it are not taken for its continuation or its records.
    std::string cut = " 21  1  1  0  0  0.0000000  013\n";
    ASSERT_EQ(cut.size(), 32u);
    std::string text = v2_header({"S1"}) + cut + std::string(32, ' ') + "G01\n" +
                       v2_record({45.0}) + v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G04"}) +
                       v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G04"}));
}

TEST(Version2Records, LinesThatAreNotEpochLines) {
    std::string good = v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G01"}) + v2_record({45.0});
    std::string text =
        v2_header({"S1"}) +
        // Date fields readable but the line stops before the count.
        " 21  1  1  0  0  0.0000000  0\n" + " 21  1  1  0  0  0.0000000  0 1\n" +
        // Unreadable month, blank day, a second that is no number.
        " 21  x  1  0  0  0.0000000  0  1G01\n" + " 21  1     0  0  0.0000000  0  1G01\n" +
        " 21  1  1  0  0  0.00000x0  0  1G01\n" +
        // Count blank, zero or unreadable.
        " 21  1  1  0  0  0.0000000  0   G01\n" + " 21  1  1  0  0  0.0000000  0  0G01\n" +
        " 21  1  1  0  0  0.0000000  0  xG01\n" + good;
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time.second, 30.0);
}

TEST(Version2Records, FlagsAndEventRecords) {
    // An event flag with one special record (a comment): no satellites are listed, nothing is
    // stored, and the comment is not taken for an epoch line.
    std::string text = v2_header({"S1"}) + v2_epoch(15, 2, 13, 1, 0, 0.0, 4, {}, 1) +
                       header_line("0000.000      (antenna height)", "COMMENT") +
                       v2_epoch(15, 2, 13, 1, 0, 0.0, 1, {"G01"}) + v2_record({45.0}) +
                       v2_epoch(15, 2, 13, 1, 0, 30.0, 6, {"G01"}) + v2_record({46.0}) +
                       " 15  2 13  1  1  0.0000000  x  1G01\n" + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 3u);
    EXPECT_EQ(obs.epochs[0].flag, 1);
    EXPECT_EQ(obs.epochs[1].flag, 6);
    EXPECT_EQ(obs.epochs[2].flag, 0);
    EXPECT_EQ(obs.epochs[2].time.minute, 1u);
}

TEST(Version2Records, HugeSatelliteCountStopsAtTheEndOfTheData) {
    std::string text = v2_header({"S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}) +
                       v2_record({45.0}) + v2_epoch(21, 1, 1, 0, 0, 30.0, 0, {"G01", "G02"}, 999) +
                       v2_record({46.0}) + v2_record({47.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(obs.epochs[0].time.second, 0.0);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G01"}));
}

TEST(Version2Records, RecordsRunningPastTheEndOfTheData) {
    // Four types need one line; the last satellite's record is missing.
    std::string text = v2_header({"C1", "S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01", "G02"}) +
                       v2_record({2e7, 45.0});
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(satellites_in(obs, 0), (std::vector<std::string>{"G01"}));
}

TEST(Version2Records, NoTypesMeansNoValues) {
    std::string text = version_line("2.11") + end_of_header() +
                       v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}) + v2_record({45.0});
    auto obs = read_ok(text);
    EXPECT_TRUE(obs.epochs.empty());
}

// ---------------------------------------------------------------------------------------------
// Bytes to lines

TEST(ObsText, WindowsLineEndsReadLikeLineFeeds) {
    auto crlf = [](std::string s) {
        std::string out;
        for (char c : s) {
            if (c == '\n') out += '\r';
            out += c;
        }
        return out;
    };
    std::string v3 = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 2) +
                     v3_sat("G01", {v3_field(2e7, ' ', '8'), v3_field(1e8, '1', '8'),
                                    v3_field(std::nullopt), v3_field(45.25, ' ', '7')}) +
                     two_code_s("R01", 40.0) + v3_epoch(2024, 3, 5, 7, 8, 2.0, 0, 1) +
                     gps_s("G02", 44.0);
    auto lf3 = read_ok(v3);
    ASSERT_EQ(lf3.epochs.size(), 2u);
    expect_same(lf3, read_ok(crlf(v3)));

    std::vector<std::string> ids;
    for (int k = 1; k <= 14; ++k) ids.push_back("G" + two_digits(k));
    std::string v2 = version_line("2.11") + header_line("DELFT", "MARKER NAME") +
                     header_line("1 2 3", "APPROX POSITION XYZ") + header_line("30.0", "INTERVAL") +
                     v2_obs_types({"L1", "L2", "C1", "P2", "P1", "S1", "S2"}) + end_of_header() +
                     v2_epoch(21, 1, 1, 0, 0, 0.0, 0, ids);
    for (std::size_t k = 0; k < ids.size(); ++k)
        v2 += v2_record({1.0, 2.0, 3.0, 4.0, 5.0, 30.0 + k, 20.0});
    auto lf2 = read_ok(v2);
    ASSERT_EQ(lf2.epochs.size(), 1u);
    expect_same(lf2, read_ok(crlf(v2)));
}

TEST(ObsText, LastLineWithoutLineFeed) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 1) + gps_s("G01", 45.0);
    text.pop_back();
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 45.0);
    // The same for a RINEX 2 record.
    std::string v2 =
        v2_header({"S1"}) + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, {"G01"}) + "        45.000";
    EXPECT_EQ(read_ok(v2).epochs.size(), 1u);
}

TEST(ObsText, CarriageReturnOnlyBeforeALineFeedIsDropped) {
    // A lone carriage return is a character of the line: here it makes a field unreadable.
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 1) + "G01" + v3_field(2e7) +
                       "      4\r5.000  \n";
    auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 1u);
    EXPECT_EQ(codes_of(obs, 0, "G01"), (std::vector<std::string>{"C1C"}));
}

TEST(ObsText, NonAsciiBytesInIdentifiersReadAsQuestionMarks) {
    std::string text = v3_header() + v3_epoch(2024, 3, 5, 7, 8, 1.0, 0, 1) +
                       gps_s(
                           "G\xB0"
                           "1",
                           45.0);
    auto obs = read_ok(text);
    EXPECT_EQ(obs.satellites, (std::vector<std::string>{"G?1"}));
}

// Memory held for a text of very short lines (blank lines, as a small gzip file can unpack to)
// stays near the text's own size, and records beyond what was set aside for them still read.
TEST(ObsText, ShortLinesHoldLittleMemoryAndReadEverything) {
    auto held = [](const RinexObsData& obs) {
        return obs.values.capacity() * sizeof(StoredValue) +
               obs.entries.capacity() * sizeof(SatelliteObservations) +
               obs.epochs.capacity() * sizeof(ObsEpoch);
    };
    const std::string blank = v3_header() + std::string(1 << 20, '\n');
    const auto empty = read_ok(blank);
    EXPECT_TRUE(empty.epochs.empty());
    EXPECT_LE(held(empty), 4 * blank.size());

    // 2000 epochs of 12 satellites with one S value each, every epoch followed by ten blank
    // lines: more satellite entries than lines of average length would give.
    std::string text = version_line("3.04") + v3_obs_types('G', {"S1C"}) + end_of_header();
    for (int e = 0; e < 2000; ++e) {
        text += v3_epoch(2024, 3, 5, e / 60 % 24, e % 60, 0.0, 0, 12);
        for (int s = 1; s <= 12; ++s) text += v3_sat("G" + two_digits(s), {v3_field(30.0 + (e + s) % 20)});
        text += std::string(10, '\n');
    }
    const auto obs = read_ok(text);
    ASSERT_EQ(obs.epochs.size(), 2000u);
    EXPECT_EQ(obs.entries.size(), 24000u);
    EXPECT_EQ(value_of(obs, 0, "G01", "S1C"), 31.0);
    EXPECT_EQ(value_of(obs, 1999, "G12", "S1C"), 30.0 + (1999 + 12) % 20);
    EXPECT_LE(held(obs), 4 * text.size());
}
