// The Python class NavigationData: one parsed broadcast navigation file.
#include "navigation/navigation_data.hpp"
#include "python/classes.hpp"
#include "python/objects.hpp"

namespace qcn0::py {

namespace {

const NavigationData& data_of(PyObject* self) { return unbox<NavigationData>(self); }

PyObject* get_satellite_count(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).satellite_count()); });
}
PyObject* get_gps_count(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).gps_count()); });
}
PyObject* get_glonass_count(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).glonass_count()); });
}
PyObject* get_galileo_count(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).galileo_count()); });
}
PyObject* get_beidou_count(PyObject* self, void*) {
    return guarded([&] { return new_count(data_of(self).beidou_count()); });
}

PyObject* has_data_method(PyObject* self, PyObject*) {
    return guarded([&] { return new_bool(data_of(self).has_data()); });
}

PyObject* repr(PyObject* self) {
    return guarded([&] {
        const NavigationData& d = data_of(self);
        std::string text = "NavigationData(GPS=" + std::to_string(d.gps_count()) +
                           ", GLONASS=" + std::to_string(d.glonass_count()) +
                           ", Galileo=" + std::to_string(d.galileo_count()) +
                           ", BeiDou=" + std::to_string(d.beidou_count()) + ")";
        return new_text(text);
    });
}

PyGetSetDef getset[] = {
    {"satellite_count", get_satellite_count, nullptr, "Get satellite count", nullptr},
    {"gps_count", get_gps_count, nullptr, "Get GPS satellite count", nullptr},
    {"glonass_count", get_glonass_count, nullptr, "Get GLONASS satellite count", nullptr},
    {"galileo_count", get_galileo_count, nullptr, "Get Galileo satellite count", nullptr},
    {"beidou_count", get_beidou_count, nullptr, "Get BeiDou satellite count", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"has_data", has_data_method, METH_NOARGS,
     "has_data($self)\n--\n\nCheck if navigation data is available"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<NavigationData>)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_getset, getset},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("Python wrapper for NavigationData")},
    {0, nullptr},
};

}  // namespace

PyType_Spec navigation_data_spec = {
    "builtins.NavigationData",
    static_cast<int>(sizeof(Boxed<NavigationData>)),
    0,
    Py_TPFLAGS_DEFAULT,
    slots,
};

PyObject* wrap_navigation_data(PyTypeObject* type, NavigationData&& data) {
    return box(type, std::move(data));
}

}  // namespace qcn0::py
