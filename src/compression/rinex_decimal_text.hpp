// Writing the scaled integers of Compact RINEX back as RINEX decimal text.
//
// Compact RINEX carries every observation as an integer count of thousandths and the receiver
// clock offset as an integer count of nanoseconds (RINEX 2) or picoseconds (RINEX 3). Turning
// them back into text follows the way the reference decoder writes them, so that decoded files
// are byte-identical to its output: no leading zero before the decimal point (".250",
// "-.005"), and a negative clock offset that is a whole multiple of 10^8 units printed 10^8
// units closer to zero (-0.5 s prints as "-.400000000").
#pragma once

#include <cstdint>

namespace qcn0 {

// The range an observation field (F14.3) can hold, in thousandths.
inline constexpr std::int64_t kMinObservationValue = -999'999'999'999;
inline constexpr std::int64_t kMaxObservationValue = 9'999'999'999'999;

// Writes `thousandths` right-aligned into exactly 14 characters at `out`. The value must lie
// within [kMinObservationValue, kMaxObservationValue].
void write_observation_value(char* out, std::int64_t thousandths);

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
