// The whole AnalysisResult as a compact byte string and back, for pickling: the JSON document
// leaves out the samples, the interference events, the health figures and the RINEX version, so
// it cannot carry a result from one process to another.
//
// Layout: the four bytes "qcn0", one version byte, then every field in declaration order.
// Counts, lengths and integers are unsigned LEB128; numbers are the eight bytes of the IEEE
// double, little-endian; flags and "value present" marks one byte, 0 or 1. Loading checks every
// length against the bytes left, every sample index against its table and the parallel columns
// against each other, so a truncated or altered state is an error, never a fault.
#pragma once

#include <string>
#include <string_view>

#include "core/expected.hpp"
#include "results/analysis_result.hpp"

namespace qcn0 {

inline constexpr unsigned char kResultStateVersion = 1;

std::string save_result_state(const AnalysisResult& result);

// A content error naming the first fault: a wrong mark or version, a length running past the
// end, an invalid flag, bytes left over, or columns that do not fit together.
Expected<AnalysisResult> load_result_state(std::string_view state);

}  // namespace qcn0
