// Reading a RINEX broadcast navigation file from its bytes.
#pragma once

#include <string_view>

#include "core/expected.hpp"
#include "navigation/navigation_data.hpp"

namespace qcn0 {

// Reads every usable ephemeris record:
// - version below 3: the file type letter of the "RINEX VERSION / TYPE" line decides; 'N' (or a
//   blank) is a GPS file, 'G' a GLONASS file, anything else holds nothing this reader uses;
// - version 3: mixed records, the first column naming the constellation (SBAS and IRNSS records
//   are passed over);
// - version 4: records introduced by "> EPH", "> STO", "> EOP", "> ION" lines; the ephemerides
//   laid out as in version 3 (GPS/QZSS LNAV, Galileo INAV/FNAV, BeiDou D1/D2, GLONASS FDMA) are
//   read, every other record is skipped whole.
// Bytes that are not valid UTF-8 are replaced by U+FFFD first. The reader is lenient: a record
// whose epoch line does not parse is skipped, an unreadable number reads as 0.0. The only
// failure is "No END OF HEADER found".
Expected<NavigationData> parse_navigation(std::string_view bytes);

}  // namespace qcn0
