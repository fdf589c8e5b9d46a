// How much decoded text one input may expand to.
#pragma once

#include <cstddef>

namespace qcn0 {

// A compressed file can expand far beyond any real observation file (a few kilobytes of Unix
// compress codes can stand for gigabytes of text). Decoders stop with an error once their
// output would pass this many bytes; a full day of 1 Hz multi-GNSS RINEX is about 1.5 GB.
inline constexpr std::size_t kDefaultMaxDecodedBytes =
    sizeof(std::size_t) > 4 ? std::size_t{4} << 30 : std::size_t{1} << 31;

}  // namespace qcn0
