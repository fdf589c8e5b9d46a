#include "navigation/navigation_input.hpp"

#include "core/file_io.hpp"
#include "navigation/navigation_reader.hpp"

namespace qcn0 {

Expected<NavigationData> read_navigation_bytes(std::string_view bytes) { return parse_navigation(bytes); }

Expected<NavigationData> read_navigation_file(const std::string& path) {
    auto bytes = read_file(path);
    if (!bytes) return bytes.failure();
    return read_navigation_bytes(*bytes);
}

}  // namespace qcn0
