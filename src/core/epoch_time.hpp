// A calendar epoch exactly as written in a RINEX file, and the arithmetic on it. No field is
// checked against the calendar and no time-scale conversion ever happens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/expected.hpp"

namespace qcn0 {

struct EpochTime {
    std::int32_t year = 0;
    std::uint32_t month = 0;
    std::uint32_t day = 0;
    std::uint32_t hour = 0;
    std::uint32_t minute = 0;
    double second = 0.0;

    bool operator==(const EpochTime&) const = default;
};

// RINEX 2 two-digit years: below 80 is 20yy, otherwise 19yy.
constexpr std::int32_t expand_two_digit_year(std::int32_t yy) { return yy < 80 ? 2000 + yy : 1900 + yy; }

// Whitespace-separated "year month day hour minute second [...]" (a RINEX 3 epoch line body).
Expected<EpochTime> parse_epoch_text(std::string_view text);

// Julian day number of the date (the day that begins at noon) plus the fraction of the day since
// midnight.
double julian_day_number(const EpochTime& t);

// Seconds from b to a, positive when a is later.
double seconds_between(const EpochTime& a, const EpochTime& b);

// Length of the timestamp text for years of four digits.
constexpr std::size_t kTimestampLength = 24;
// Room for any timestamp text, even of a second written with hundreds of digits.
constexpr std::size_t kTimestampBuffer = 400;
// YYYY-MM-DDTHH:MM:SS.sssZ. Writes into out (kTimestampBuffer bytes) and returns the length.
std::size_t format_epoch_timestamp(const EpochTime& t, char* out);
std::string format_epoch_timestamp(const EpochTime& t);

}  // namespace qcn0
