// Writing the scaled integers of Compact RINEX back as RINEX decimal text.
//
// Compact RINEX carries every observation as an integer count of thousandths and the receiver
// clock offset as an integer count of nanoseconds (RINEX 2) or picoseconds (RINEX 3). Turning
// them back into text follows the way the reference decoder writes them, so that decoded files
// are byte-identical to its output: no leading zero before the decimal point (".250",
// "-.005"), and a negative clock offset that is a whole multiple of 10^8 units printed 10^8
// units closer to zero (-0.5 s prints as "-.400000000").
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace qcn0 {

namespace decimal_text_detail {

// "00" to "99", so that numbers are written two digits per division.
constexpr std::array<char, 200> make_digit_pairs() {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
inline constexpr std::array<char, 200> kDigitPairs = make_digit_pairs();

inline void write_two_digits(char* p, std::uint32_t v) {
    std::memcpy(p, &kDigitPairs[2 * v], 2);
}

inline void write_four_digits(char* p, std::uint32_t v) {
    const std::uint32_t high = v / 100;
    write_two_digits(p, high);
    write_two_digits(p + 2, v - high * 100);
}

}  // namespace decimal_text_detail

// The range an observation field (F14.3) can hold, in thousandths.
inline constexpr std::int64_t kMinObservationValue = -999'999'999'999;
inline constexpr std::int64_t kMaxObservationValue = 9'999'999'999'999;

// Writes `thousandths` right-aligned into exactly 14 characters at `out`. The value must lie
// within [kMinObservationValue, kMaxObservationValue]. Inline: decoding calls it once per
// observation, and working in 32-bit pieces of at most eight digits keeps divisions cheap.
inline void write_observation_value(char* out, std::int64_t thousandths) {
    using namespace decimal_text_detail;
    std::memcpy(out, "              ", 14);
    const std::uint64_t magnitude = thousandths < 0
                                        ? std::uint64_t{0} - static_cast<std::uint64_t>(thousandths)
                                        : static_cast<std::uint64_t>(thousandths);
    const std::uint64_t whole = magnitude / 1000;
    const auto fraction = static_cast<std::uint32_t>(magnitude - whole * 1000);
    char* p = out + 10;
    p[0] = '.';
    p[1] = static_cast<char>('0' + fraction / 100);
    write_two_digits(p + 2, fraction % 100);
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
        write_two_digits(p, small - high * 100);
        small = high;
    }
    if (small >= 10) {
        p -= 2;
        write_two_digits(p, small);
    } else if (small > 0) {
        *--p = static_cast<char>('0' + small);
    }
    if (thousandths < 0) p[-1] = '-';
}

// The layout of the receiver clock offset on a RINEX epoch line.
struct ClockLayout {
    int decimals;  // 9 (RINEX 2, F12.9) or 12 (RINEX 3, F15.12)
    int width;     // 12 or 15
    std::int64_t min_value;
    std::int64_t max_value;
};
inline constexpr ClockLayout kRinex2Clock{9, 12, -10'000'000'000, 99'999'999'999};
inline constexpr ClockLayout kRinex3Clock{12, 15, -10'000'000'000'000, 99'999'999'999'999};

// Writes the clock offset right-aligned into exactly `layout.width` characters at `out`. The
// value must lie within the layout's range.
void write_clock_offset(char* out, std::int64_t units, const ClockLayout& layout);

}  // namespace qcn0
