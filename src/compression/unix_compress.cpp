#include "compression/unix_compress.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "compression/growing_text.hpp"

namespace qcn0 {

namespace {

constexpr unsigned kInitialBits = 9;
constexpr unsigned kClearCode = 256;

// Codes read from the least significant bit up, at any bit position.
class CodeReader {
  public:
    explicit CodeReader(std::string_view data)
        : data_(reinterpret_cast<const unsigned char*>(data.data())),
          size_(data.size()),
          total_bits_(static_cast<std::uint64_t>(data.size()) * 8) {}

    bool has(unsigned bits) const { return position_ + bits <= total_bits_; }

    unsigned read(unsigned bits) {
        const std::size_t byte = static_cast<std::size_t>(position_ >> 3);
        std::uint32_t window = 0;
        if (byte + 3 <= size_) {
            window = static_cast<std::uint32_t>(data_[byte]) |
                     static_cast<std::uint32_t>(data_[byte + 1]) << 8 |
                     static_cast<std::uint32_t>(data_[byte + 2]) << 16;
        } else {
            for (std::size_t i = 0; byte + i < size_ && i < 3; ++i) {
                window |= static_cast<std::uint32_t>(data_[byte + i]) << (8 * i);
            }
        }
        position_ += bits;
        return (window >> ((position_ - bits) & 7)) & ((1u << bits) - 1);
    }

    // Skips the padding that ends a group of eight codes of `bits` bits. Groups are counted
    // from `group_start`, where the current code width began.
    void skip_to_group_end(unsigned bits) {
        const std::uint64_t group = 8 * static_cast<std::uint64_t>(bits);
        const std::uint64_t used = (position_ - group_start_) % group;
        if (used != 0) position_ += group - used;
        group_start_ = position_;
    }

    std::uint64_t bits_left() const {
        return position_ < total_bits_ ? total_bits_ - position_ : 0;
    }

  private:
    const unsigned char* data_;
    std::size_t size_;
    std::uint64_t total_bits_;
    std::uint64_t position_ = 0;
    std::uint64_t group_start_ = 0;
};

Error too_large(std::size_t max_output) {
    return Error{"Unix compress content exceeds the limit of " + std::to_string(max_output) +
                 " bytes"};
}

}  // namespace

bool is_unix_compress(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
           static_cast<unsigned char>(bytes[1]) == 0x9d;
}

Expected<std::string> expand_unix_compress(std::string_view bytes, std::size_t max_output) {
    if (bytes.size() < 3) return Error{"Unix compress data is truncated: no header"};
    const auto flags = static_cast<unsigned char>(bytes[2]);
    const unsigned max_bits = flags & 0x1f;
    const bool block_mode = (flags & 0x80) != 0;
    if (max_bits < kInitialBits || max_bits > 16) {
        return Error{"Unix compress data uses " + std::to_string(max_bits) +
                     "-bit codes; only 9 to 16 bits are valid"};
    }
    const std::uint32_t table_size = 1u << max_bits;
    const std::uint32_t first_free = block_mode ? 257 : 256;

    // Every table entry is a string that already stands somewhere in the output: the entry
    // made after a code is the previous code's string plus the first byte of this code's
    // string, and those bytes follow one another in the output. So an entry is just a place
    // and a length there, and expanding a code is one copy from earlier output.
    std::vector<std::size_t> entry_start(table_size);
    std::vector<std::uint32_t> entry_length(table_size);

    GrowingText out(std::min(bytes.size() * 4 + table_size, max_output + table_size));

    CodeReader codes(bytes.substr(3));
    unsigned bits = kInitialBits;
    // The width grows once the table passes this. Writers compare against the largest code of
    // the current width, so with a 9-bit limit the codes still grow to 10 bits when the table
    // fills (and stay there, as the table cannot grow further).
    std::uint32_t widen_above = (1u << bits) - 1;
    std::uint32_t next_free = first_free;
    bool have_previous = false;
    std::size_t previous_start = 0;
    std::uint32_t previous_length = 0;

    while (true) {
        if (next_free > widen_above) {
            codes.skip_to_group_end(bits);
            ++bits;
            widen_above = bits == max_bits ? table_size : (1u << bits) - 1;
        }
        if (!codes.has(bits)) break;
        const unsigned code = codes.read(bits);
        if (block_mode && code == kClearCode) {
            codes.skip_to_group_end(bits);
            bits = kInitialBits;
            widen_above = (1u << bits) - 1;
            next_free = first_free;
            have_previous = false;
            continue;
        }
        // No string is longer than the table has entries; keep room for the longest.
        if (out.size() > max_output) return too_large(max_output);
        char* o = out.room(table_size + 1);
        const char* earlier = o - out.size();  // offsets in the table count from here
        const std::size_t start = out.size();
        std::uint32_t length;
        if (code < 256) {
            *o = static_cast<char>(code);
            length = 1;
        } else if (!have_previous) {
            return Error{"Unix compress data is corrupt: it starts with code " +
                         std::to_string(code) + " instead of a byte"};
        } else if (code < next_free) {
            length = entry_length[code];
            std::memcpy(o, earlier + entry_start[code], length);
        } else if (code == next_free) {
            // The entry being defined by this very code: the previous string plus its own
            // first byte.
            length = previous_length + 1;
            std::memcpy(o, earlier + previous_start, previous_length);
            o[previous_length] = earlier[previous_start];
        } else {
            return Error{"Unix compress data is corrupt: code " + std::to_string(code) +
                         " refers past the table of " + std::to_string(next_free) + " entries"};
        }
        out.commit(o + length);
        if (have_previous && next_free < table_size) {
            entry_start[next_free] = previous_start;
            entry_length[next_free] = previous_length + 1;
            ++next_free;
        }
        have_previous = true;
        previous_start = start;
        previous_length = length;
    }
    // The writer pads only the last byte; a byte or more of an unfinished code means the data
    // was cut inside a code.
    if (codes.bits_left() >= 8) return Error{"Unix compress data is truncated"};
    if (out.size() > max_output) return too_large(max_output);
    return std::move(out).take();
}

}  // namespace qcn0
