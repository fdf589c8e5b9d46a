#include "compression/gzip_stream.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "compression/growing_text.hpp"

#if QCN0_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace qcn0 {

namespace {

// zlib's stream state, ended however inflation stops.
class Inflater {
  public:
    Inflater() { ok_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    bool ok() const { return ok_; }
    z_stream& stream() { return stream_; }

  private:
    z_stream stream_{};
    bool ok_ = false;
};

// The size the last member states for its content (modulo 2^32). For the usual single-member
// file this is the exact size, which lets the text be allocated once.
std::size_t stated_size(std::string_view bytes) {
    if (bytes.size() < 18) return 0;
    const auto* tail = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - 4);
    return static_cast<std::size_t>(tail[0]) | static_cast<std::size_t>(tail[1]) << 8 |
           static_cast<std::size_t>(tail[2]) << 16 | static_cast<std::size_t>(tail[3]) << 24;
}

Error corrupt(const z_stream& stream) {
    std::string message = "gzip data is corrupt";
    if (stream.msg != nullptr) {
        message += ": ";
        message += stream.msg;
    }
    return Error{std::move(message)};
}

Error too_large(std::size_t max_output) {
    return Error{"gzip content exceeds the limit of " + std::to_string(max_output) + " bytes"};
}

// The size to start with: the stated size where it is believable. It is trusted only up to a
// ratio no RINEX file comes near, so that a damaged or crafted size costs nothing; pages are
// touched as content arrives.
std::size_t first_capacity(std::string_view bytes, std::size_t max_output) {
    std::size_t expected = stated_size(bytes);
    if (expected == 0 || expected / 64 > bytes.size()) expected = bytes.size() * 4;
    return std::min(expected + 1, max_output + 1);
}

}  // namespace

bool is_gzip(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x8b;
}

// Inflation through zlib's stream interface: the fallback, and the source of the precise message
// for data that does not inflate.
Expected<std::string> inflate_gzip_stream(std::string_view bytes, std::size_t max_output) {
    Inflater inflater;
    if (!inflater.ok()) return Error{"gzip: cannot start zlib"};
    z_stream& zs = inflater.stream();

    const std::size_t capacity = first_capacity(bytes, max_output);
    GrowingText out(capacity);
    // zlib counts in 32-bit units; output goes through in pieces that suit the expected size.
    const auto piece_size =
        static_cast<uInt>(std::clamp<std::size_t>(capacity / 4, 1 << 14, 1 << 20));

    const auto* next = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t remaining = bytes.size();
    while (true) {
        if (out.size() > max_output) return too_large(max_output);
        char* piece = out.room(piece_size);
        const auto in_chunk = static_cast<uInt>(std::min<std::size_t>(remaining, UINT_MAX));
        zs.next_in = const_cast<Bytef*>(next);
        zs.avail_in = in_chunk;
        zs.next_out = reinterpret_cast<Bytef*>(piece);
        zs.avail_out = piece_size;
        const int status = inflate(&zs, Z_NO_FLUSH);
        next += in_chunk - zs.avail_in;
        remaining -= in_chunk - zs.avail_in;
        out.commit(piece + (piece_size - zs.avail_out));
        if (status == Z_STREAM_END) {
            // Another member may follow; zero bytes are padding some writers add.
            const auto padding = static_cast<std::size_t>(
                std::find_if(next, next + remaining, [](unsigned char b) { return b != 0; }) -
                next);
            if (padding == remaining) break;
            if (padding > 0 || remaining < 2 || next[0] != 0x1f || next[1] != 0x8b) {
                return Error{"gzip data is followed by " + std::to_string(remaining) +
                             " bytes that are not gzip"};
            }
            if (inflateReset(&zs) != Z_OK) return corrupt(zs);
            continue;
        }
        if (status == Z_OK) continue;
        if (status == Z_BUF_ERROR) {
            // No progress possible: a full piece of output is followed by another; otherwise
            // the input ran out.
            if (zs.avail_out == 0) continue;
            if (remaining == 0) return Error{"gzip data is truncated"};
            return corrupt(zs);
        }
        if (status == Z_MEM_ERROR) return Error{"gzip: out of memory"};
        return corrupt(zs);
    }
    if (out.size() > max_output) return too_large(max_output);
    return std::move(out).take();
}

Expected<PageBuffer> inflate_gzip_pages(std::string_view bytes, std::size_t max_output) {
#if QCN0_HAVE_LIBDEFLATE
    // Whole members at once: two to three times faster than inflating in pieces.
    struct Decompressor {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        ~Decompressor() {
            if (d != nullptr) libdeflate_free_decompressor(d);
        }
    } decompressor;
    PageBuffer out(first_capacity(bytes, max_output));
    if (decompressor.d == nullptr || !out.ok()) return Error{"gzip: out of memory"};
    std::size_t in_pos = 0;
    std::size_t out_pos = 0;
    while (true) {
        std::size_t in_used = 0;
        std::size_t out_used = 0;
        const libdeflate_result result = libdeflate_gzip_decompress_ex(
            decompressor.d, bytes.data() + in_pos, bytes.size() - in_pos, out.data() + out_pos,
            out.capacity() - out_pos, &in_used, &out_used);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE) {
            // The member is larger than the room left: more room, and the member again.
            if (out.capacity() > max_output) return too_large(max_output);
            const std::size_t more =
                std::min(std::max(out.capacity() * 2, out.capacity() + (std::size_t{1} << 20)),
                         max_output + 1);
            if (!out.grow(more)) return Error{"gzip: out of memory"};
            continue;
        }
        if (result != LIBDEFLATE_SUCCESS) break;  // the stream reader names the fault
        in_pos += in_used;
        out_pos += out_used;
        if (out_pos > max_output) return too_large(max_output);
        // Another member may follow; zero bytes are padding some writers add.
        const auto* next = reinterpret_cast<const unsigned char*>(bytes.data() + in_pos);
        const std::size_t remaining = bytes.size() - in_pos;
        const auto padding = static_cast<std::size_t>(
            std::find_if(next, next + remaining, [](unsigned char b) { return b != 0; }) - next);
        if (padding == remaining) {
            out.set_size(out_pos);
            return out;
        }
        if (padding > 0 || remaining < 2 || next[0] != 0x1f || next[1] != 0x8b) {
            return Error{"gzip data is followed by " + std::to_string(remaining) +
                         " bytes that are not gzip"};
        }
    }
#endif
    auto text = inflate_gzip_stream(bytes, max_output);
    if (!text) return text.failure();
    PageBuffer copy(text->size());
    if (!copy.ok()) return Error{"gzip: out of memory"};
    if (!text->empty()) std::memcpy(copy.data(), text->data(), text->size());
    copy.set_size(text->size());
    return copy;
}

Expected<std::string> inflate_gzip(std::string_view bytes, std::size_t max_output) {
    auto pages = inflate_gzip_pages(bytes, max_output);
    if (!pages) return pages.failure();
    return std::string(pages->view());
}

}  // namespace qcn0
