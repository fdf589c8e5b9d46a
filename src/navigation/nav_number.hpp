// Numbers of navigation records: fixed 19-byte fields that may use Fortran 'D' exponents.
#pragma once

#include <cstddef>
#include <string_view>

namespace qcn0 {

// Width of one number field of a navigation record line.
constexpr std::size_t kNavFieldWidth = 19;

// The trimmed text as a decimal number, 'D' and 'd' read as exponent letters (-.8397D-03);
// 0.0 when it does not parse.
double nav_number(std::string_view text);

// The field of a record line starting at `start`: 0.0 when the line ends at or before it,
// otherwise nav_number of up to 19 bytes from there.
double nav_field(std::string_view line, std::size_t start);

}  // namespace qcn0
