#include "rinex/obs_input.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "compression/compact_rinex.hpp"
#include "compression/decode_input.hpp"
#include "compression/gzip_stream.hpp"
#include "compression/page_buffer.hpp"
#include "compression/unix_compress.hpp"
#include "core/file_io.hpp"
#include "core/lines.hpp"
#include "rinex/obs_reader.hpp"

namespace qcn0 {

namespace {

// Compact RINEX decodes to three to four and a half times its size; the reader sizes its arrays
// from this guess, and what is reserved but never written costs no memory.
constexpr std::size_t kCompactExpansion = 5;

// Text goes through the reader in pieces of this size, so that it is never whole in memory.
constexpr std::size_t kPiece = std::size_t{1} << 20;

// Plain text read through the reader piece by piece, giving back the pages already read when
// the text sits in `pages`.
Expected<RinexObsData> read_plain(std::string_view text, std::string_view filename,
                                  PageBuffer* pages) {
    ObservationReader reader(filename, text.size());
    if (pages == nullptr) {
        for_each_line(text, [&](std::string_view line) { reader.line(line); });
        return reader.finish();
    }
    std::size_t start = 0;
    while (start < text.size()) {
        // Pieces end at a line end, so that every line is whole.
        std::size_t end = std::min(start + kPiece, text.size());
        if (end < text.size()) {
            const std::size_t nl = text.find('\n', end - 1);
            end = nl == std::string_view::npos ? text.size() : nl + 1;
        }
        for_each_line(text.substr(start, end - start),
                      [&](std::string_view line) { reader.line(line); });
        pages->release_before(end);
        start = end;
    }
    return reader.finish();
}

Expected<RinexObsData> read_compact(std::string_view text, std::string_view filename,
                                    PageBuffer* pages) {
    ObservationReader reader(filename, text.size() * kCompactExpansion);
    auto decoded = decode_compact_rinex_into(text, reader, kDefaultMaxDecodedBytes, pages);
    if (!decoded) return decoded.failure();
    return reader.finish();
}

// The general path, for packing nested deeper than one layer around the text: every layer
// undone in turn, within the bound on their number, then the text read.
Expected<RinexObsData> read_layers(std::string_view bytes, std::string_view filename) {
    auto input = decode_input(bytes);
    if (!input) return input.failure();
    return read_observation_text(input->text(), filename);
}

// Decoded content of one layer of packing (`packed`, the bytes it came from), read on according
// to what it holds; `owned`, when given, holds `packed` and is emptied once it is not needed.
Expected<RinexObsData> read_unpacked(std::string_view text, std::string_view packed,
                                     std::string_view filename, std::string* owned,
                                     PageBuffer* pages) {
    const InputFormat inner = detect_input_format(text);
    if (inner != InputFormat::plain && inner != InputFormat::compact_rinex) {
        return read_layers(packed, filename);
    }
    if (owned != nullptr) std::string().swap(*owned);
    return inner == InputFormat::plain ? read_plain(text, filename, pages)
                                       : read_compact(text, filename, pages);
}

// `owned`, when given, holds `bytes` and is emptied as soon as they are no longer needed.
Expected<RinexObsData> read_packed(std::string_view bytes, std::string_view filename,
                                   std::string* owned) {
    switch (detect_input_format(bytes)) {
        case InputFormat::plain:
            return read_plain(bytes, filename, nullptr);
        case InputFormat::compact_rinex:
            return read_compact(bytes, filename, nullptr);
        case InputFormat::gzip: {
            auto pages = inflate_gzip_pages(bytes);
            if (!pages) return pages.failure();
            return read_unpacked(pages->view(), bytes, filename, owned, &*pages);
        }
        case InputFormat::unix_compress: {
            auto text = expand_unix_compress(bytes);
            if (!text) return text.failure();
            return read_unpacked(*text, bytes, filename, owned, nullptr);
        }
    }
    return Error{"unknown input format"};
}

Error os_error(int number) { return Error{os_error_text(number), ErrorKind::InputOutput}; }

// A regular file of plain text goes through the reader a piece at a time, so that its text is
// never whole in memory; a packed file is read whole (it is small beside its content).
Expected<RinexObsData> read_regular_file(int fd, std::size_t size, std::string_view filename) {
    std::string buffer(std::min(size + 1, kPiece), '\0');
    std::optional<ObservationReader> reader;
    std::size_t carried = 0;  // the start of a line not yet whole, at the front of the buffer
    std::size_t total = 0;
    while (true) {
        auto got = read_up_to(fd, buffer.data() + carried, buffer.size() - carried);
        if (!got) return got.failure();
        total += *got;
        if (total > kMaxFileBytes) return os_error(EFBIG);
        const bool at_end = carried + *got < buffer.size();
        std::string_view text(buffer.data(), carried + *got);
        if (!reader) {
            if (detect_input_format(text) != InputFormat::plain) {
                if (::lseek(fd, 0, SEEK_SET) != 0) return os_error(errno);
                std::string().swap(buffer);
                auto bytes = read_rest(fd, size);
                if (!bytes) return bytes.failure();
                return read_packed(*bytes, filename, &*bytes);
            }
            reader.emplace(filename, size);
        }
        if (at_end) {
            for_each_line(text, [&](std::string_view line) { reader->line(line); });
            return reader->finish();
        }
        const std::size_t last = text.rfind('\n');
        if (last == std::string_view::npos) {
            // One line fills the buffer: room for more of it.
            carried = text.size();
            buffer.resize(buffer.size() * 2);
            continue;
        }
        for_each_line(text.substr(0, last + 1), [&](std::string_view line) { reader->line(line); });
        carried = text.size() - (last + 1);
        std::memmove(buffer.data(), buffer.data() + last + 1, carried);
        if (buffer.size() < kPiece) buffer.resize(kPiece);
    }
}

}  // namespace

Expected<RinexObsData> read_observation_bytes(std::string_view bytes, std::string_view filename) {
    // gzip, Unix compress and Compact RINEX are recognised by their content; plain text is read
    // in place.
    return read_packed(bytes, filename, nullptr);
}

Expected<RinexObsData> read_observation_file(const std::string& path) {
    struct stat st;
    auto file = open_for_reading(path, st);
    if (!file) return file.failure();
    const std::string filename = file_name_of(path);
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto size = static_cast<std::size_t>(st.st_size);
        if (size > kMaxFileBytes) return os_error(EFBIG);
        return read_regular_file(file->get(), size, filename);
    }
    // Pipes and devices have no size to go by: read whole, within the bound.
    auto bytes = read_rest(file->get(), 0);
    if (!bytes) return bytes.failure();
    return read_packed(*bytes, filename, &*bytes);
}

}  // namespace qcn0
