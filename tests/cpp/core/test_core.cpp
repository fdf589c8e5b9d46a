// Constellation names, epoch text and arithmetic, numbers as text, file names and reads.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "core/epoch_time.hpp"
#include "core/file_io.hpp"
#include "core/systems.hpp"
#include "core/text.hpp"

using namespace qcn0;

TEST(Systems, NamesAndLetters) {
    std::string names;
    for (char c : std::string("GRECJSIgX")) {
        names += std::string(system_name(c)) + "/" + std::string(observed_system_name(c)) + "/" +
                 std::string(system_group_name(c)) + ",";
    }
    EXPECT_EQ(names, "GPS/GPS/GPS,GLONASS/GLONASS/GLONASS,Galileo/Galileo/Galileo,BeiDou/BeiDou/BeiDou,QZSS/QZSS/Other,"
                     "SBAS/SBAS/Other,Unknown/IRNSS/Other,Unknown/g/Other,Unknown/X/Other,");
    std::string letters;
    for (const char* name : {"GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "SBAS", "IRNSS", "GALILEO", "E"})
        letters += std::string(system_letter_from_name(name)) + ",";
    EXPECT_EQ(letters, "G,R,E,C,J,S,I,GALILEO,E,");
}

TEST(EpochText, FieldsAndTheFirstBadOne) {
    EXPECT_EQ(parse_epoch_text("2024  3  5  7  8  9.5000000  0 12").value(), (EpochTime{2024, 3, 5, 7, 8, 9.5}));
    EXPECT_EQ(parse_epoch_text("2024 13 40 25 61 75.0").value(), (EpochTime{2024, 13, 40, 25, 61, 75.0}));
    const std::pair<const char*, const char*> bad[] = {
        {"", "Empty epoch string"}, {"2024 03 05", "Invalid epoch format: expected 6+ parts, got 3 in '2024 03 05'"},
        {"2O24 3 05 00 00 0.0", "Invalid year '2O24': invalid digit found in string"},
        {"2024 -3 05 00 00 0.0", "Invalid month '-3': invalid digit found in string"},
        {"2024 3 x 00 00 0.0", "Invalid day 'x': invalid digit found in string"},
        {"2024 3 05 99999999999 00 0.0", "Invalid hour '99999999999': number too large to fit in target type"},
        {"2024 3 05 1 y 0.0", "Invalid minute 'y': invalid digit found in string"},
        {"2024 3 05 1 00 x", "Invalid second 'x': invalid float literal"},
    };
    for (const auto& [text, error] : bad) EXPECT_EQ(parse_epoch_text(text).error(), error);
}

TEST(EpochArithmetic, DayNumbersDifferencesAndTimestamps) {
    EXPECT_DOUBLE_EQ(julian_day_number({2000, 1, 1, 0, 0, 0.0}), 2451545.0);
    EXPECT_DOUBLE_EQ(julian_day_number({2024, 3, 1, 18, 0, 0.0}), 2460371.75);
    EXPECT_NEAR(seconds_between({2024, 3, 1, 6, 0, 0.0}, {2024, 2, 28, 6, 0, 30.0}), 172770.0, 1e-4);
    EXPECT_DOUBLE_EQ(seconds_between({2023, 12, 31, 12, 0, 0.0}, {2024, 1, 1, 12, 0, 0.0}), -86400.0);
    EXPECT_EQ(expand_two_digit_year(79) + expand_two_digit_year(80) + expand_two_digit_year(0), 2079 + 1980 + 2000);
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 8, 9.5}), "2024-03-05T07:08:09.500Z");
    EXPECT_EQ(format_epoch_timestamp({2024, 3, 5, 7, 8, 59.9996}), "2024-03-05T07:08:60.000Z");
    EXPECT_EQ(format_epoch_timestamp({987, 1, 2, 3, 75, 5.25}), "0987-01-02T03:75:05.250Z");
}

TEST(Numbers, ReadingAndWriting) {
    for (const auto& [text, value] : std::vector<std::pair<const char*, double>>{
             {"45.250", 45.25}, {"+1.5e3", 1500.0}, {"-.5", -0.5}, {"3.", 3.0}, {"1e-400", 0.0}, {"1e400", INFINITY},
             {"-Infinity", -INFINITY}, {"inf", INFINITY}}) {
        EXPECT_EQ(parse_float(text), value) << text;
    }
    EXPECT_TRUE(std::isnan(*parse_float("NaN")));
    for (const char* bad : {"", ".", "+", "1e", "1.5D3", " 1", "1 ", "0x10", "--1", "nan(1)", "1e+"})
        EXPECT_FALSE(parse_float(bad).has_value()) << bad;
    EXPECT_EQ(parse_u32("+17"), 17u);
    EXPECT_EQ(parse_u32("4294967295"), 4294967295u);
    EXPECT_FALSE(parse_u32("-1") || parse_u32("4294967296") || parse_u8("256") || parse_i32("2147483648") || parse_i32("-"));
    EXPECT_EQ(parse_u8("255"), 255);
    EXPECT_EQ(parse_i32("-2147483648"), INT32_MIN);
    EXPECT_EQ(format_plain(12.0) + " " + format_plain(12.5) + " " + format_plain(0.1 + 0.2) + " " + format_plain(1e20) +
                  " " + format_plain(1.5e-7) + " " + format_plain(-0.0),
              "12 12.5 0.30000000000000004 100000000000000000000 0.00000015 -0");
    EXPECT_EQ(format_fixed(3.04, 2) + format_fixed(2.0, 2) + format_fixed(std::nan(""), 1), "3.042.00NaN");
}

TEST(Files, NamesReadsAndText) {
    const std::pair<const char*, const char*> names[] = {
        {"/data/site.obs", "site.obs"}, {"data/obs//", "obs"}, {"./site.obs", "site.obs"}, {"data/./", "data"},
        {"a/../b.obs", "b.obs"}, {"...", "..."}, {"caf\xC3\xA9.obs", "caf\xC3\xA9.obs"}, {"..", "unknown.obs"},
        {"data/../", "unknown.obs"}, {"//", "unknown.obs"}, {"/.", "unknown.obs"}, {"", "unknown.obs"},
        {"data/\xFF.obs", "unknown.obs"}, {"\xC3(.obs", "unknown.obs"}};
    for (const auto& [path, name] : names) EXPECT_EQ(file_name_of(path), name) << path;
    for (const char* good : {"", "plain", "\xC2\xB0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) EXPECT_TRUE(is_valid_utf8(good));
    for (const char* bad : {"\xC0\x80", "\xC1\xBF", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82", "\x80", "\xE2\x28\xA1"})
        EXPECT_FALSE(is_valid_utf8(bad)) << bad;
    const auto dir = std::filesystem::temp_directory_path() / ("qcn0_io_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string ten = (dir / "ten.obs").string();
    std::ofstream(ten, std::ios::binary) << std::string("01\r\n\0\xB0\xFF" "789", 10);
    EXPECT_EQ(read_file(ten, 10).value(), std::string("01\r\n\0\xB0\xFF" "789", 10));
    // Beyond the limit is an error, also for a device without end that has no size beforehand.
    for (std::size_t limit : {0, 1000, 65536, 300000}) EXPECT_EQ(read_file("/dev/zero", limit).error(), "File too large (os error 27)");
    EXPECT_EQ(read_file(ten, 9).error() + os_error_text(13), "File too large (os error 27)Permission denied (os error 13)");
    std::filesystem::remove_all(dir);
    EXPECT_EQ(ascii_text(std::string("25\xB0" "C \xC2\xB0\x7F\x00", 9)), std::string("25?C ??\x7F\x00", 9));
}
