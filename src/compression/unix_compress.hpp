// Expanding Unix compress data (".Z"): LZW with codes growing from 9 to at most 16 bits.
//
// The stream is the magic number 1f 9d, a flag byte (low five bits: the largest code width;
// bit 7: block mode, where code 256 clears the table) and then the codes, packed from the
// least significant bit up. The writer emits codes in groups of eight; whenever the code width
// changes, or the table is cleared, the rest of the current group is padding.
#pragma once

#include <string>
#include <string_view>

#include "compression/decode_limits.hpp"
#include "core/expected.hpp"

namespace qcn0 {

// True when the bytes start with the compress magic number 1f 9d.
bool is_unix_compress(std::string_view bytes);

// The original bytes. Fails on a bad header, a code that refers past the table, a code cut
// off by the end of the data, and when the content would exceed `max_output` bytes. (The
// format has no length or checksum, so data cut exactly between two codes looks complete.)
Expected<std::string> expand_unix_compress(std::string_view bytes,
                                           std::size_t max_output = kDefaultMaxDecodedBytes);

}  // namespace qcn0
