// The one way Python arguments reach the library: binding by Python's rules for a text
// signature, conversions with their exact error texts, and the guard that turns C++ faults into
// Python exceptions. Every converter returns false with a Python exception set on failure.
#pragma once

#include "python/ref.hpp"

#include <cstdint>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qcn0::py {

// Parameters of a callable: its name (for messages) and its parameter names in order; the
// first `required` have no default.
struct Signature {
    const char* function;
    std::vector<const char*> params;
    std::size_t required;
};

// Binds positional and keyword arguments to the parameters of a signature. Afterwards
// operator[] gives the bound object of each parameter (borrowed), or null when omitted.
class Arguments {
public:
    explicit Arguments(const Signature& sig) : sig_(sig), values_(sig.params.size(), nullptr) {}
    // False with TypeError set for a missing required argument, a surplus positional argument,
    // an unknown keyword or a parameter given twice.
    bool bind(PyObject* args, PyObject* kwargs);
    PyObject* operator[](std::size_t i) const { return values_[i]; }
    // Bound and not None.
    bool given(std::size_t i) const { return values_[i] != nullptr && values_[i] != Py_None; }
    const char* name(std::size_t i) const { return sig_.params[i]; }

private:
    const Signature& sig_;
    std::vector<PyObject*> values_;
};

// TypeError "argument '<param>': <message>".
void argument_error(const char* param, const std::string& message);

bool to_text(PyObject* obj, const char* param, std::string& out);
// A path: a str, encoded with the file-system encoding (so undecodable names survive).
bool to_path(PyObject* obj, const char* param, std::string& out);
// A bytes object (not bytearray, not str); the view lives as long as obj.
bool to_bytes(PyObject* obj, const char* param, std::string_view& out);
// A float, or anything convertible to one (int, objects with __float__ or __index__).
bool to_number(PyObject* obj, const char* param, double& out);
// A bool (NumPy's boolean scalar too); nothing else.
bool to_strict_bool(PyObject* obj, const char* param, bool& out);
// An integer (anything with __index__) from 0 to 4294967295; OverflowError
// "out of range integral type conversion attempted" outside.
bool to_u32(PyObject* obj, const char* param, std::uint32_t& out);
// A sequence whose items are all str; a str itself is refused.
bool to_text_list(PyObject* obj, const char* param, std::vector<std::string>& out);
// None or omitted (null) give an absent value.
bool to_optional_text(PyObject* obj, const char* param, std::optional<std::string>& out);
bool to_optional_text_list(PyObject* obj, const char* param,
                           std::optional<std::vector<std::string>>& out);

// Builders of fresh Python values; null with an exception set on failure.
PyObject* new_text(std::string_view s);
PyObject* new_float(double v);
PyObject* new_count(std::uint64_t v);
PyObject* new_bool(bool v);
PyObject* new_text_list(const std::vector<std::string>& items);
PyObject* new_float_list(const std::vector<double>& items);
PyObject* new_count_list(const std::vector<std::uint64_t>& items);
// Sets d[key] = value, stealing value; false on failure.
bool dict_set(PyObject* d, std::string_view key, PyObject* value);

// Raises IOError (OSError) with a text.
PyObject* raise_io_error(const std::string& message);
PyObject* raise_value_error(const std::string& message);

// Runs a body that returns a new reference (or null with an exception set) and turns every
// C++ exception into a Python one: MemoryError for exhausted memory, SystemError otherwise.
template <typename F>
PyObject* guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_SystemError, e.what());
        return nullptr;
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unexpected internal fault");
        return nullptr;
    }
}

// Same for slots that return an int status (0 or -1).
template <typename F>
int guarded_status(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        return -1;
    } catch (const std::exception& e) {
        PyErr_SetString(PyExc_SystemError, e.what());
        return -1;
    } catch (...) {
        PyErr_SetString(PyExc_SystemError, "unexpected internal fault");
        return -1;
    }
}

}  // namespace qcn0::py
