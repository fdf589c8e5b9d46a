// Reading an observation file, its navigation files if any, and analysing them, all with the
// interpreter lock released: the work touches no Python object, so other threads run meanwhile.
#pragma once

#include <optional>
#include <string>

#include "cn0/analysis_config.hpp"
#include "core/expected.hpp"
#include "results/analysis_result.hpp"

namespace qcn0::py {

struct FileAnalysis {
    std::optional<AnalysisResult> result;
    std::optional<Error> failure;  // set when a file could not be read
    bool navigation_failed = false;  // the failure was a navigation file's
};

// Any C++ exception is rethrown once the lock is held again.
FileAnalysis analyse_files_unlocked(const std::string& obs_path, const std::optional<NavFiles>& nav_files,
                                    const AnalysisSettings& settings);

}  // namespace qcn0::py
