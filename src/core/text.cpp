#include "core/text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace qcn0 {

namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::optional<double> parse_float(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool negative = false;
    std::string_view body = s;
    if (body[0] == '+' || body[0] == '-') {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    if (body.empty()) return std::nullopt;
    char c = body[0];
    if (!is_digit(c) && c != '.') {
        // Only the special words may start with a letter.
        double v;
        if (iequals(body, "inf") || iequals(body, "infinity")) {
            v = std::numeric_limits<double>::infinity();
        } else if (iequals(body, "nan")) {
            v = std::numeric_limits<double>::quiet_NaN();
        } else {
            return std::nullopt;
        }
        return negative ? -v : v;
    }
    // Digits, optional fraction, optional exponent; a lone "." is not a number.
    std::size_t i = 0, n = body.size();
    std::size_t int_digits = 0, frac_digits = 0;
    while (i < n && is_digit(body[i])) ++i, ++int_digits;
    if (i < n && body[i] == '.') {
        ++i;
        while (i < n && is_digit(body[i])) ++i, ++frac_digits;
    }
    if (int_digits + frac_digits == 0) return std::nullopt;
    if (i < n && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < n && (body[i] == '+' || body[i] == '-')) ++i;
        std::size_t exp_digits = 0;
        while (i < n && is_digit(body[i])) ++i, ++exp_digits;
        if (exp_digits == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    double v = 0.0;
    auto res = std::from_chars(body.data(), body.data() + n, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars refuses magnitudes beyond the double range; a decimal reader rounds them to
        // infinity or zero. This is rare, so the slower C reader on a copy is fine here.
        std::string copy(body);
        v = std::strtod(copy.c_str(), nullptr);
    } else if (res.ec != std::errc() || res.ptr != body.data() + n) {
        return std::nullopt;
    }
    return negative ? -v : v;
}

std::optional<std::uint64_t> parse_unsigned(std::string_view s, std::uint64_t max) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (!is_digit(c)) return std::nullopt;
        std::uint64_t d = static_cast<std::uint64_t>(c - '0');
        if (v > (max - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

std::optional<std::int32_t> parse_i32(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    std::int64_t v = 0;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    for (char c : s) {
        if (!is_digit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > limit) return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -v : v);
}

std::string_view float_error_text(std::string_view s) {
    return s.empty() ? "cannot parse float from empty string" : "invalid float literal";
}

std::string_view integer_error_text(std::string_view s, bool is_signed, std::uint64_t max) {
    if (s.empty()) return "cannot parse integer from empty string";
    bool negative = false;
    std::string_view body = s;
    if (body[0] == '+' || (is_signed && body[0] == '-')) {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    if (body.empty()) return "invalid digit found in string";
    for (char c : body) {
        if (!is_digit(c)) return "invalid digit found in string";
    }
    // All digits: the value did not fit.
    (void)max;
    return negative ? "number too small to fit in target type" : "number too large to fit in target type";
}

std::string ascii_text(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 128) c = '?';
    }
    return out;
}

std::string format_fixed(double v, int decimals) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof buf) return std::string(buf, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%.*f", decimals, v);
    big.resize(static_cast<std::size_t>(n));
    return big;
}

std::string format_plain(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    // Shortest round-trip digits, then laid out without an exponent.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    bool negative = false;
    if (!sci.empty() && sci[0] == '-') {
        negative = true;
        sci.remove_prefix(1);
    }
    auto epos = sci.find('e');
    std::string_view mant = sci.substr(0, epos);
    int exp = std::atoi(std::string(sci.substr(epos + 1)).c_str());
    std::string digits;
    for (char c : mant) {
        if (c != '.') digits.push_back(c);
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out;
    if (negative) out.push_back('-');
    int point = exp + 1;  // digits before the decimal point
    if (digits == "0") {
        out += "0";
        return out;
    }
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out += digits;
    } else if (static_cast<std::size_t>(point) >= digits.size()) {
        out += digits;
        out.append(static_cast<std::size_t>(point) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(point));
        out.push_back('.');
        out += digits.substr(static_cast<std::size_t>(point));
    }
    return out;
}

}  // namespace qcn0
