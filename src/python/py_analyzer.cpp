// The Python classes AnalysisConfig (analysis settings) and CN0Analyzer (runs analyses with them).
#include <memory>
#include <optional>

#include "cn0/analysis.hpp"
#include "cn0/analysis_config.hpp"
#include "navigation/navigation_input.hpp"
#include "python/classes.hpp"
#include "python/file_analysis.hpp"
#include "python/nav_files.hpp"
#include "python/objects.hpp"
#include "rinex/obs_input.hpp"

namespace qcn0::py {

namespace {

// ---- AnalysisConfig ----------------------------------------------------------------------

const AnalysisConfig& config_of(PyObject* self) { return unbox<AnalysisConfig>(self); }

PyObject* config_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{
            "AnalysisConfig",
            {"min_elevation", "min_cn0", "max_cn0", "time_bin_seconds", "time_bin", "systems",
             "anomaly_threshold_low", "anomaly_threshold_high", "anomaly_threshold_critical",
             "detect_anomalies", "anomaly_sensitivity", "interference_threshold_db", "verbose",
             "nav_file", "spoofing_unexpected_threshold", "spoofing_min_unexpected_count"},
            0};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        AnalysisConfigArguments in;
        auto number = [&](std::size_t i, double& out) { return a[i] == nullptr || to_number(a[i], a.name(i), out); };
        auto flag = [&](std::size_t i, bool& out) { return a[i] == nullptr || to_strict_bool(a[i], a.name(i), out); };
        auto time_bin = [&](std::size_t i, std::optional<std::int64_t>& out) {
            if (!a.given(i)) return true;
            std::uint32_t v = 0;
            if (!to_u32(a[i], a.name(i), v)) return false;
            out = v;
            return true;
        };
        if (!number(0, in.min_elevation) || !number(1, in.min_cn0) || !number(2, in.max_cn0) ||
            !time_bin(3, in.time_bin_seconds) || !time_bin(4, in.time_bin) ||
            !to_optional_text_list(a[5], a.name(5), in.systems) || !number(6, in.anomaly_threshold_low) ||
            !number(7, in.anomaly_threshold_high) || !number(8, in.anomaly_threshold_critical) ||
            !flag(9, in.detect_anomalies) || !number(10, in.anomaly_sensitivity) ||
            !number(11, in.interference_threshold_db) || !flag(12, in.verbose) ||
            !to_optional_nav_files(a[13], a.name(13), in.nav_file) ||
            !number(14, in.spoofing_unexpected_threshold) || !number(15, in.spoofing_min_unexpected_count)) {
            return nullptr;
        }
        auto config = make_analysis_config(in);
        if (!config) {
            PyErr_SetString(PyExc_OverflowError, config.error().c_str());
            return nullptr;
        }
        return box(type, std::move(*config));
    });
}

template <auto Field>
PyObject* config_number(PyObject* self, void*) {
    return guarded([&] { return new_float(config_of(self).*Field); });
}
template <auto Field>
PyObject* config_flag(PyObject* self, void*) {
    return guarded([&] { return new_bool(config_of(self).*Field); });
}
PyObject* config_time_bin(PyObject* self, void*) {
    return guarded([&] { return new_count(config_of(self).time_bin_seconds); });
}
PyObject* config_systems(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        const auto& systems = config_of(self).systems;
        if (!systems) Py_RETURN_NONE;
        return new_text_list(*systems);
    });
}
PyObject* config_nav_file(PyObject* self, void*) {
    return guarded([&]() -> PyObject* {
        return new_nav_files(config_of(self).nav_file);
    });
}

