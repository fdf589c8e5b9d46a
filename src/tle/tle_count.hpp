// Counting the GNSS satellites of two-line element (TLE) text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qcn0 {

// The satellite identifier a TLE name line stands for ("GPS BIIR-2  (PRN 13)" is G13,
// "GSAT0202 (PRN E14)" is E23, "QZS-2 (QZSS/PRN 194)" is J02), or none: GLONASS and BeiDou
// names, and names of no known family, give no identifier.
std::optional<std::string> tle_satellite_id(std::string_view name);

// Number of element sets (name line, line 1, line 2) whose name gives an identifier and whose
// mean motion is positive. Sets are not merged: two sets of one satellite count twice.
std::uint64_t parse_tle_content(std::string_view content);

}  // namespace qcn0
