// The accepted C/N0 samples of an analysis, one column per field, kept in the result for the
// array and table views of the Python layer. The JSON document does not include them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcn0 {

struct SampleTable {
    std::vector<std::string> timestamps;  // distinct, ascending (YYYY-MM-DDTHH:MM:SS.sssZ)
    std::vector<std::string> satellites;  // identifiers
    std::vector<std::string> codes;       // observation codes, e.g. "S1C"
    // One element per sample, in collection order (epoch by epoch, in file order).
    std::vector<std::uint32_t> time;       // index into timestamps
    std::vector<std::uint32_t> satellite;  // index into satellites
    std::vector<std::uint32_t> code;       // index into codes
    std::vector<double> cn0;               // dB-Hz
    std::vector<double> elevation;         // degrees
    std::vector<double> azimuth;           // degrees

    bool operator==(const SampleTable&) const = default;
};

}  // namespace qcn0
