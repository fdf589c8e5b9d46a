#include "compression/input_format.hpp"

#include "compression/compact_rinex.hpp"
#include "compression/gzip_stream.hpp"
#include "compression/unix_compress.hpp"

namespace qcn0 {

InputFormat detect_input_format(std::string_view bytes) {
    if (is_gzip(bytes)) return InputFormat::gzip;
    if (is_unix_compress(bytes)) return InputFormat::unix_compress;
    if (is_compact_rinex(bytes)) return InputFormat::compact_rinex;
    return InputFormat::plain;
}

std::string_view input_format_name(InputFormat format) {
    switch (format) {
        case InputFormat::gzip:
            return "gzip";
        case InputFormat::unix_compress:
            return "Unix compress";
        case InputFormat::compact_rinex:
            return "compact RINEX";
        case InputFormat::plain:
            break;
    }
    return "plain";
}

}  // namespace qcn0
