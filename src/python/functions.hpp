// Module-level functions (METH_VARARGS | METH_KEYWORDS); each binds its own signature.
#pragma once

#include "python/binding.hpp"

namespace qcn0::py {

const char* library_version();

PyObject* read_rinex_obs(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* read_rinex_obs_bytes(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* parse_rinex(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* read_navigation(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* read_navigation_bytes(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* analyze_cn0(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* version(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* download_tle(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* parse_tle_content(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace qcn0::py
