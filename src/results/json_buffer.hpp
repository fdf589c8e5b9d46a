// The growing text buffer the JSON document is written into, and the text forms of JSON values.
//
// Everything is written straight into one std::string: numbers are laid out from their shortest
// round-trip digits in place, strings are copied in runs between escapes, and nothing allocates
// per value. The string is kept larger than the text written so far, so a write only checks the
// room left; take() cuts it to the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace qcn0 {

// Longest text write_json_number can produce ("-1.2345678901234567e-308" and the like).
constexpr std::size_t kJsonNumberMaxLength = 32;

// A finite number in its shortest round-trip digits d1..dn with value 0.d1..dn x 10^p, laid out as:
//   whole numbers below 10^16       digits, p - n zeros, ".0"      (45.0, 1000000000000000.0)
//   0 < p <= 16                     point after the p-th digit     (12.34)
//   -5 < p <= 0                     "0.", -p zeros, the digits     (0.001234, 0.00001)
//   one digit otherwise             digit, "e", p - 1              (1e16, 1e-6, 5e-324)
//   several digits otherwise        d1 "." d2..dn "e" p - 1        (1.5e16, 1.234e-7)
// Zero is 0.0 (-0.0 for negative zero); NaN and the infinities are null, JSON having no form for
// them. Writes at most kJsonNumberMaxLength bytes and returns the length.
std::size_t write_json_number(double v, char* out);

class JsonBuffer {
public:
    explicit JsonBuffer(std::size_t capacity = 4096) { buf_.resize(capacity < 64 ? 64 : capacity); }

    void put(char c) { *room(1) = c; ++pos_; }
    void put(std::string_view s) {
        std::memcpy(room(s.size()), s.data(), s.size());
        pos_ += s.size();
    }
    void number(double v) { pos_ += write_json_number(v, room(kJsonNumberMaxLength)); }
    void count(std::uint64_t v);
    void flag(bool b) { put(b ? std::string_view("true") : std::string_view("false")); }
    void null() { put(std::string_view("null")); }
    // A JSON string: quote and backslash escaped, b f n r t for their control characters, the
    // other control characters as \u00XX; every other byte (UTF-8 sequences, '/') as it is.
    void string(std::string_view s);
    // A line break followed by two spaces per level.
    void line_break(int depth);

    std::size_t size() const { return pos_; }
    std::string take() && {
        buf_.resize(pos_);
        return std::move(buf_);
    }

private:
    char* room(std::size_t n) {
        if (buf_.size() - pos_ < n) grow(n);
        return buf_.data() + pos_;
    }
    void grow(std::size_t n);

    std::string buf_;
    std::size_t pos_ = 0;
};

// Single values in their JSON text, for callers that need one value rather than a document.
std::string json_number_text(double v);
std::string json_string_text(std::string_view s);

}  // namespace qcn0
