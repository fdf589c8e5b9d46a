// The array views of the classes (py_arrays.cpp), placed in their method tables.
#pragma once

#include "python/binding.hpp"

namespace qcn0::py {

PyObject* rinex_obs_to_xarray(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* rinex_obs_cn0(PyObject* self, PyObject* args);
PyObject* result_to_dataframe(PyObject* self, PyObject* args, PyObject* kwargs);

#define QCN0_TO_XARRAY_DOC                                                                         \
    "to_xarray($self, use=None, meas=None)\n--\n\n"                                                \
    "The observations as an xarray.Dataset laid out like georinex.load's: dimensions time\n"      \
    "(datetime64[ns], one row per stored epoch, in file order) and sv (identifiers, ascending);\n" \
    "one float64 variable per observation code, NaN where nothing was observed (a 0.0 field is\n"  \
    "no observation); the header facts as attributes.\n\n"                                         \
    "use: system letters to keep ('G' or ['G', 'E']); meas: codes to keep, each item keeping\n"   \
    "the codes that start with it ('S' keeps every signal strength). RINEX 2 codes are named as\n" \
    "read (S1 as S1C, P2 as C2P); a two-letter RINEX 2 name in meas selects the code it was read\n" \
    "as.\n"                                                                                        \
    "Needs numpy and xarray (pip install 'quorsin_cn0[arrays]')."

#define QCN0_CN0_DOC                                                                               \
    "cn0($self)\n--\n\n"                                                                           \
    "Signal strength as NumPy arrays: (times, satellites, codes, values), values being a float32\n" \
    "array of shape (time, satellite, signal-strength code), NaN where absent. times are\n"        \
    "datetime64[ns], one per stored epoch; satellites ascending; codes in header order.\n"         \
    "Needs numpy only."

#define QCN0_TO_DATAFRAME_DOC                                                                      \
    "to_dataframe($self, what)\n--\n\n"                                                            \
    "A table of the result as a pandas DataFrame: what is 'satellites', 'constellations',\n"      \
    "'timeseries', 'anomalies', 'events' or 'samples' (the accepted C/N0 samples: time,\n"        \
    "satellite, code, cn0, elevation, azimuth). Times are datetime64[ns], satellites, systems\n"  \
    "and codes categorical. Needs pandas (pip install 'quorsin_cn0[arrays]')."

}  // namespace qcn0::py
