// Reading a RINEX observation file (versions 2 and 3) from its bytes.
#pragma once

#include <string_view>

#include "core/expected.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

// Reads the header and every usable epoch. The reader is lenient: unusable lines are skipped,
// unreadable fields store nothing, epochs without values are dropped. The only failure is
// "No END OF HEADER found". `filename` stands in for an empty marker name.
Expected<RinexObsData> read_observation_text(std::string_view bytes, std::string_view filename);

// RINEX 2 observation codes in their RINEX 3 form (C1 -> C1C, P2 -> C2P, ...); other
// two-character codes come back unchanged.
std::string_view convert_rinex2_code(std::string_view code);

}  // namespace qcn0
