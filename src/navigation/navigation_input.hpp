// Navigation files as users hand them over: by path or as bytes.
#pragma once

#include <string>
#include <string_view>

#include "core/expected.hpp"
#include "navigation/navigation_data.hpp"

namespace qcn0 {

Expected<NavigationData> read_navigation_bytes(std::string_view bytes);

// Errors of the operating system come back as ErrorKind::InputOutput.
Expected<NavigationData> read_navigation_file(const std::string& path);

}  // namespace qcn0
