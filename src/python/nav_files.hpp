// Navigation paths as the Python entry points take them: one str, or a sequence of str whose
// files are merged into one navigation data set.
#pragma once

#include <optional>

#include "cn0/analysis_config.hpp"
#include "python/ref.hpp"

namespace qcn0::py {

// None (or null) gives an absent value; a str one path; any other sequence of str a list
// (an empty list stands for no navigation data). Other objects raise the TypeError of a path.
bool to_optional_nav_files(PyObject* obj, const char* param, std::optional<NavFiles>& out);

// The setting as it was given: None, the one str, or a new list of str.
PyObject* new_nav_files(const std::optional<NavFiles>& files);

}  // namespace qcn0::py
