// The classes of the module: their specs and the functions that wrap C++ values in them.
#pragma once

#include "python/objects.hpp"
#include "navigation/navigation_data.hpp"
#include "results/analysis_result.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0::py {

extern PyType_Spec rinex_obs_data_spec;
PyObject* wrap_rinex_obs_data(PyTypeObject* type, RinexObsData&& data);

extern PyType_Spec navigation_data_spec;
PyObject* wrap_navigation_data(PyTypeObject* type, NavigationData&& data);

extern PyType_Spec analysis_result_spec;
extern PyType_Spec quality_score_spec;
PyObject* wrap_analysis_result(PyTypeObject* type, AnalysisResult&& result);

extern PyType_Spec analysis_config_spec;
extern PyType_Spec cn0_analyzer_spec;
extern PyMethodDef analyzer_from_obs_def;

// Raises the Python exception of a failed read: IOError for the operating system's errors,
// ValueError for content the reader rejects. `io_prefix` goes before an IOError's text.
PyObject* raise_failure(const Error& failure, const char* io_prefix = "");

}  // namespace qcn0::py
