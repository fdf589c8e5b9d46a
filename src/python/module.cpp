// Module initialisation: VERSION, __version__, the classes and the functions, each recorded in
// __all__ in the order they are added. The module keeps nothing else.
#include "python/classes.hpp"
#include "python/functions.hpp"
#include "python/objects.hpp"
#include "python/pickling.hpp"

#include <cstring>

namespace qcn0::py {

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
    const char* name = type->tp_name;
    if (const char* dot = std::strrchr(name, '.')) name = dot + 1;
    PyErr_Format(PyExc_TypeError, "No constructor defined for %s", name);
    return nullptr;
}

namespace {

#define QCN0_FUNCTION(name, signature, doc)                                                       \
    {#name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(name)),                   \
     METH_VARARGS | METH_KEYWORDS, #name signature "\n--\n\n" doc}

PyMethodDef functions[] = {
    QCN0_FUNCTION(read_rinex_obs, "(path)", "Read RINEX observation file from path"),
    QCN0_FUNCTION(read_rinex_obs_bytes, "(data, filename)", "Read RINEX observation file from bytes"),
    QCN0_FUNCTION(parse_rinex, "(data, filename)", "Alias for read_rinex_obs_bytes - parse RINEX from bytes"),
    QCN0_FUNCTION(read_navigation, "(path)", "Read navigation file from path"),
    QCN0_FUNCTION(read_navigation_bytes, "(data)", "Read navigation file from bytes"),
    QCN0_FUNCTION(analyze_cn0, "(obs_path, nav_path=None, min_elevation=5.0, systems=None)", "Quick analysis function"),
    QCN0_FUNCTION(version, "()", "Get library version"),
    QCN0_FUNCTION(download_tle, "()", "Download GNSS TLE from CelesTrak"),
    QCN0_FUNCTION(parse_tle_content, "(content)", "Parse TLE content and return satellite count"),
    {nullptr, nullptr, 0, nullptr},
};

#undef QCN0_FUNCTION

int traverse(PyObject* module, visitproc visit, void* arg) {
    ModuleState* st = static_cast<ModuleState*>(PyModule_GetState(module));
    if (st == nullptr) return 0;
    Py_VISIT(st->rinex_obs_data);
    Py_VISIT(st->navigation_data);
    Py_VISIT(st->analysis_config);
    Py_VISIT(st->cn0_analyzer);
    Py_VISIT(st->analysis_result);
    Py_VISIT(st->quality_score);
    return 0;
}

int clear(PyObject* module) {
    ModuleState* st = static_cast<ModuleState*>(PyModule_GetState(module));
    if (st == nullptr) return 0;
    Py_CLEAR(st->rinex_obs_data);
    Py_CLEAR(st->navigation_data);
    Py_CLEAR(st->analysis_config);
    Py_CLEAR(st->cn0_analyzer);
    Py_CLEAR(st->analysis_result);
    Py_CLEAR(st->quality_score);
    return 0;
}

void free_module(void* module) { clear(static_cast<PyObject*>(module)); }

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "quorsin_cn0",
    "GNSS signal-quality analysis: C/N0 statistics, anomalies, visibility prediction and "
    "interference verdicts from RINEX observation and navigation files.",
    static_cast<Py_ssize_t>(sizeof(ModuleState)),
    nullptr,
    nullptr,
    traverse,
    clear,
    free_module,
};

bool append_name(PyObject* all, const char* name) {
    Ref text = Ref::steal(PyUnicode_FromString(name));
    return text && PyList_Append(all, text.get()) == 0;
}

PyObject* init_module() {
    Ref module = Ref::steal(PyModule_Create(&module_def));
    if (!module) return nullptr;
    PyObject* m = module.get();
    ModuleState& st = state_of_module(m);
    Ref all = Ref::steal(PyList_New(0));
    if (!all) return nullptr;

    for (const char* name : {"VERSION", "__version__"}) {
        if (PyModule_AddStringConstant(m, name, library_version()) != 0 || !append_name(all.get(), name)) {
            return nullptr;
        }
    }

    struct ClassEntry {
        PyType_Spec* spec;
        PyTypeObject** slot;
        const char* name;
    };
    const ClassEntry classes[] = {
        {&rinex_obs_data_spec, &st.rinex_obs_data, "RinexObsData"},
        {&navigation_data_spec, &st.navigation_data, "NavigationData"},
        {&analysis_config_spec, &st.analysis_config, "AnalysisConfig"},
        {&cn0_analyzer_spec, &st.cn0_analyzer, "CN0Analyzer"},
        {&analysis_result_spec, &st.analysis_result, "AnalysisResult"},
        {&quality_score_spec, &st.quality_score, "QualityScore"},
    };
    for (const auto& c : classes) {
        PyObject* type = PyType_FromModuleAndSpec(m, c.spec, nullptr);
        if (type == nullptr) return nullptr;
        *c.slot = reinterpret_cast<PyTypeObject*>(type);  // the state keeps this reference
        if (PyModule_AddObjectRef(m, c.name, type) != 0 || !append_name(all.get(), c.name)) return nullptr;
    }

    // CN0Analyzer.from_obs: a static method bound to the module, so it can reach the classes.
    Ref from_obs = Ref::steal(PyCFunction_NewEx(&analyzer_from_obs_def, m, nullptr));
    if (!from_obs) return nullptr;
    Ref static_from_obs = Ref::steal(PyStaticMethod_New(from_obs.get()));
    if (!static_from_obs ||
        PyObject_SetAttrString(reinterpret_cast<PyObject*>(st.cn0_analyzer), "from_obs", static_from_obs.get()) != 0) {
        return nullptr;
    }

    if (PyModule_AddFunctions(m, functions) != 0) return nullptr;
    for (const PyMethodDef* f = functions; f->ml_name != nullptr; ++f) {
        if (!append_name(all.get(), f->ml_name)) return nullptr;
    }
    // The reconstructor of pickled results: in the module but not in __all__, and named after
    // the compiled module itself, where pickle looks it up when loading.
    Ref restore_module = Ref::steal(PyUnicode_FromString(kRestoreModule));
    if (!restore_module) return nullptr;
    Ref restore = Ref::steal(PyCFunction_NewEx(&restore_result_def, m, restore_module.get()));
    if (!restore || PyModule_AddObjectRef(m, restore_result_def.ml_name, restore.get()) != 0) {
        return nullptr;
    }

    if (PyModule_AddObjectRef(m, "__all__", all.get()) != 0) return nullptr;
    return module.release();
}

}  // namespace

}  // namespace qcn0::py

// The compiled part of the package quorsin_cn0 is its submodule _core; the module still calls
// itself "quorsin_cn0", so the functions' __module__ names the package a user imports.
PyMODINIT_FUNC PyInit__core(void) {
    return qcn0::py::guarded([] { return qcn0::py::init_module(); });
}
