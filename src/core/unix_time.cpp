#include "core/unix_time.hpp"

#include <charconv>
#include <cmath>

namespace qcn0 {

namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The integer part of julian_day_number: the same formula in exact arithmetic.
std::int64_t day_number(std::int64_t year, std::int64_t month, std::int64_t day) {
    const std::int64_t a = floor_div(14 - month, 12);
    const std::int64_t y = year + 4800 - a;
    const std::int64_t m = month + 12 * a - 3;
    return day + floor_div(153 * m + 2, 5) + 365 * y + floor_div(y, 4) - floor_div(y, 100) +
           floor_div(y, 400) - 32045;
}

constexpr std::int64_t kUnixDayNumber = 2440588;  // day number of 1970-01-01

}  // namespace

std::int64_t unix_nanoseconds(const EpochTime& t) {
    // Month and day are unsigned 32-bit fields; in 64-bit arithmetic none of the terms below can
    // overflow before the range test.
    const std::int64_t days = day_number(t.year, t.month, t.day) - kUnixDayNumber;
    const std::int64_t whole = days * 86400 + static_cast<std::int64_t>(t.hour) * 3600 +
                               static_cast<std::int64_t>(t.minute) * 60;
    // The range test is done in floating point, with a margin, before any integer product or
    // conversion; a second that is infinite or not a number fails it too.
    const double approx = (static_cast<double>(whole) + t.second) * 1e9;
    if (!(std::fabs(approx) < 9.2e18)) return kNotATime;
    const double frac_ns = std::nearbyint(t.second * 1e9);
    std::int64_t ns = 0;
    if (__builtin_mul_overflow(whole, std::int64_t{1000000000}, &ns) ||
        __builtin_add_overflow(ns, static_cast<std::int64_t>(frac_ns), &ns) || ns == kNotATime) {
        return kNotATime;
    }
    return ns;
}

std::int64_t unix_nanoseconds(std::string_view s) {
    // Fields end at these separators, in this order; the year may carry a sign.
    static constexpr char kEnds[] = {'-', '-', 'T', ':', ':'};
    std::int64_t fields[5] = {};
    std::size_t pos = 0;
    for (int i = 0; i < 5; ++i) {
        const std::size_t start = pos;
        if (i == 0 && pos < s.size() && s[pos] == '-') ++pos;
        const std::size_t end = s.find(kEnds[i], pos);
        if (end == std::string_view::npos || end == pos) return kNotATime;
        auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + end, fields[i]);
        if (ec != std::errc() || ptr != s.data() + end) return kNotATime;
        if (i > 0 && fields[i] < 0) return kNotATime;
        pos = end + 1;
    }
    if (s.size() < pos + 2 || s.back() != 'Z') return kNotATime;
    double second = 0.0;
    const char* last = s.data() + s.size() - 1;
    auto [ptr, ec] = std::from_chars(s.data() + pos, last, second);
    if (ec != std::errc() || ptr != last) return kNotATime;
    if (fields[0] < INT32_MIN || fields[0] > INT32_MAX) return kNotATime;
    for (int i = 1; i < 5; ++i) {
        if (fields[i] > UINT32_MAX) return kNotATime;
    }
    EpochTime t;
    t.year = static_cast<std::int32_t>(fields[0]);
    t.month = static_cast<std::uint32_t>(fields[1]);
    t.day = static_cast<std::uint32_t>(fields[2]);
    t.hour = static_cast<std::uint32_t>(fields[3]);
    t.minute = static_cast<std::uint32_t>(fields[4]);
    t.second = second;
    return unix_nanoseconds(t);
}

}  // namespace qcn0
