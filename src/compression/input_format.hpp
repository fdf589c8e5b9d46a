// Recognising how an input file is packed, from its first bytes rather than its name:
// station data arrive as ".crx.gz", ".YYd.Z", ".rnx.gz" and plain files, and names are
// often wrong or lost on the way.
#pragma once

#include <cstdint>
#include <string_view>

namespace qcn0 {

enum class InputFormat : std::uint8_t {
    plain,          // anything else, handed to the readers as it is
    gzip,           // starts with 1f 8b
    unix_compress,  // starts with 1f 9d
    compact_rinex,  // first line labelled "CRINEX VERS   / TYPE" (Hatanaka compression)
};

InputFormat detect_input_format(std::string_view bytes);

// "plain", "gzip", "Unix compress" or "compact RINEX".
std::string_view input_format_name(InputFormat format);

}  // namespace qcn0
