#include "compression/rinex_decimal_text.hpp"

#include <array>
#include <cstring>

namespace qcn0 {

namespace {

// "00" to "99", so that numbers are written two digits per division.
constexpr std::array<char, 200> make_digit_pairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
constexpr std::array<char, 200> kDigitPairs = make_digit_pairs();

// Writes `decimals` digits of the fraction, then the point and the integer part (none when it
// is zero), then the sign, backwards from `end`; returns where the text starts.
char* write_scaled_backwards(char* end, std::uint64_t magnitude, int decimals, bool negative) {
    char* p = end;
    int left = decimals;
    while (left >= 2) {
        const std::uint64_t rest = magnitude / 100;
        p -= 2;
        std::memcpy(p, &kDigitPairs[2 * (magnitude - rest * 100)], 2);
        magnitude = rest;
        left -= 2;
    }
    if (left == 1) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = '.';
    while (magnitude >= 100) {
        const std::uint64_t rest = magnitude / 100;
        p -= 2;
        std::memcpy(p, &kDigitPairs[2 * (magnitude - rest * 100)], 2);
        magnitude = rest;
    }
    if (magnitude >= 10) {
        p -= 2;
        std::memcpy(p, &kDigitPairs[2 * magnitude], 2);
    } else if (magnitude > 0) {
        *--p = static_cast<char>('0' + magnitude);
    }
    if (negative) *--p = '-';
    return p;
}

std::uint64_t magnitude_of(std::int64_t v) {
    return v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// Writes exactly four digits of `v` (below 10000) at `p`.
inline void write_four_digits(char* p, std::uint32_t v) {
    const std::uint32_t high = v / 100;
    std::memcpy(p, &kDigitPairs[2 * high], 2);
    std::memcpy(p + 2, &kDigitPairs[2 * (v - high * 100)], 2);
}

}  // namespace

// The hot path of decoding: one call per observation. Working in 32-bit pieces of at most
// eight digits keeps the divisions cheap.
void write_observation_value(char* out, std::int64_t thousandths) {
    const std::uint64_t magnitude = magnitude_of(thousandths);
    const std::uint64_t whole = magnitude / 1000;
    const auto fraction = static_cast<std::uint32_t>(magnitude - whole * 1000);
    char* p = out + 10;
    p[0] = '.';
    p[1] = static_cast<char>('0' + fraction / 100);
    std::memcpy(p + 2, &kDigitPairs[2 * (fraction % 100)], 2);
    if (whole != 0) {
        std::uint64_t rest = whole;
        if (rest >= 100'000'000) {
            const auto low = static_cast<std::uint32_t>(rest % 100'000'000);
            rest /= 100'000'000;
            p -= 8;
            write_four_digits(p, low / 10000);
            write_four_digits(p + 4, low % 10000);
        }
        auto small = static_cast<std::uint32_t>(rest);
        while (small >= 100) {
            const std::uint32_t high = small / 100;
            p -= 2;
            std::memcpy(p, &kDigitPairs[2 * (small - high * 100)], 2);
            small = high;
        }
        if (small >= 10) {
            p -= 2;
            std::memcpy(p, &kDigitPairs[2 * small], 2);
        } else if (small > 0) {
            *--p = static_cast<char>('0' + small);
        }
    }
    if (thousandths < 0) *--p = '-';
    std::memset(out, ' ', static_cast<std::size_t>(p - out));
}

void write_clock_offset(char* out, std::int64_t units, const ClockLayout& layout) {
    constexpr std::uint64_t kQuirkStep = 100'000'000;
    std::uint64_t magnitude = magnitude_of(units);
    // The reference decoder prints negative offsets in two parts split at 10^8 units and loses
    // one step of the upper part when the lower part is zero; decoded files reproduce that.
    if (units < 0 && magnitude % kQuirkStep == 0) magnitude -= kQuirkStep;
    char* end = out + layout.width;
    char* start = write_scaled_backwards(end, magnitude, layout.decimals, units < 0);
    std::memset(out, ' ', static_cast<std::size_t>(start - out));
}

}  // namespace qcn0
