// Inflating gzip data (RFC 1952), as observation files arrive in ".gz" form.
#pragma once

#include <string>
#include <string_view>

#include "compression/decode_limits.hpp"
#include "compression/page_buffer.hpp"
#include "core/expected.hpp"

namespace qcn0 {

// True when the bytes start with the gzip magic number 1f 8b.
bool is_gzip(std::string_view bytes);

// The concatenated content of every member of the stream (gzip writes one member per file,
// but concatenated ".gz" files are valid gzip too). Zero bytes after the last member are
// padding and ignored. Fails on truncated, corrupt or checksum-failing data, on other
// trailing bytes, and when the content would exceed `max_output` bytes.
Expected<std::string> inflate_gzip(std::string_view bytes,
                                   std::size_t max_output = kDefaultMaxDecodedBytes);

// The same through zlib's stream interface, a piece at a time: slower, and the source of the
// precise message when the data does not inflate.
Expected<std::string> inflate_gzip_stream(std::string_view bytes,
                                          std::size_t max_output = kDefaultMaxDecodedBytes);

// The same content in a buffer of whole pages, which a reader can give back as it goes.
Expected<PageBuffer> inflate_gzip_pages(std::string_view bytes,
                                        std::size_t max_output = kDefaultMaxDecodedBytes);

}  // namespace qcn0
