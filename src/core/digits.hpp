// Eight characters at a time: how many are decimal digits, and their value, without a branch per
// character. A word holds eight characters as loaded from memory, the first in its lowest byte.
#pragma once

#include <bit>
#include <cstdint>

namespace qcn0 {

// One bit set in each byte that is not a digit '0' to '9'. A byte above 0xF9 may also mark the
// byte after it; only bytes past a non-digit are ever marked wrongly.
inline std::uint64_t non_digit_bytes(std::uint64_t word) {
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0, kZeros = 0x3030303030303030;
    return ((word & kHigh) ^ kZeros) | (((word + 0x0606060606060606) & kHigh) ^ kZeros);
}

// How many of the eight characters are digits before the first that is not.
inline int leading_digits(std::uint64_t word) {
    const std::uint64_t marks = non_digit_bytes(word);
    return marks == 0 ? 8 : std::countr_zero(marks) / 8;
}

// The value of the first `count` (1 to 8) characters, all digits, in three multiplications.
inline std::uint64_t digits_value(std::uint64_t word, int count) {
    std::uint64_t x = (word - 0x3030303030303030) << (8 * (8 - count));  // zeros lead
    x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FF;
    x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFF;
    return (x * 10000 + (x >> 32)) & 0xFFFFFFFF;
}

}  // namespace qcn0
