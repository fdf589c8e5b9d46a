#include "results/json_buffer.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace qcn0 {

namespace {

char* write_zeros(char* p, int n) {
    std::memset(p, '0', static_cast<std::size_t>(n));
    return p + n;
}

char* write_exponent(char* p, int e) {
    *p++ = 'e';
    return std::to_chars(p, p + 8, e).ptr;
}

// Bytes a JSON string can carry as they are: everything but the control characters, the quote
// and the backslash.
constexpr std::array<bool, 256> kPlainByte = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[static_cast<std::size_t>(c)] = c >= 0x20 && c != '"' && c != '\\';
    }
    return t;
}();

}  // namespace

std::size_t write_json_number(double v, char* out) {
    if (!std::isfinite(v)) {
        std::memcpy(out, "null", 4);
        return 4;
    }
    char* p = out;
    if (std::signbit(v)) {
        *p++ = '-';
        v = -v;
    }
    if (v == 0.0) {
        std::memcpy(p, "0.0", 3);
        return static_cast<std::size_t>(p + 3 - out);
    }

    // Shortest round-trip digits in the form d[.ddd]e(+|-)XX.
    char sci[kJsonNumberMaxLength];
    const char* end = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
    char digits[20];
    int n = 0;
    const char* s = sci;
    digits[n++] = *s++;
    if (*s == '.') {
        ++s;
        while (*s != 'e') digits[n++] = *s++;
    }
    while (n > 1 && digits[n - 1] == '0') --n;
    ++s;  // 'e'
    const bool negative_exponent = *s == '-';
    ++s;
    int e = 0;
    while (s < end) e = e * 10 + (*s++ - '0');
    if (negative_exponent) e = -e;
    const int point = e + 1;  // p: the value is 0.d1..dn x 10^p

    if (point >= n && point <= 16) {
        std::memcpy(p, digits, static_cast<std::size_t>(n));
        p = write_zeros(p + n, point - n);
        std::memcpy(p, ".0", 2);
        p += 2;
    } else if (point > 0 && point <= 16) {
        std::memcpy(p, digits, static_cast<std::size_t>(point));
        p += point;
        *p++ = '.';
        std::memcpy(p, digits + point, static_cast<std::size_t>(n - point));
        p += n - point;
    } else if (point > -5 && point <= 0) {
        *p++ = '0';
        *p++ = '.';
        p = write_zeros(p, -point);
        std::memcpy(p, digits, static_cast<std::size_t>(n));
        p += n;
    } else {
        *p++ = digits[0];
        if (n > 1) {
            *p++ = '.';
            std::memcpy(p, digits + 1, static_cast<std::size_t>(n - 1));
            p += n - 1;
        }
        p = write_exponent(p, point - 1);
    }
    return static_cast<std::size_t>(p - out);
}

void JsonBuffer::count(std::uint64_t v) {
    char* p = room(20);
    pos_ += static_cast<std::size_t>(std::to_chars(p, p + 20, v).ptr - p);
}

void JsonBuffer::string(std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Worst case every byte becomes \u00XX, plus the quotes: one room check for the whole text.
    char* p = room(s.size() * 6 + 2);
    char* const start = p;
    *p++ = '"';
    const auto* b = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const e = b + s.size();
    while (b < e) {
        const auto* run = b;
        while (b < e && kPlainByte[*b]) ++b;
        std::memcpy(p, run, static_cast<std::size_t>(b - run));
        p += b - run;
        if (b == e) break;
        const unsigned char c = *b++;
        *p++ = '\\';
        switch (c) {
            case '"': *p++ = '"'; break;
            case '\\': *p++ = '\\'; break;
            case '\b': *p++ = 'b'; break;
            case '\f': *p++ = 'f'; break;
            case '\n': *p++ = 'n'; break;
            case '\r': *p++ = 'r'; break;
            case '\t': *p++ = 't'; break;
            default:
                std::memcpy(p, "u00", 3);
                p[3] = kHex[c >> 4];
                p[4] = kHex[c & 0xF];
                p += 5;
        }
    }
    *p++ = '"';
    pos_ += static_cast<std::size_t>(p - start);
}

void JsonBuffer::line_break(int depth) {
    static constexpr std::string_view kSpaces =
        "                                                                ";
    std::size_t width = static_cast<std::size_t>(depth) * 2;
    put('\n');
    while (width > 0) {
        const std::size_t chunk = std::min(width, kSpaces.size());
        put(kSpaces.substr(0, chunk));
        width -= chunk;
    }
}

void JsonBuffer::grow(std::size_t n) {
    buf_.resize(std::max(buf_.size() * 2, pos_ + n));
}

std::string json_number_text(double v) {
    JsonBuffer b(kJsonNumberMaxLength);
    b.number(v);
    return std::move(b).take();
}

std::string json_string_text(std::string_view s) {
    JsonBuffer b(s.size() + 2);
    b.string(s);
    return std::move(b).take();
}

}  // namespace qcn0
