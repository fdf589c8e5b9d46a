#include "core/file_io.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace qcn0 {

std::string os_error_text(int error_number) {
    char buf[256];
    // The GNU variant returns the text, which may or may not live in buf.
    const char* text = strerror_r(error_number, buf, sizeof buf);
    return std::string(text) + " (os error " + std::to_string(error_number) + ")";
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

Expected<FileDescriptor> open_for_reading(const std::string& path, struct stat& st) {
    // No file name holds a NUL byte; the operating system would read the name cut short.
    if (path.find('\0') != std::string::npos) {
        return Error{"file name contained an unexpected NUL byte", ErrorKind::InputOutput};
    }
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Error{os_error_text(errno), ErrorKind::InputOutput};
    FileDescriptor file(fd);
    if (::fstat(fd, &st) != 0) return Error{os_error_text(errno), ErrorKind::InputOutput};
    if (S_ISDIR(st.st_mode)) return Error{os_error_text(EISDIR), ErrorKind::InputOutput};
    return file;
}

Expected<std::size_t> read_up_to(int fd, char* buffer, std::size_t room) {
    std::size_t got = 0;
    while (got < room) {
        const ssize_t n = ::read(fd, buffer + got, room - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Error{os_error_text(errno), ErrorKind::InputOutput};
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

Expected<std::string> read_rest(int fd, std::size_t expected, std::size_t max_bytes) {
    const Error too_large{os_error_text(EFBIG), ErrorKind::InputOutput};
    if (expected > max_bytes) return too_large;
    std::string data;
    // One byte more than the size so that the end of the file shows without growing the buffer.
    // Files without a size (pipes, devices) grow the buffer as they are read, never past one
    // byte beyond the limit: that byte shows the content does not fit.
    data.resize(expected > 0 ? expected + 1 : std::min<std::size_t>(65536, max_bytes + 1));
    std::size_t used = 0;
    while (true) {
        if (used == data.size()) {
            if (used > max_bytes) return too_large;
            data.resize(std::min(data.size() * 2, max_bytes + 1));
        }
        auto n = read_up_to(fd, data.data() + used, data.size() - used);
        if (!n) return n.failure();
        if (*n == 0) break;
        used += *n;
    }
    data.resize(used);
    return data;
}

Expected<std::string> read_file(const std::string& path, std::size_t max_bytes) {
    struct stat st;
    auto file = open_for_reading(path, st);
    if (!file) return file.failure();
    return read_rest(file->get(), st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0,
                     max_bytes);
}

bool is_valid_utf8(std::string_view s) {
    std::size_t i = 0, n = s.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string file_name_of(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    bool leading = true;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string_view::npos) j = path.size();
        std::string_view part = path.substr(i, j - i);
        // "." counts only as the first component of a relative path.
        if (!part.empty() && !(part == "." && !(leading && i == 0))) parts.push_back(part);
        leading = false;
        i = j + 1;
    }
    if (parts.empty() || parts.back() == "." || parts.back() == "..") return "unknown.obs";
    std::string_view name = parts.back();
    if (!is_valid_utf8(name)) return "unknown.obs";
    return std::string(name);
}

}  // namespace qcn0
