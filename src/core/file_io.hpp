// Whole-file reads and the file name of a path.
#pragma once

#include <string>
#include <string_view>

#include "core/expected.hpp"

namespace qcn0 {

// Reads the whole file in one piece. The error text is the operating system's description
// followed by " (os error N)", e.g. "No such file or directory (os error 2)".
Expected<std::string> read_file(const std::string& path);

// "<description> (os error N)" for an errno value.
std::string os_error_text(int error_number);

// The last component of a path: trailing separators and "." components are ignored; a path
// ending in ".." or naming a root (or nothing) has none, and neither has a name that is not
// valid UTF-8: both give "unknown.obs".
std::string file_name_of(std::string_view path);

bool is_valid_utf8(std::string_view bytes);

}  // namespace qcn0
