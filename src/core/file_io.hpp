// Whole-file reads and the file name of a path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/expected.hpp"

struct stat;

namespace qcn0 {

// The most a file read may hold. Paths may name a device or a pipe that never ends (/dev/zero,
// a stalled download), which must fail rather than take every byte of memory; the bound is that
// of decoded text, far above a full day of 1 Hz multi-GNSS RINEX.
inline constexpr std::size_t kMaxFileBytes = std::size_t{4} << 30;

// An open file, closed when this goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&&) = delete;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Opens a file for reading and fills `st`; a directory is an error (EISDIR), with the error
// texts of read_file.
Expected<FileDescriptor> open_for_reading(const std::string& path, struct stat& st);

// Reads until `room` bytes are in or the file ends; the count read.
Expected<std::size_t> read_up_to(int fd, char* buffer, std::size_t room);

// Reads the rest of an open file, `expected` bytes long when known (0 otherwise), as read_file.
Expected<std::string> read_rest(int fd, std::size_t expected, std::size_t max_bytes = kMaxFileBytes);

// Reads the whole file in one piece. The error text is the operating system's description
// followed by " (os error N)", e.g. "No such file or directory (os error 2)"; content beyond
// `max_bytes` is "File too large (os error 27)".
Expected<std::string> read_file(const std::string& path, std::size_t max_bytes = kMaxFileBytes);

// "<description> (os error N)" for an errno value.
std::string os_error_text(int error_number);

// The last component of a path: trailing separators and "." components are ignored; a path
// ending in ".." or naming a root (or nothing) has none, and neither has a name that is not
// valid UTF-8: both give "unknown.obs".
std::string file_name_of(std::string_view path);

bool is_valid_utf8(std::string_view bytes);

}  // namespace qcn0
