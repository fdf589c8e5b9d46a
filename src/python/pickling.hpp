// Pickling of AnalysisResult: __reduce__ hands pickle the module's reconstructor and the result's
// compact state, so a result crosses processes whole (samples, events and health included).
#pragma once

#include "python/ref.hpp"

namespace qcn0::py {

// AnalysisResult.__reduce__: (quorsin_cn0._core._restore_result, (state,)).
PyObject* result_reduce(PyObject* self, PyObject* unused);

// _restore_result(state): the AnalysisResult saved in state; ValueError for a state that is
// truncated, altered or of another version.
extern PyMethodDef restore_result_def;

// The module name pickle records for the reconstructor.
inline constexpr const char* kRestoreModule = "quorsin_cn0._core";

}  // namespace qcn0::py
