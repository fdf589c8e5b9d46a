// The module-level functions.
#include "python/functions.hpp"

#include "cn0/analysis.hpp"
#include "python/classes.hpp"
#include "python/file_analysis.hpp"
#include "navigation/navigation_input.hpp"
#include "python/nav_files.hpp"
#include "rinex/obs_input.hpp"
#include "tle/tle_count.hpp"
#include "tle/tle_download.hpp"

namespace qcn0::py {

namespace {
constexpr const char* kVersion = "0.4.2";
}

const char* library_version() { return kVersion; }

PyObject* raise_failure(const Error& failure, const char* io_prefix) {
    if (failure.kind == ErrorKind::InputOutput) return raise_io_error(io_prefix + failure.message);
    return raise_value_error(failure.message);
}

PyObject* read_rinex_obs(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"read_rinex_obs", {"path"}, 1};
        Arguments a(sig);
        std::string path;
        if (!a.bind(args, kwargs) || !to_path(a[0], "path", path)) return nullptr;
        auto obs = read_observation_file(path);
        if (!obs) return raise_failure(obs.failure());
        return wrap_rinex_obs_data(state_of_module(module).rinex_obs_data, std::move(*obs));
    });
}

namespace {

PyObject* read_obs_bytes(const char* name, PyObject* module, PyObject* args, PyObject* kwargs) {
    const Signature sig{name, {"data", "filename"}, 2};
    Arguments a(sig);
    std::string_view data;
    std::string filename;
    if (!a.bind(args, kwargs) || !to_bytes(a[0], "data", data) || !to_text(a[1], "filename", filename)) {
        return nullptr;
    }
    auto obs = read_observation_bytes(data, filename);
    if (!obs) return raise_failure(obs.failure());
    return wrap_rinex_obs_data(state_of_module(module).rinex_obs_data, std::move(*obs));
}

}  // namespace

PyObject* read_rinex_obs_bytes(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&] { return read_obs_bytes("read_rinex_obs_bytes", module, args, kwargs); });
}

PyObject* parse_rinex(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&] { return read_obs_bytes("parse_rinex", module, args, kwargs); });
}

PyObject* read_navigation(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"read_navigation", {"path"}, 1};
        Arguments a(sig);
        std::string path;
        if (!a.bind(args, kwargs) || !to_path(a[0], "path", path)) return nullptr;
        auto nav = read_navigation_file(path);
        if (!nav) return raise_failure(nav.failure());
        return wrap_navigation_data(state_of_module(module).navigation_data, std::move(*nav));
    });
}

PyObject* read_navigation_bytes(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"read_navigation_bytes", {"data"}, 1};
        Arguments a(sig);
        std::string_view data;
        if (!a.bind(args, kwargs) || !to_bytes(a[0], "data", data)) return nullptr;
        auto nav = qcn0::read_navigation_bytes(data);
        if (!nav) return raise_failure(nav.failure());
        return wrap_navigation_data(state_of_module(module).navigation_data, std::move(*nav));
    });
}

PyObject* analyze_cn0(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"analyze_cn0", {"obs_path", "nav_path", "min_elevation", "systems"}, 1};
        Arguments a(sig);
        std::string obs_path;
        std::optional<NavFiles> nav_files;
        double min_elevation = 5.0;
        std::optional<std::vector<std::string>> systems;
        if (!a.bind(args, kwargs) || !to_path(a[0], "obs_path", obs_path)) return nullptr;
        if (!to_optional_nav_files(a[1], "nav_path", nav_files)) return nullptr;
        if ((a[2] != nullptr && !to_number(a[2], "min_elevation", min_elevation)) ||
            !to_optional_text_list(a[3], "systems", systems)) {
            return nullptr;
        }
        FileAnalysis done = analyse_files_unlocked(obs_path, nav_files, analyze_cn0_settings(min_elevation, systems));
        if (done.failure) {
            return raise_failure(*done.failure, done.navigation_failed ? "Cannot read nav file: " : "Cannot read obs file: ");
        }
        return wrap_analysis_result(state_of_module(module).analysis_result, std::move(*done.result));
    });
}

PyObject* download_tle(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"download_tle", {}, 0};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        // curl may take seconds per source; other Python threads run meanwhile.
        Expected<std::string> text = Error{""};
        Py_BEGIN_ALLOW_THREADS
        text = qcn0::download_tle();
        Py_END_ALLOW_THREADS
        if (!text) return raise_io_error(text.error());
        return new_text(*text);
    });
}

PyObject* parse_tle_content(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"parse_tle_content", {"content"}, 1};
        Arguments a(sig);
        std::string content;
        if (!a.bind(args, kwargs) || !to_text(a[0], "content", content)) return nullptr;
        return new_count(qcn0::parse_tle_content(content));
    });
}

PyObject* version(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"version", {}, 0};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        return new_text(kVersion);
    });
}

}  // namespace qcn0::py
