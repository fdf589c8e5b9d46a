#include "core/epoch_time.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/text.hpp"

namespace qcn0 {

namespace {

Error field_error(const char* what, std::string_view piece, std::string_view why) {
    std::string m = "Invalid ";
    m += what;
    m += " '";
    m += piece;
    m += "': ";
    m += why;
    return Error{std::move(m)};
}

}  // namespace

Expected<EpochTime> parse_epoch_text(std::string_view text) {
    if (text.empty()) return Error{"Empty epoch string"};
    std::string_view parts[6];
    std::size_t count = 0;
    for_each_word(text, [&](std::string_view w) {
        if (count < 6) parts[count] = w;
        ++count;
    });
    if (count < 6) {
        std::string m = "Invalid epoch format: expected 6+ parts, got " + std::to_string(count) +
                        " in '" + std::string(text) + "'";
        return Error{std::move(m)};
    }
    EpochTime t;
    auto year = parse_i32(parts[0]);
    if (!year) return field_error("year", parts[0], integer_error_text(parts[0], true, 0));
    t.year = *year;
    static const char* const names[4] = {"month", "day", "hour", "minute"};
    std::uint32_t* fields[4] = {&t.month, &t.day, &t.hour, &t.minute};
    for (int i = 0; i < 4; ++i) {
        auto v = parse_u32(parts[i + 1]);
        if (!v) {
            return field_error(names[i], parts[i + 1],
                                    integer_error_text(parts[i + 1], false, UINT32_MAX));
        }
        *fields[i] = *v;
    }
    auto sec = parse_float(parts[5]);
    if (!sec) return field_error("second", parts[5], float_error_text(parts[5]));
    t.second = *sec;
    return t;
}

double julian_day_number(const EpochTime& t) {
    const double month = static_cast<double>(t.month);
    const double a = std::floor((14.0 - month) / 12.0);
    const double y = static_cast<double>(t.year) + 4800.0 - a;
    const double m = month + 12.0 * a - 3.0;
    const double fraction =
        (t.second + static_cast<double>(t.hour) * 3600.0 + static_cast<double>(t.minute) * 60.0) /
        86400.0;
    return static_cast<double>(t.day) + fraction + std::floor((153.0 * m + 2.0) / 5.0) + 365.0 * y +
           std::floor(y / 4.0) - std::floor(y / 100.0) + std::floor(y / 400.0) - 32045.0;
}

double seconds_between(const EpochTime& a, const EpochTime& b) {
    return 86400.0 * (julian_day_number(a) - julian_day_number(b));
}

namespace {

// Writes v zero-padded to at least width digits; returns the number of characters.
std::size_t put_unsigned(char* out, std::uint64_t v, std::size_t width) {
    char tmp[24];
    std::size_t n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    std::size_t len = 0;
    for (std::size_t i = n; i < width; ++i) out[len++] = '0';
    while (n > 0) out[len++] = tmp[--n];
    return len;
}

}  // namespace

std::size_t format_epoch_timestamp(const EpochTime& t, char* out) {
    std::size_t len = 0;
    if (t.year < 0) {
        // Zero padding counts the sign in the width, as "{:04}" does.
        out[len++] = '-';
        len += put_unsigned(out + len, static_cast<std::uint64_t>(-static_cast<std::int64_t>(t.year)), 3);
    } else {
        len += put_unsigned(out + len, static_cast<std::uint64_t>(t.year), 4);
    }
    out[len++] = '-';
    len += put_unsigned(out + len, t.month, 2);
    out[len++] = '-';
    len += put_unsigned(out + len, t.day, 2);
    out[len++] = 'T';
    len += put_unsigned(out + len, t.hour, 2);
    out[len++] = ':';
    len += put_unsigned(out + len, t.minute, 2);
    out[len++] = ':';
    const double s = t.second;
    if (s >= 0.0 && s < 1e9) {
        // Fast path: the usual seconds of a minute, rounded to milliseconds exactly as printf
        // rounds (to_chars gives the correctly rounded fixed form), zero-padded to six.
        char buf[40];
        auto res = std::to_chars(buf, buf + sizeof buf, s, std::chars_format::fixed, 3);
        const auto n = static_cast<std::size_t>(res.ptr - buf);
        for (std::size_t i = n; i < 6; ++i) out[len++] = '0';
        for (std::size_t i = 0; i < n; ++i) out[len++] = buf[i];
    } else {
        std::string txt = format_fixed(s, 3);
        if (std::isfinite(s)) {
            // "{:06.3}" pads with zeros after the sign.
            std::string body = txt[0] == '-' ? txt.substr(1) : txt;
            std::size_t width = txt[0] == '-' ? 5 : 6;
            if (txt[0] == '-') out[len++] = '-';
            for (std::size_t i = body.size(); i < width; ++i) out[len++] = '0';
            for (char c : body) {
                out[len++] = c;
            }
        } else {
            // Non-finite seconds print as their words, right-aligned with blanks.
            for (std::size_t i = txt.size(); i < 6; ++i) out[len++] = ' ';
            for (char c : txt) out[len++] = c;
        }
    }
    out[len++] = 'Z';
    return len;
}

std::string format_epoch_timestamp(const EpochTime& t) {
    char buf[kTimestampBuffer];
    std::size_t n = format_epoch_timestamp(t, buf);
    return std::string(buf, n);
}

}  // namespace qcn0
