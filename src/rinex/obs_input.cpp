#include "rinex/obs_input.hpp"

#include "compression/decode_input.hpp"
#include "core/file_io.hpp"
#include "rinex/obs_reader.hpp"

namespace qcn0 {

Expected<RinexObsData> read_observation_bytes(std::string_view bytes, std::string_view filename) {
    // gzip, Unix compress and Compact RINEX are recognised by their content; plain text is read
    // in place.
    auto input = decode_input(bytes);
    if (!input) return input.failure();
    return read_observation_text(input->text(), filename);
}

Expected<RinexObsData> read_observation_file(const std::string& path) {
    auto bytes = read_file(path);
    if (!bytes) return bytes.failure();
    return read_observation_bytes(*bytes, file_name_of(path));
}

}  // namespace qcn0
