#include "python/binding.hpp"

#include <cstring>

namespace qcn0::py {

namespace {

std::string quoted_list(const std::vector<const char*>& names) {
    // 'a'; 'a' and 'b'; 'a', 'b', and 'c' -- as Python words it.
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            if (names.size() > 2) out += ",";
            if (i + 1 == names.size()) out += " and";
            out += " ";
        }
        out += "'";
        out += names[i];
        out += "'";
    }
    return out;
}

const char* type_name(PyObject* obj) { return Py_TYPE(obj)->tp_name; }

std::string short_type_name(PyObject* obj) {
    std::string name = type_name(obj);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

// Prefixes the pending TypeError with the parameter name; other exceptions pass unchanged.
void prefix_type_error(const char* param) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject *type, *value, *trace;
    PyErr_Fetch(&type, &value, &trace);
    PyErr_NormalizeException(&type, &value, &trace);
    Ref t = Ref::steal(type), v = Ref::steal(value), tb = Ref::steal(trace);
    Ref text = Ref::steal(v ? PyObject_Str(v.get()) : nullptr);
    const char* msg = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    if (msg == nullptr) {
        PyErr_Clear();
        msg = "invalid argument";
    }
    argument_error(param, msg);
}

}  // namespace

void argument_error(const char* param, const std::string& message) {
    std::string text = "argument '";
    text += param;
    text += "': ";
    text += message;
    PyErr_SetString(PyExc_TypeError, text.c_str());
}

bool Arguments::bind(PyObject* args, PyObject* kwargs) {
    const std::size_t n_params = sig_.params.size();
    const Py_ssize_t n_args = args ? PyTuple_GET_SIZE(args) : 0;
    if (static_cast<std::size_t>(n_args) > n_params) {
        std::string msg = std::string(sig_.function) + "() takes ";
        if (sig_.required == n_params) {
            msg += std::to_string(n_params);
        } else {
            msg += "from " + std::to_string(sig_.required) + " to " + std::to_string(n_params);
        }
        msg += n_params == 1 && sig_.required == 1 ? " positional argument" : " positional arguments";
        msg += " but " + std::to_string(n_args) + (n_args == 1 ? " was" : " were") + " given";
        PyErr_SetString(PyExc_TypeError, msg.c_str());
        return false;
    }
    for (Py_ssize_t i = 0; i < n_args; ++i) values_[static_cast<std::size_t>(i)] = PyTuple_GET_ITEM(args, i);

    if (kwargs != nullptr && PyDict_GET_SIZE(kwargs) > 0) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!PyUnicode_Check(key)) {
                PyErr_SetString(PyExc_TypeError, "keywords must be strings");
                return false;
            }
            const char* k = PyUnicode_AsUTF8(key);
            if (k == nullptr) return false;
            std::size_t index = n_params;
            for (std::size_t i = 0; i < n_params; ++i) {
                if (std::strcmp(sig_.params[i], k) == 0) {
                    index = i;
                    break;
                }
            }
            if (index == n_params) {
                PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%s'",
                             sig_.function, k);
                return false;
            }
            if (values_[index] != nullptr) {
                PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'",
                             sig_.function, k);
                return false;
            }
            values_[index] = value;
        }
    }

    std::vector<const char*> missing;
    for (std::size_t i = 0; i < sig_.required; ++i) {
        if (values_[i] == nullptr) missing.push_back(sig_.params[i]);
    }
    if (!missing.empty()) {
        std::string msg = std::string(sig_.function) + "() missing " + std::to_string(missing.size()) +
                          " required positional argument" + (missing.size() == 1 ? "" : "s") +
                          ": " + quoted_list(missing);
        PyErr_SetString(PyExc_TypeError, msg.c_str());
        return false;
    }
    return true;
}

bool to_text(PyObject* obj, const char* param, std::string& out) {
    if (!PyUnicode_Check(obj)) {
        argument_error(param, "'" + short_type_name(obj) + "' object cannot be converted to 'str'");
        return false;
    }
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(obj, &size);
    if (data == nullptr) {
        prefix_type_error(param);
        return false;
    }
    out.assign(data, static_cast<std::size_t>(size));
    return true;
}

bool to_path(PyObject* obj, const char* param, std::string& out) {
    if (!PyUnicode_Check(obj)) {
        argument_error(param, "'" + short_type_name(obj) + "' object cannot be converted to 'str'");
        return false;
    }
    Ref encoded = Ref::steal(PyUnicode_EncodeFSDefault(obj));
    if (!encoded) return false;
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(encoded.get(), &data, &size) != 0) return false;
    out.assign(data, static_cast<std::size_t>(size));
    return true;
}

