#include "compression/rinex_decimal_text.hpp"

#include <cstring>

namespace qcn0 {

namespace {

// Writes magnitude / 10^decimals as "[-][int].frac" ending just before `end`, with no digit
// before the point when the integer part is zero, and returns where the text starts.
char* write_scaled_backwards(char* end, std::uint64_t magnitude, int decimals, bool negative) {
    char* p = end;
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = '.';
    while (magnitude != 0) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (negative) *--p = '-';
    return p;
}

std::uint64_t magnitude_of(std::int64_t v) {
    return v < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

}  // namespace

void write_observation_value(char* out, std::int64_t thousandths) {
    char* end = out + 14;
    char* start = write_scaled_backwards(end, magnitude_of(thousandths), 3, thousandths < 0);
    std::memset(out, ' ', static_cast<std::size_t>(start - out));
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
