#include "navigation/navigation_input.hpp"

#include "compression/decode_input.hpp"
#include "core/file_io.hpp"
#include "navigation/navigation_reader.hpp"

namespace qcn0 {

Expected<NavigationData> read_navigation_bytes(std::string_view bytes) {
    // Navigation files arrive gzipped or compressed as often as plain.
    auto input = decode_input(bytes);
    if (!input) return input.failure();
    return parse_navigation(input->text());
}

Expected<NavigationData> read_navigation_file(const std::string& path) {
    auto bytes = read_file(path);
    if (!bytes) return bytes.failure();
    return read_navigation_bytes(*bytes);
}

}  // namespace qcn0
