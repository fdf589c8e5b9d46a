// Python objects that own one C++ value, and the module state that knows the classes.
#pragma once

#include "python/binding.hpp"

#include <utility>

namespace qcn0::py {

// The classes of the module, created once per module object and kept in its state, so that any
// function or method can make instances of the others.
struct ModuleState {
    PyTypeObject* rinex_obs_data = nullptr;
    PyTypeObject* navigation_data = nullptr;
    PyTypeObject* analysis_config = nullptr;
    PyTypeObject* cn0_analyzer = nullptr;
    PyTypeObject* analysis_result = nullptr;
    PyTypeObject* quality_score = nullptr;
};

inline ModuleState& state_of_module(PyObject* module) {
    return *static_cast<ModuleState*>(PyModule_GetState(module));
}
inline ModuleState& state_of_type(PyTypeObject* type) {
    return *static_cast<ModuleState*>(PyType_GetModuleState(type));
}
inline ModuleState& state_of_instance(PyObject* self) { return state_of_type(Py_TYPE(self)); }

// A Python object holding a T by value.
template <typename T>
struct Boxed {
    PyObject ob_base;
    T value;
};

template <typename T>
T& unbox(PyObject* self) {
    return reinterpret_cast<Boxed<T>*>(self)->value;
}

// A new instance of `type` owning `value`; null with an exception set on failure.
template <typename T>
PyObject* box(PyTypeObject* type, T&& value) {
    using V = std::decay_t<T>;
    PyObject* obj = type->tp_alloc(type, 0);
    if (obj == nullptr) return nullptr;
    auto* boxed = reinterpret_cast<Boxed<V>*>(obj);
    try {
        new (&boxed->value) V(std::forward<T>(value));
    } catch (...) {
        // The value never came to life: free the bare object without running its destructor.
        PyTypeObject* t = Py_TYPE(obj);
        t->tp_free(obj);
        Py_DECREF(t);
        throw;
    }
    return obj;
}

template <typename T>
void boxed_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<Boxed<T>*>(self)->value.~T();
    type->tp_free(self);
    Py_DECREF(type);
}

// For values that take long to free (a full day's result or observation file holds millions of
// numbers): the memory is given back with the interpreter lock released, so that threads that
// analyse other files are not held up by it. The object is unreachable by then.
template <typename T>
void boxed_dealloc_unlocked(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    T* value = &reinterpret_cast<Boxed<T>*>(self)->value;
    Py_BEGIN_ALLOW_THREADS
    value->~T();
    Py_END_ALLOW_THREADS
    type->tp_free(self);
    Py_DECREF(type);
}

// tp_new of the classes that Python code cannot construct.
PyObject* no_constructor(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace qcn0::py
