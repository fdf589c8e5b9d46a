#include "python/file_analysis.hpp"

#include <Python.h>

#include <exception>
#include <utility>

#include "cn0/analysis.hpp"
#include "navigation/navigation_input.hpp"
#include "rinex/obs_input.hpp"

namespace qcn0::py {

FileAnalysis analyse_files_unlocked(const std::string& obs_path, const std::optional<NavFiles>& nav_files,
                                    const AnalysisSettings& settings) {
    FileAnalysis out;
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS
    try {
        auto obs = read_observation_file(obs_path);
        if (!obs) {
            out.failure = obs.failure();
        } else if (nav_files && !nav_files->paths.empty()) {
            auto nav = read_navigation_files(nav_files->paths, nav_files->listed);
            if (!nav) {
                out.failure = nav.failure();
                out.navigation_failed = true;
            } else {
                out.result = analyse(std::move(*obs), settings, &*nav);
            }
        } else {
            out.result = analyse(std::move(*obs), settings, nullptr);
        }
    } catch (...) {
        fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS
    if (fault) std::rethrow_exception(fault);
    return out;
}

}  // namespace qcn0::py
