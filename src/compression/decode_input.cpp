#include "compression/decode_input.hpp"

#include "compression/compact_rinex.hpp"
#include "compression/gzip_stream.hpp"
#include "compression/unix_compress.hpp"

namespace qcn0 {

namespace {

// Real files have at most two layers (Compact RINEX inside gzip or compress); the bound stops
// a file that unpacks into itself.
constexpr std::size_t kMaxLayers = 4;

Expected<std::string> undo_layer(InputFormat format, std::string_view bytes,
                                 std::size_t max_output) {
    switch (format) {
        case InputFormat::gzip:
            return inflate_gzip(bytes, max_output);
        case InputFormat::unix_compress:
            return expand_unix_compress(bytes, max_output);
        case InputFormat::compact_rinex:
            return decode_compact_rinex(bytes, max_output);
        case InputFormat::plain:
            break;
    }
    return std::string(bytes);
}

}  // namespace

Expected<DecodedInput> decode_input(std::string_view bytes, std::size_t max_output) {
    InputFormat format = detect_input_format(bytes);
    if (format == InputFormat::plain) return DecodedInput::borrowed(bytes);

    // Each layer's output feeds the next and is released as soon as that one is done.
    std::vector<InputFormat> layers;
    std::string text;
    std::string_view current = bytes;
    while (format != InputFormat::plain) {
        if (layers.size() == kMaxLayers) {
            return Error{"input is packed in more than " + std::to_string(kMaxLayers) +
                         " layers of compression"};
        }
        Expected<std::string> unpacked = undo_layer(format, current, max_output);
        if (!unpacked) return unpacked.failure();
        text = std::move(unpacked).value();
        current = text;
        layers.push_back(format);
        // Compact RINEX decodes into the observation text itself.
        format = format == InputFormat::compact_rinex ? InputFormat::plain
                                                      : detect_input_format(current);
    }
    return DecodedInput::owned(std::move(text), std::move(layers));
}

}  // namespace qcn0
