// The one entry point every reader uses on a file's bytes: whatever packing the content shows
// (gzip, Unix compress, Compact RINEX, or several of them nested, such as Compact RINEX inside
// gzip) is undone, and plain text comes back untouched.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compression/decode_limits.hpp"
#include "compression/input_format.hpp"
#include "core/expected.hpp"

namespace qcn0 {

// The text a reader works on: a view of the caller's bytes when they were plain, otherwise
// the decoded text, owned here. Plain input is never copied, so the caller's bytes must
// outlive the view; decoded text lives as long as this object (moves keep it in place).
class DecodedInput {
  public:
    static DecodedInput borrowed(std::string_view bytes) { return DecodedInput(bytes); }
    static DecodedInput owned(std::string text, std::vector<InputFormat> layers) {
        return DecodedInput(std::move(text), std::move(layers));
    }

    std::string_view text() const { return owned_ ? std::string_view(*owned_) : borrowed_; }
    bool owns_text() const { return owned_.has_value(); }
    // The packings removed, outermost first; empty for plain input.
    const std::vector<InputFormat>& layers() const { return layers_; }

  private:
    explicit DecodedInput(std::string_view bytes) : borrowed_(bytes) {}
    DecodedInput(std::string text, std::vector<InputFormat> layers)
        : owned_(std::move(text)), layers_(std::move(layers)) {}

    std::optional<std::string> owned_;
    std::string_view borrowed_;
    std::vector<InputFormat> layers_;
};

// Undoes every layer of packing. Fails with the message of the layer that is corrupt or
// truncated (naming its format), when the input is nested deeper than four layers, or when a
// layer's content would exceed `max_output` bytes.
Expected<DecodedInput> decode_input(std::string_view bytes,
                                    std::size_t max_output = kDefaultMaxDecodedBytes);

}  // namespace qcn0
