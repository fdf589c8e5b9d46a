// Helpers of the compression tests: real data files, temporary folders, external reference
// tools, gzip and Unix compress writers for making inputs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace qcn0::testing {

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::filesystem::path data_dir() {
    return QCN0_DATA_DIR;
}

// The bytes of a real data file, or nothing when the data folder is absent.
inline std::optional<std::string> data_file(const std::string& name) {
    const auto path = data_dir() / name;
    if (!std::filesystem::exists(path)) return std::nullopt;
    return read_file(path);
}

#define QCN0_REQUIRE_DATA(name, var)                                                         \
    const auto var##_opt = qcn0::testing::data_file(name);                                   \
    if (!var##_opt) GTEST_SKIP() << "real data folder " QCN0_DATA_DIR " is absent; skipped"; \
    const std::string& var = *var##_opt

// A folder removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qcn0_compression_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline bool command_succeeds(const std::string& command) {
    return std::system(("{ " + command + "; } >/dev/null 2>&1").c_str()) == 0;
}

// gzip data of `text` made by zlib, the usual writer of ".gz" files.
inline std::string gzip(std::string_view text, int level = 6) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(text.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

// Unix compress data written the way compress(1) writes it: codes from 9 bits up to
// `max_bits`, least significant bit first, in groups of eight codes whose rest is padding when
// the code width changes or the table is cleared. `clear_every` > 0 clears the table (block
// mode only) once it is full and that many codes have been written since the last clear,
// as compress does when the compression ratio drops.
inline std::string unix_compress(std::string_view data, unsigned max_bits = 16,
                                 bool block_mode = true, unsigned clear_every = 0) {
    std::string out = {'\x1f', '\x9d', static_cast<char>(max_bits | (block_mode ? 0x80 : 0))};
    std::uint64_t bits = 0, group_start = 0, accumulator = 0;
    unsigned pending = 0, width = 9, since_clear = 0;
    std::uint32_t widen_above = 511;
    const std::uint32_t first = block_mode ? 257 : 256, table_size = 1u << max_bits;
    std::uint32_t next_free = first;
    auto put = [&](std::uint32_t code, unsigned n) {
        accumulator |= static_cast<std::uint64_t>(code) << pending;
        pending += n;
        bits += n;
        for (; pending >= 8; pending -= 8, accumulator >>= 8)
            out.push_back(static_cast<char>(accumulator & 0xff));
    };
    auto pad_group = [&] {
        const std::uint64_t group = 8 * width, used = (bits - group_start) % group;
        if (used != 0) put(0, static_cast<unsigned>(group - used));
        group_start = bits;
    };
    auto emit = [&](std::uint32_t code) {
        put(code, width);
        ++since_clear;
        if (next_free > widen_above) {
            pad_group();
            ++width;
            widen_above = width == max_bits ? table_size : (1u << width) - 1;
        }
    };
    std::map<std::pair<std::uint32_t, unsigned char>, std::uint32_t> table;
    if (data.empty()) return out;
    std::uint32_t prefix = static_cast<unsigned char>(data[0]);
    for (std::size_t i = 1; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (auto it = table.find({prefix, c}); it != table.end()) {
            prefix = it->second;
            continue;
        }
        emit(prefix);
        if (next_free < table_size) {
            table[{prefix, c}] = next_free++;
        } else if (block_mode && clear_every > 0 && since_clear >= clear_every) {
            put(256, width);
            pad_group();
            table.clear();
            next_free = first;
            width = 9;
            widen_above = 511;
            since_clear = 0;
        }
        prefix = c;
    }
    emit(prefix);
    if (pending > 0) out.push_back(static_cast<char>(accumulator & 0xff));
    return out;
}

}  // namespace qcn0::testing
