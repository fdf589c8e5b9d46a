#include "compression/rinex_decimal_text.hpp"

#include <cstring>

namespace qcn0 {

namespace {

using decimal_text_detail::write_two_digits;

// Writes `decimals` digits of the fraction, then the point and the integer part (none when it
// is zero), then the sign, backwards from `end`; returns where the text starts.
char* write_scaled_backwards(char* end, std::uint64_t magnitude, int decimals, bool negative) {
    char* p = end;
    for (int left = decimals; left > 0; --left) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = '.';
    while (magnitude >= 100) {
        const std::uint64_t rest = magnitude / 100;
        p -= 2;
        write_two_digits(p, static_cast<std::uint32_t>(magnitude - rest * 100));
        magnitude = rest;
    }
    if (magnitude >= 10) {
        p -= 2;
        write_two_digits(p, static_cast<std::uint32_t>(magnitude));
    } else if (magnitude > 0) {
        *--p = static_cast<char>('0' + magnitude);
    }
    if (negative) *--p = '-';
    return p;
}

}  // namespace

void write_clock_offset(char* out, std::int64_t units, const ClockLayout& layout) {
    constexpr std::uint64_t kQuirkStep = 100'000'000;
    std::uint64_t magnitude = units < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(units)
                                        : static_cast<std::uint64_t>(units);
    // The reference decoder prints negative offsets in two parts split at 10^8 units and loses
    // one step of the upper part when the lower part is zero; decoded files reproduce that.
    if (units < 0 && magnitude % kQuirkStep == 0) magnitude -= kQuirkStep;
    char* end = out + layout.width;
    char* start = write_scaled_backwards(end, magnitude, layout.decimals, units < 0);
    std::memset(out, ' ', static_cast<std::size_t>(start - out));
}

}  // namespace qcn0