PyGetSetDef config_getset[] = {
    {"min_elevation", config_number<&AnalysisConfig::min_elevation>, nullptr, nullptr, nullptr},
    {"min_cn0", config_number<&AnalysisConfig::min_cn0>, nullptr, nullptr, nullptr},
    {"max_cn0", config_number<&AnalysisConfig::max_cn0>, nullptr, nullptr, nullptr},
    {"time_bin_seconds", config_time_bin, nullptr, nullptr, nullptr},
    {"systems", config_systems, nullptr, nullptr, nullptr},
    {"anomaly_threshold_low", config_number<&AnalysisConfig::anomaly_threshold_low>, nullptr, nullptr, nullptr},
    {"anomaly_threshold_high", config_number<&AnalysisConfig::anomaly_threshold_high>, nullptr, nullptr, nullptr},
    {"anomaly_threshold_critical", config_number<&AnalysisConfig::anomaly_threshold_critical>, nullptr, nullptr,
     nullptr},
    {"detect_anomalies", config_flag<&AnalysisConfig::detect_anomalies>, nullptr, nullptr, nullptr},
    {"anomaly_sensitivity", config_number<&AnalysisConfig::anomaly_sensitivity>, nullptr, nullptr, nullptr},
    {"interference_threshold_db", config_number<&AnalysisConfig::interference_threshold_db>, nullptr, nullptr,
     nullptr},
    {"verbose", config_flag<&AnalysisConfig::verbose>, nullptr, nullptr, nullptr},
    {"nav_file", config_nav_file, nullptr, nullptr, nullptr},
    {"spoofing_unexpected_threshold", config_number<&AnalysisConfig::spoofing_unexpected_threshold>, nullptr,
     nullptr, nullptr},
    {"spoofing_min_unexpected_count", config_number<&AnalysisConfig::spoofing_min_unexpected_count>, nullptr,
     nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot config_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(config_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<AnalysisConfig>)},
    {Py_tp_getset, config_getset},
    {Py_tp_doc, const_cast<char*>(
                    "AnalysisConfig(min_elevation=5.0, min_cn0=0.0, max_cn0=60.0, time_bin_seconds=None, "
                    "time_bin=None, systems=None, anomaly_threshold_low=3.0, anomaly_threshold_high=6.0, "
                    "anomaly_threshold_critical=10.0, detect_anomalies=True, anomaly_sensitivity=0.5, "
                    "interference_threshold_db=6.0, verbose=False, nav_file=None, "
                    "spoofing_unexpected_threshold=0.40, spoofing_min_unexpected_count=8.0)\n--\n\n"
                    "Python wrapper for AnalysisConfig")},
    {0, nullptr},
};

// ---- CN0Analyzer -------------------------------------------------------------------------

struct Analyzer {
    AnalysisConfig config;
    std::optional<RinexObsData> observations;  // only analyzers made by from_obs have it
    std::optional<NavigationData> navigation;  // set by set_navigation
    // File analyses running with the interpreter lock released; while any runs, the analyzer
    // must not change.
    int active_file_analyses = 0;
};

Analyzer& analyzer_of(PyObject* self) { return unbox<Analyzer>(self); }

PyObject* analyzer_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"CN0Analyzer", {"config"}, 1};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        PyTypeObject* config_type = state_of_type(type).analysis_config;
        if (!PyObject_TypeCheck(a[0], config_type)) {
            argument_error("config", std::string("'") + Py_TYPE(a[0])->tp_name +
                                         "' object cannot be converted to 'AnalysisConfig'");
            return nullptr;
        }
        return box(type, Analyzer{config_of(a[0]), std::nullopt, std::nullopt, 0});
    });
}

PyObject* analyzer_from_obs(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"from_obs", {"obs_data", "min_elevation", "time_bin_seconds", "systems"}, 1};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        const ModuleState& st = state_of_module(module);
        if (!PyObject_TypeCheck(a[0], st.rinex_obs_data)) {
            argument_error("obs_data", std::string("'") + Py_TYPE(a[0])->tp_name +
                                           "' object cannot be converted to 'RinexObsData'");
            return nullptr;
        }
        double min_elevation = 5.0;
        std::uint32_t time_bin = 60;
        std::optional<std::vector<std::string>> systems;
        if ((a[1] != nullptr && !to_number(a[1], "min_elevation", min_elevation)) ||
            (a[2] != nullptr && !to_u32(a[2], "time_bin_seconds", time_bin)) ||
            !to_optional_text_list(a[3], "systems", systems)) {
            return nullptr;
        }
        auto config = from_obs_analysis_config(min_elevation, time_bin, std::move(systems));
        if (!config) {
            PyErr_SetString(PyExc_OverflowError, config.error().c_str());
            return nullptr;
        }
        return box(st.cn0_analyzer, Analyzer{std::move(*config), unbox<RinexObsData>(a[0]), std::nullopt, 0});
    });
}

PyObject* analyzer_set_navigation(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"set_navigation", {"nav_data"}, 1};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        if (!PyObject_TypeCheck(a[0], state_of_instance(self).navigation_data)) {
            argument_error("nav_data", std::string("'") + Py_TYPE(a[0])->tp_name +
                                           "' object cannot be converted to 'NavigationData'");
            return nullptr;
        }
        Analyzer& an = analyzer_of(self);
        if (an.active_file_analyses > 0) {
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
            return nullptr;
        }
        an.navigation = unbox<NavigationData>(a[0]);
        Py_RETURN_NONE;
    });
}