bool to_bytes(PyObject* obj, const char* param, std::string_view& out) {
    if (!PyBytes_Check(obj)) {
        argument_error(param, "'" + short_type_name(obj) + "' object cannot be converted to 'bytes'");
        return false;
    }
    out = std::string_view(PyBytes_AS_STRING(obj), static_cast<std::size_t>(PyBytes_GET_SIZE(obj)));
    return true;
}

bool to_number(PyObject* obj, const char* param, double& out) {
    double v = PyFloat_AsDouble(obj);
    if (v == -1.0 && PyErr_Occurred()) {
        prefix_type_error(param);
        return false;
    }
    out = v;
    return true;
}

bool to_strict_bool(PyObject* obj, const char* param, bool& out) {
    if (obj == Py_True || obj == Py_False) {
        out = obj == Py_True;
        return true;
    }
    // NumPy's boolean scalar is a bool in all but type.
    const char* name = type_name(obj);
    if (std::strcmp(name, "numpy.bool_") == 0 || std::strcmp(name, "numpy.bool") == 0) {
        int truth = PyObject_IsTrue(obj);
        if (truth < 0) return false;
        out = truth == 1;
        return true;
    }
    argument_error(param, "'" + short_type_name(obj) + "' object cannot be converted to 'bool'");
    return false;
}

bool to_u32(PyObject* obj, const char* param, std::uint32_t& out) {
    Ref index = Ref::steal(PyNumber_Index(obj));
    if (!index) {
        prefix_type_error(param);
        return false;
    }
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (overflow != 0) {
        PyErr_SetString(PyExc_OverflowError, "Python int too large to convert to C long");
        return false;
    }
    if (v == -1 && PyErr_Occurred()) return false;
    if (v < 0 || v > 4294967295LL) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        return false;
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool to_text_list(PyObject* obj, const char* param, std::vector<std::string>& out) {
    if (PyUnicode_Check(obj)) {
        argument_error(param, "Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(obj)) {
        argument_error(param, "'" + short_type_name(obj) + "' object cannot be converted to 'Sequence'");
        return false;
    }
    Ref fast = Ref::steal(PySequence_Fast(obj, "expected a sequence"));
    if (!fast) {
        prefix_type_error(param);
        return false;
    }
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast.get());
    out.clear();
    out.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        std::string item;
        if (!to_text(PySequence_Fast_GET_ITEM(fast.get(), i), param, item)) return false;
        out.push_back(std::move(item));
    }
    return true;
}

bool to_optional_text(PyObject* obj, const char* param, std::optional<std::string>& out) {
    if (obj == nullptr || obj == Py_None) {
        out.reset();
        return true;
    }
    std::string s;
    if (!to_text(obj, param, s)) return false;
    out = std::move(s);
    return true;
}

bool to_optional_text_list(PyObject* obj, const char* param,
                           std::optional<std::vector<std::string>>& out) {
    if (obj == nullptr || obj == Py_None) {
        out.reset();
        return true;
    }
    std::vector<std::string> items;
    if (!to_text_list(obj, param, items)) return false;
    out = std::move(items);
    return true;
}

PyObject* new_text(std::string_view s) {
    return PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
}
PyObject* new_float(double v) { return PyFloat_FromDouble(v); }
PyObject* new_count(std::uint64_t v) { return PyLong_FromUnsignedLongLong(v); }
PyObject* new_bool(bool v) { return PyBool_FromLong(v ? 1 : 0); }

namespace {
template <typename T, typename Make>
PyObject* new_list(const std::vector<T>& items, Make make) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyObject* item = make(items[i]);
        if (item == nullptr) return nullptr;
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
    }
    return list.release();
}
}  // namespace

PyObject* new_text_list(const std::vector<std::string>& items) {
    return new_list(items, [](const std::string& s) { return new_text(s); });
}
PyObject* new_float_list(const std::vector<double>& items) {
    return new_list(items, [](double v) { return new_float(v); });
}
PyObject* new_count_list(const std::vector<std::uint64_t>& items) {
    return new_list(items, [](std::uint64_t v) { return new_count(v); });
}

bool dict_set(PyObject* d, std::string_view key, PyObject* value) {
    Ref v = Ref::steal(value);
    if (!v) return false;
    Ref k = Ref::steal(new_text(key));
    if (!k) return false;
    return PyDict_SetItem(d, k.get(), v.get()) == 0;
}

PyObject* raise_io_error(const std::string& message) {
    PyErr_SetString(PyExc_OSError, message.c_str());
    return nullptr;
}

PyObject* raise_value_error(const std::string& message) {
    PyErr_SetString(PyExc_ValueError, message.c_str());
    return nullptr;
}

}  // namespace qcn0::py
