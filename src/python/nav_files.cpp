#include "python/nav_files.hpp"

#include "python/binding.hpp"

namespace qcn0::py {

bool to_optional_nav_files(PyObject* obj, const char* param, std::optional<NavFiles>& out) {
    out.reset();
    if (obj == nullptr || obj == Py_None) return true;
    NavFiles files;
    if (PyUnicode_Check(obj) || PyBytes_Check(obj) || !PySequence_Check(obj)) {
        std::string path;
        if (!to_path(obj, param, path)) return false;
        files.paths.push_back(std::move(path));
    } else {
        Ref fast = Ref::steal(PySequence_Fast(obj, "expected a sequence"));
        if (!fast) return false;
        const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast.get());
        for (Py_ssize_t i = 0; i < n; ++i) {
            std::string path;
            if (!to_path(PySequence_Fast_GET_ITEM(fast.get(), i), param, path)) return false;
            files.paths.push_back(std::move(path));
        }
        files.listed = true;
    }
    out = std::move(files);
    return true;
}

namespace {

// Paths were encoded with the file-system encoding; decoding the same way gives back the str.
PyObject* new_path_text(const std::string& path) {
    return PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size()));
}

}  // namespace

PyObject* new_nav_files(const std::optional<NavFiles>& files) {
    if (!files) Py_RETURN_NONE;
    if (!files->listed) return new_path_text(files->paths.front());
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const std::string& path : files->paths) {
        Ref item = Ref::steal(new_path_text(path));
        if (!item || PyList_Append(list.get(), item.get()) != 0) return nullptr;
    }
    return list.release();
}

}  // namespace qcn0::py
