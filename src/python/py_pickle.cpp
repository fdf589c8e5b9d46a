// AnalysisResult.__reduce__ and the module's reconstructor _restore_result.
#include "python/pickling.hpp"

#include <exception>
#include <string>
#include <string_view>

#include "python/classes.hpp"
#include "python/objects.hpp"
#include "results/result_state.hpp"

namespace qcn0::py {

namespace {

// Runs work with the interpreter lock released; a C++ exception (exhausted memory) is carried
// past the point where the lock is taken back, then rethrown for guarded() to turn into Python's.
template <typename F>
void without_gil(F&& work) {
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS
    try {
        work();
    } catch (...) {
        fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS
    if (fault) std::rethrow_exception(fault);
}

PyObject* restore_result(PyObject* module, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"_restore_result", {"state"}, 1};
        Arguments a(sig);
        std::string_view state;
        if (!a.bind(args, kwargs) || !to_bytes(a[0], "state", state)) return nullptr;
        // A full day's state is tens of megabytes: other threads run while it is decoded. The
        // bytes object is immutable and held by the call's arguments meanwhile.
        Expected<AnalysisResult> result = Error{""};
        without_gil([&] { result = load_result_state(state); });
        if (!result) return raise_value_error(result.error());
        return wrap_analysis_result(state_of_module(module).analysis_result, std::move(*result));
    });
}

}  // namespace

PyObject* result_reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        PyObject* module = PyType_GetModule(Py_TYPE(self));  // borrowed
        if (module == nullptr) return nullptr;
        Ref restore = Ref::steal(PyObject_GetAttrString(module, "_restore_result"));
        if (!restore) return nullptr;
        std::string state;
        const AnalysisResult& result = unbox<AnalysisResult>(self);
        without_gil([&] { state = save_result_state(result); });
        Ref bytes = Ref::steal(
            PyBytes_FromStringAndSize(state.data(), static_cast<Py_ssize_t>(state.size())));
        if (!bytes) return nullptr;
        return Py_BuildValue("(O(O))", restore.get(), bytes.get());
    });
}

PyMethodDef restore_result_def = {
    "_restore_result", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(restore_result)),
    METH_VARARGS | METH_KEYWORDS,
    "_restore_result(state)\n--\n\n"
    "The AnalysisResult saved by AnalysisResult.__reduce__ (used by pickle)."};

}  // namespace qcn0::py
