// Observation files as users hand them over: by path or as bytes.
#pragma once

#include <string>
#include <string_view>

#include "core/expected.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

// Reads the bytes of an observation file under a file name (the name stands in for an empty
// marker name).
Expected<RinexObsData> read_observation_bytes(std::string_view bytes, std::string_view filename);

// Reads a file by path; the file name given to the reader is the path's last component.
// Errors of the operating system come back as ErrorKind::InputOutput.
Expected<RinexObsData> read_observation_file(const std::string& path);

}  // namespace qcn0
