// Constellation letters and their names.
#pragma once

#include <string>
#include <string_view>

namespace qcn0 {

// "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "SBAS"; every other letter (IRNSS included) is
// "Unknown".
std::string_view system_name(char letter);
// "GPS", "GLONASS", "Galileo", "BeiDou"; every other letter is "Other".
std::string_view system_group_name(char letter);
// The letter of an exact, case-sensitive constellation name ("IRNSS" gives "I"); any other text
// comes back unchanged.
std::string system_letter_from_name(std::string_view name);
// Name reported among the observed systems: as system_name, but IRNSS is named and an unknown
// letter is given as itself.
std::string observed_system_name(char letter);

}  // namespace qcn0