PyObject* analyzer_analyze(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"analyze", {}, 0};
        Arguments a(sig);
        if (!a.bind(args, kwargs)) return nullptr;
        const Analyzer& an = analyzer_of(self);
        if (!an.observations) {
            return raise_value_error("No observation data. Use analyze_file() or CN0Analyzer.from_obs()");
        }
        AnalysisResult result = analyse(*an.observations, analysis_settings(an.config),
                                        an.navigation ? &*an.navigation : nullptr);
        return wrap_analysis_result(state_of_instance(self).analysis_result, std::move(result));
    });
}

// Reads, parses and analyses with the interpreter lock released; the analyzer stays borrowed
// meanwhile so that set_navigation from another thread cannot change it.
PyObject* analyse_files(PyObject* self, const std::string& obs_path, const std::optional<NavFiles>& nav_files) {
    Analyzer& an = analyzer_of(self);
    ++an.active_file_analyses;
    std::optional<FileAnalysis> done;
    try {
        done = analyse_files_unlocked(obs_path, nav_files, analysis_settings(an.config));
    } catch (...) {
        --an.active_file_analyses;
        throw;
    }
    --an.active_file_analyses;
    if (done->failure) return raise_failure(*done->failure);
    return wrap_analysis_result(state_of_instance(self).analysis_result, std::move(*done->result));
}

PyObject* analyzer_analyze_file(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"analyze_file", {"obs_path"}, 1};
        Arguments a(sig);
        std::string obs_path;
        if (!a.bind(args, kwargs) || !to_path(a[0], "obs_path", obs_path)) return nullptr;
        return analyse_files(self, obs_path, analyzer_of(self).config.nav_file);
    });
}

PyObject* analyzer_analyze_with_nav(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"analyze_with_nav", {"obs_path", "nav_path"}, 2};
        Arguments a(sig);
        std::string obs_path;
        std::optional<NavFiles> nav_files;
        if (!a.bind(args, kwargs) || !to_path(a[0], "obs_path", obs_path)) return nullptr;
        // This method is the one that takes navigation data, so None is refused as a path would be.
        std::string none_path;
        if (a[1] == Py_None && !to_path(a[1], "nav_path", none_path)) return nullptr;
        if (!to_optional_nav_files(a[1], "nav_path", nav_files)) return nullptr;
        return analyse_files(self, obs_path, nav_files);
    });
}

#define QCN0_KW(fn) reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn))

PyMethodDef analyzer_methods[] = {
    {"set_navigation", QCN0_KW(analyzer_set_navigation), METH_VARARGS | METH_KEYWORDS,
     "set_navigation($self, nav_data)\n--\n\nSet navigation data for satellite position computation (old API)"},
    {"analyze", QCN0_KW(analyzer_analyze), METH_VARARGS | METH_KEYWORDS,
     "analyze($self)\n--\n\nRun CN0 analysis (old API - requires obs_data set via from_obs)"},
    {"analyze_file", QCN0_KW(analyzer_analyze_file), METH_VARARGS | METH_KEYWORDS,
     "analyze_file($self, obs_path)\n--\n\nAnalyze RINEX observation file from path (new API)"},
    {"analyze_with_nav", QCN0_KW(analyzer_analyze_with_nav), METH_VARARGS | METH_KEYWORDS,
     "analyze_with_nav($self, obs_path, nav_path)\n--\n\nAnalyze with separate navigation file (new API)"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot analyzer_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(analyzer_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<Analyzer>)},
    {Py_tp_methods, analyzer_methods},
    {Py_tp_doc, const_cast<char*>("CN0Analyzer(config)\n--\n\n"
                                  "Python wrapper for CN0Analyzer - supports both config-based and direct API")},
    {0, nullptr},
};

}  // namespace

// from_obs is a static method; it is made a function of the module (so it can reach the classes)
// and placed in the class when the module initialises.
PyMethodDef analyzer_from_obs_def = {
    "from_obs", QCN0_KW(analyzer_from_obs), METH_VARARGS | METH_KEYWORDS,
    "from_obs(obs_data, min_elevation=5.0, time_bin_seconds=60, systems=None)\n--\n\n"
    "Alternative constructor from observation data (legacy API)"};

#undef QCN0_KW

PyType_Spec analysis_config_spec = {
    "builtins.AnalysisConfig",
    static_cast<int>(sizeof(Boxed<AnalysisConfig>)),
    0,
    Py_TPFLAGS_DEFAULT,
    config_slots,
};

PyType_Spec cn0_analyzer_spec = {
    "builtins.CN0Analyzer",
    static_cast<int>(sizeof(Boxed<Analyzer>)),
    0,
    Py_TPFLAGS_DEFAULT,
    analyzer_slots,
};

}  // namespace qcn0::py
