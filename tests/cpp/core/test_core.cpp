// Constellation names, epoch text, day numbers and timestamps.
#include <gtest/gtest.h>

#include <cmath>

#include "core/epoch_time.hpp"
#include "core/systems.hpp"
#include "core/text.hpp"

using namespace qcn0;

TEST(Systems, NamesAndLetters) {
    EXPECT_EQ(system_name('G'), "GPS");
    EXPECT_EQ(system_name('C'), "BeiDou");
    EXPECT_EQ(system_name('I'), "Unknown");
    EXPECT_EQ(system_name('g'), "Unknown");
    EXPECT_EQ(system_letter_from_name("IRNSS"), "I");
    EXPECT_EQ(system_letter_from_name("Galileo"), "E");
    EXPECT_EQ(system_letter_from_name("GALILEO"), "GALILEO");
    EXPECT_EQ(system_letter_from_name("E"), "E");
    EXPECT_EQ(system_group_name('J'), "Other");
    EXPECT_EQ(system_group_name('R'), "GLONASS");
    EXPECT_EQ(observed_system_name('I'), "IRNSS");
    EXPECT_EQ(observed_system_name('X'), "X");
}

TEST(EpochText, ParsesFieldsAndIgnoresTheRest) {
    auto t = parse_epoch_text("2024  3  5  7  8  9.5000000  0 12");
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(*t, (EpochTime{2024, 3, 5, 7, 8, 9.5}));
    auto odd = parse_epoch_text("2024 13 40 25 61 75.0");
    ASSERT_TRUE(odd.ok());
    EXPECT_EQ(odd->month, 13u);
    EXPECT_EQ(odd->second, 75.0);
}

TEST(EpochText, ReportsTheFirstBadField) {
    EXPECT_EQ(parse_epoch_text("").error(), "Empty epoch string");
    EXPECT_EQ(parse_epoch_text("2024 03 05").error(),
              "Invalid epoch format: expected 6+ parts, got 3 in '2024 03 05'");
    EXPECT_EQ(parse_epoch_text("2024 -3 05 00 00 0.0").error(),
              "Invalid month '-3': invalid digit found in string");
    EXPECT_EQ(parse_epoch_text("2O24 3 05 00 00 0.0").error(),
              "Invalid year '2O24': invalid digit found in string");
    EXPECT_EQ(parse_epoch_text("2024 3 05 99999999999 00 0.0").error(),
              "Invalid hour '99999999999': number too large to fit in target type");
    EXPECT_EQ(parse_epoch_text("2024 3 05 1 00 x").error(),
              "Invalid second 'x': invalid float literal");
}

TEST(EpochArithmetic, DayNumbersAndDifferences) {
    EXPECT_DOUBLE_EQ(julian_day_number({2000, 1, 1, 0, 0, 0.0}), 2451545.0);
    EXPECT_DOUBLE_EQ(seconds_between({2024, 1, 1, 12, 0, 0.0}, {2023, 12, 31, 12, 0, 0.0}), 86400.0);
    EXPECT_DOUBLE_EQ(seconds_between({2024, 3, 1, 6, 0, 0.0}, {2024, 2, 28, 6, 0, 0.0}), 172800.0);
    EXPECT_LT(seconds_between({2023, 12, 31, 12, 0, 0.0}, {2024, 1, 1, 12, 0, 0.0}), 0.0);
    EXPECT_EQ(expand_two_digit_year(79), 2079);
    EXPECT_EQ(expand_two_digit_year(80), 1980);
}

TEST(EpochArithmetic, TimestampText) {
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 8, 9.5}), "2024-03-05T07:08:09.500Z");
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 8, 0.0}), "2024-03-05T07:08:00.000Z");
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 8, 59.9996}), "2024-03-05T07:08:60.000Z");
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 75, 1.0}), "2024-03-05T07:75:01.000Z");
    EXPECT_EQ(format_epoch_timestamp({987, 1, 2, 3, 4, 5.25}), "0987-01-02T03:04:05.250Z");
}

TEST(Numbers, FloatReading) {
    EXPECT_EQ(parse_float("45.250"), 45.25);
    EXPECT_EQ(parse_float("+1.5e3"), 1500.0);
    EXPECT_EQ(parse_float("-.5"), -0.5);
    EXPECT_EQ(parse_float("3."), 3.0);
    EXPECT_TRUE(std::isinf(*parse_float("inf")));
    EXPECT_TRUE(std::isinf(*parse_float("-Infinity")));
    EXPECT_TRUE(std::isnan(*parse_float("NaN")));
    EXPECT_TRUE(std::isinf(*parse_float("1e400")));
    EXPECT_EQ(parse_float("1e-400"), 0.0);
    for (const char* bad : {"", ".", "+", "1e", "1.5D3", " 1", "1 ", "0x10", "--1", "nan(1)", "1e+"}) {
        EXPECT_FALSE(parse_float(bad).has_value()) << bad;
    }
}

TEST(Numbers, IntegerReading) {
    EXPECT_EQ(parse_u32("+17"), 17u);
    EXPECT_FALSE(parse_u32("-1"));
    EXPECT_FALSE(parse_u32("4294967296"));
    EXPECT_EQ(parse_u32("4294967295"), 4294967295u);
    EXPECT_FALSE(parse_u8("256"));
    EXPECT_EQ(parse_i32("-2147483648"), INT32_MIN);
    EXPECT_FALSE(parse_i32("2147483648"));
    EXPECT_FALSE(parse_i32("-"));
}

TEST(Numbers, PlainAndFixedText) {
    EXPECT_EQ(format_plain(12.0), "12");
    EXPECT_EQ(format_plain(12.5), "12.5");
    EXPECT_EQ(format_plain(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(format_plain(1e20), "100000000000000000000");
    EXPECT_EQ(format_plain(1.5e-7), "0.00000015");
    EXPECT_EQ(format_plain(-0.0), "-0");
    EXPECT_EQ(format_fixed(3.04, 2), "3.04");
    EXPECT_EQ(format_fixed(2.0, 2), "2.00");
    EXPECT_EQ(format_fixed(std::nan(""), 1), "NaN");
}
