// Small text helpers for fixed-column RINEX fields: trimming, column cuts and number parsing
// that never allocates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qcn0 {

// The whitespace set of RINEX text: blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_space(s[b])) ++b;
    while (e > b && is_space(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Columns a..b of a line, cut short by the end of the line (empty when the line ends before a).
constexpr std::string_view columns(std::string_view line, std::size_t a, std::size_t b) {
    if (a >= line.size()) return {};
    if (b > line.size()) b = line.size();
    return line.substr(a, b - a);
}
constexpr std::string_view columns_from(std::string_view line, std::size_t a) {
    if (a >= line.size()) return {};
    return line.substr(a);
}

// Calls f(piece) for every run of non-whitespace characters.
template <typename F>
void for_each_word(std::string_view s, F&& f) {
    std::size_t i = 0, n = s.size();
    while (i < n) {
        while (i < n && is_space(s[i])) ++i;
        if (i >= n) break;
        std::size_t j = i;
        while (j < n && !is_space(s[j])) ++j;
        f(s.substr(i, j - i));
        i = j;
    }
}

// Decimal float: optional sign, digits with an optional fraction and exponent, or the words
// inf, infinity and nan (any case). The whole text must be used; no surrounding blanks.
std::optional<double> parse_float(std::string_view s);

// Unsigned decimal integer: optional '+', then digits only; fails on overflow of the type.
std::optional<std::uint64_t> parse_unsigned(std::string_view s, std::uint64_t max);
inline std::optional<std::uint32_t> parse_u32(std::string_view s) {
    auto v = parse_unsigned(s, UINT32_MAX);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}
inline std::optional<std::uint8_t> parse_u8(std::string_view s) {
    auto v = parse_unsigned(s, UINT8_MAX);
    if (!v) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}
// Signed 32-bit decimal integer: optional '+' or '-', then digits only.
std::optional<std::int32_t> parse_i32(std::string_view s);

// The description of a failed number parse, as reported in epoch messages.
std::string_view float_error_text(std::string_view s);
std::string_view integer_error_text(std::string_view s, bool is_signed, std::uint64_t max);

// Text of a file as this system sees it: bytes of 128 or more read as '?'.
std::string ascii_text(std::string_view bytes);

// Fixed-notation formatting with a number of decimals, as "{:.N}" prints a float.
std::string format_fixed(double v, int decimals);
// A float as it prints without a format: shortest round-trip text, whole numbers without ".0"
// (12.0 prints 12, 12.5 prints 12.5).
std::string format_plain(double v);

}  // namespace qcn0
