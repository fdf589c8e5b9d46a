// Navigation files are text: bytes that are not valid UTF-8 are replaced by U+FFFD before the
// columns are cut, so column positions count bytes of the repaired text.
#pragma once

#include <string>
#include <string_view>

namespace qcn0 {

// The bytes with every maximal invalid subsequence replaced by U+FFFD (EF BF BD), the way
// decoders that follow the Unicode recommendation for substitution do.
std::string repair_utf8(std::string_view bytes);

}  // namespace qcn0
