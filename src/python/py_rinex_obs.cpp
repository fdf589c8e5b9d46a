// The Python class RinexObsData: one parsed observation file and its queries.
#include "python/arrays.hpp"
#include "python/classes.hpp"
#include "python/objects.hpp"
#include "rinex/obs_queries.hpp"

namespace qcn0::py {

namespace {

const RinexObsData& data_of(PyObject* self) { return unbox<RinexObsData>(self); }

PyObject* get_version(PyObject* self, void*) {
    return guarded([&] { return new_float(data_of(self).version); });
}
PyObject* get_marker_name(PyObject* self, void*) {
    return guarded([&] { return new_text(data_of(self).marker_name); });
}
PyObject* get_receiver_type(PyObject* self, void*) {
    return guarded([&] { return new_text(data_of(self).receiver_type); });
}
PyObject* get_interval(PyObject* self, void*) {
    return guarded([&] { return new_float(data_of(self).interval); });
}
PyObject* get_num_epochs(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).epochs.size()); });
}
PyObject* get_num_satellites(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).satellites.size()); });
}

PyObject* satellites_by_system_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        for (const auto& group : satellites_by_system(data_of(self))) {
            if (!dict_set(d.get(), std::string_view(&group.system, 1), new_text_list(group.satellites))) {
                return nullptr;
            }
        }
        return d.release();
    });
}

PyObject* obs_types_by_system_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        for (const auto& t : data_of(self).obs_types) {
            if (!dict_set(d.get(), std::string_view(&t.system, 1), new_text_list(t.codes))) return nullptr;
        }
        return d.release();
    });
}

PyObject* snr_availability_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        for (const auto& [system, available] : snr_availability(data_of(self))) {
            if (!dict_set(d.get(), std::string_view(&system, 1), new_bool(available))) return nullptr;
        }
        return d.release();
    });
}

PyObject* snr_stats_by_satellite_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        for (const auto& s : snr_stats_by_satellite(data_of(self))) {
            Ref inner = Ref::steal(PyDict_New());
            if (!inner) return nullptr;
            if (!dict_set(inner.get(), "obs_count", new_float(s.obs_count)) ||
                !dict_set(inner.get(), "valid_count", new_float(s.valid_count)) ||
                !dict_set(inner.get(), "mean_snr", new_float(s.mean_snr)) ||
                !dict_set(d.get(), s.satellite, inner.release())) {
                return nullptr;
            }
        }
        return d.release();
    });
}

PyObject* debug_info_method(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        for (const auto& [key, value] : debug_info(data_of(self))) {
            if (!dict_set(d.get(), key, new_text(value))) return nullptr;
        }
        return d.release();
    });
}

PyObject* repr(PyObject* self) {
    return guarded([&] { return new_text(describe(data_of(self))); });
}

PyGetSetDef getset[] = {
    {"version", get_version, nullptr, "Get RINEX version", nullptr},
    {"marker_name", get_marker_name, nullptr, "Get marker name", nullptr},
    {"receiver_type", get_receiver_type, nullptr, "Get receiver type", nullptr},
    {"interval", get_interval, nullptr, "Get interval", nullptr},
    {"num_epochs", get_num_epochs, nullptr, "Get number of epochs", nullptr},
    {"num_satellites", get_num_satellites, nullptr, "Get number of satellites", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"satellites_by_system", satellites_by_system_method, METH_NOARGS,
     "satellites_by_system($self)\n--\n\n"
     "Get satellites grouped by constellation system\n"
     "Returns dict like {'G': ['G01', 'G02', ...], 'R': ['R01', ...], ...}"},
    {"obs_types_by_system", obs_types_by_system_method, METH_NOARGS,
     "obs_types_by_system($self)\n--\n\n"
     "Get observation types by constellation system\n"
     "Returns dict like {'G': ['C1C', 'L1C', 'S1C', ...], 'C': ['C1I', 'L1I', 'S1I', ...], ...}"},
    {"snr_availability", snr_availability_method, METH_NOARGS,
     "snr_availability($self)\n--\n\nCheck if S (SNR) observations exist for each system"},
    {"debug_info", debug_info_method, METH_NOARGS,
     "debug_info($self)\n--\n\nGet detailed debug info about parsing"},
    {"snr_stats_by_satellite", snr_stats_by_satellite_method, METH_NOARGS,
     "snr_stats_by_satellite($self)\n--\n\n"
     "Get SNR statistics per satellite\n"
     "Returns HashMap with satellite ID as key, stats dict as value"},
    {"to_xarray", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(rinex_obs_to_xarray)),
     METH_VARARGS | METH_KEYWORDS, QCN0_TO_XARRAY_DOC},
    {"cn0", rinex_obs_cn0, METH_NOARGS, QCN0_CN0_DOC},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc_unlocked<RinexObsData>)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("Python wrapper for RinexObsData")},
    {0, nullptr},
};

}  // namespace

PyType_Spec rinex_obs_data_spec = {
    "builtins.RinexObsData",
    static_cast<int>(sizeof(Boxed<RinexObsData>)),
    0,
    Py_TPFLAGS_DEFAULT,
    slots,
};

PyObject* wrap_rinex_obs_data(PyTypeObject* type, RinexObsData&& data) {
    return box(type, std::move(data));
}

}  // namespace qcn0::py
