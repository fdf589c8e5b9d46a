// Arrays for NumPy, xarray and pandas: RinexObsData.to_xarray and .cn0, AnalysisResult.to_dataframe.
//
// The numbers are written here, in one pass over the compact storage, into bytearray objects;
// the Python module quorsin_cn0._arrays only wraps those buffers (numpy.frombuffer, no copy) in
// the array libraries' types. No Python float is ever made per value, and the libraries are
// imported only when one of these methods is called.
#include <algorithm>
#include <cstring>
#include <span>

#include "core/unix_time.hpp"
#include "python/arrays.hpp"
#include "python/objects.hpp"
#include "rinex/obs_grid.hpp"
#include "results/analysis_result.hpp"

namespace qcn0::py {

namespace {

// A fresh, writable buffer of n elements of T (a bytearray: NumPy arrays on it can be written).
template <typename T>
Ref new_buffer(std::size_t n, T*& data) {
    Ref b = Ref::steal(PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(n * sizeof(T))));
    data = b ? reinterpret_cast<T*>(PyByteArray_AS_STRING(b.get())) : nullptr;
    return b;
}

template <typename T, typename F>
Ref buffer_of(std::size_t n, F&& element) {
    T* data = nullptr;
    Ref b = new_buffer<T>(n, data);
    if (!b) return b;
    for (std::size_t i = 0; i < n; ++i) data[i] = element(i);
    return b;
}

// Calls quorsin_cn0._arrays.<function>(*args), stealing args.
PyObject* call_helper(const char* function, PyObject* args) {
    Ref a = Ref::steal(args);
    if (!a) return nullptr;
    Ref module = Ref::steal(PyImport_ImportModule("quorsin_cn0._arrays"));
    if (!module) return nullptr;
    Ref f = Ref::steal(PyObject_GetAttrString(module.get(), function));
    if (!f) return nullptr;
    return PyObject_Call(f.get(), a.get(), nullptr);
}

// None or omitted: absent; a str: that one text; any other iterable: its items, all str
// (georinex takes `use="G"` and `use={"G", "E"}` alike).
bool to_text_selection(PyObject* obj, const char* param, std::optional<std::vector<std::string>>& out) {
    out.reset();
    if (obj == nullptr || obj == Py_None) return true;
    std::vector<std::string> items;
    if (PyUnicode_Check(obj)) {
        std::string s;
        if (!to_text(obj, param, s)) return false;
        items.push_back(std::move(s));
        out = std::move(items);
        return true;
    }
    Ref it = Ref::steal(PyObject_GetIter(obj));
    if (!it) {
        PyErr_Clear();
        argument_error(param, "expected a str or an iterable of str");
        return false;
    }
    while (Ref item = Ref::steal(PyIter_Next(it.get()))) {
        std::string s;
        if (!to_text(item.get(), param, s)) return false;
        items.push_back(std::move(s));
    }
    if (PyErr_Occurred()) return false;
    out = std::move(items);
    return true;
}

Ref epoch_times(const RinexObsData& obs) {
    return buffer_of<std::int64_t>(obs.epochs.size(), [&](std::size_t e) { return unix_nanoseconds(obs.epochs[e].time); });
}

Ref satellite_names(const RinexObsData& obs, const ObsGridLayout& layout) {
    std::vector<std::string> names;
    names.reserve(layout.satellites.size());
    for (std::uint32_t s : layout.satellites) names.push_back(obs.satellites[s]);
    return Ref::steal(new_text_list(names));
}

// The grid of `layout` in the element type T, the storage filled with the interpreter lock
// released (the buffer is not yet visible to any other thread).
template <typename T>
Ref grid_buffer(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides strides) {
    const std::size_t n = layout.codes.size() * obs.epochs.size() * layout.satellites.size();
    T* data = nullptr;
    Ref b = new_buffer<T>(n, data);
    if (!b) return b;
    Py_BEGIN_ALLOW_THREADS
    fill_obs_grid(obs, layout, strides, std::span<T>(data, n));
    Py_END_ALLOW_THREADS
    return b;
}

Ref header_attributes(const RinexObsData& obs) {
    Ref d = Ref::steal(PyDict_New());
    if (!d) return d;
    // 0.0 means the header had no INTERVAL line (None); the wrapper then takes the epochs' spacing.
    auto interval = [&]() -> PyObject* {
        if (obs.interval > 0.0) return new_float(obs.interval);
        Py_INCREF(Py_None);
        return Py_None;
    };
    bool ok = dict_set(d.get(), "version", new_float(obs.version)) &&
              dict_set(d.get(), "interval", interval()) &&
              dict_set(d.get(), "rinextype", new_text("obs")) &&
              dict_set(d.get(), "filename", new_text(obs.filename)) &&
              dict_set(d.get(), "marker_name", new_text(obs.marker_name)) &&
              dict_set(d.get(), "receiver_type", new_text(obs.receiver_type)) &&
              dict_set(d.get(), "antenna_type", new_text(obs.antenna_type));
    if (ok && obs.approx_position) {
        const auto& p = *obs.approx_position;
        ok = dict_set(d.get(), "position", new_float_list({p[0], p[1], p[2]}));
    }
    if (!ok) return Ref();
    return d;
}

PyObject* to_xarray(PyObject* self, PyObject* args, PyObject* kwargs) {
    static const Signature sig{"to_xarray", {"use", "meas"}, 0};
    Arguments a(sig);
    ObsGridFilter filter;
    if (!a.bind(args, kwargs) || !to_text_selection(a[0], "use", filter.systems) ||
        !to_text_selection(a[1], "meas", filter.codes)) {
        return nullptr;
    }
    const RinexObsData& obs = unbox<RinexObsData>(self);
    const ObsGridLayout layout = plan_obs_grid(obs, filter);
    const std::size_t rows = obs.epochs.size(), columns = layout.satellites.size();
    Ref times = epoch_times(obs);
    Ref sats = satellite_names(obs, layout);
    Ref codes = Ref::steal(new_text_list(layout.codes));
    if (!times || !sats || !codes) return nullptr;
    // Layer-major: each code's (time, sv) block is contiguous, so each variable is a plain view.
    Ref values = grid_buffer<double>(obs, layout, {rows * columns, columns, 1});
    Ref attrs = header_attributes(obs);
    if (!values || !attrs) return nullptr;
    return call_helper("observation_dataset", PyTuple_Pack(5, times.get(), sats.get(), codes.get(),
                                                           values.get(), attrs.get()));
}

PyObject* cn0(PyObject* self, PyObject*) {
    const RinexObsData& obs = unbox<RinexObsData>(self);
    ObsGridFilter filter;
    filter.snr_only = true;
    const ObsGridLayout layout = plan_obs_grid(obs, filter);
    const std::size_t columns = layout.satellites.size(), layers = layout.codes.size();
    Ref times = epoch_times(obs);
    Ref sats = satellite_names(obs, layout);
    Ref codes = Ref::steal(new_text_list(layout.codes));
    if (!times || !sats || !codes) return nullptr;
    Ref values = grid_buffer<float>(obs, layout, {1, columns * layers, layers});
    if (!values) return nullptr;
    return call_helper("cn0_arrays", PyTuple_Pack(4, times.get(), sats.get(), codes.get(), values.get()));
}

// ---- tables --------------------------------------------------------------------------------

// Columns handed to quorsin_cn0._arrays.frame as (name, kind, payload, extra) tuples; kinds:
// "f8" float64, "i8" int64, "M8" int64 nanoseconds (datetime64[ns]), "cat" int32 codes with
// extra = (categories, ordered), "obj" a list of Python objects.
class Columns {
public:
    Columns() : list_(Ref::steal(PyList_New(0))) {}

    template <typename F>
    bool f8(const char* name, std::size_t n, F&& f) { return add(name, "f8", buffer_of<double>(n, f)); }
    template <typename F>
    bool i8(const char* name, std::size_t n, F&& f) {
        return add(name, "i8", buffer_of<std::int64_t>(n, [&](std::size_t i) { return static_cast<std::int64_t>(f(i)); }));
    }
    // Times from the result's timestamp texts.
    template <typename F>
    bool times(const char* name, std::size_t n, F&& text) {
        return add(name, "M8", buffer_of<std::int64_t>(n, [&](std::size_t i) { return unix_nanoseconds(text(i)); }));
    }
    // Categories in order of first appearance unless given.
    template <typename F>
    bool category(const char* name, std::size_t n, F&& text, std::vector<std::string> categories = {},
                  bool ordered = false) {
        std::vector<std::int32_t> codes(n);
        for (std::size_t i = 0; i < n; ++i) {
            const std::string& t = text(i);
            auto it = std::find(categories.begin(), categories.end(), t);
            if (it == categories.end()) it = categories.insert(categories.end(), t);
            codes[i] = static_cast<std::int32_t>(it - categories.begin());
        }
        return category_codes(name, codes, categories, ordered);
    }
    bool category_codes(const char* name, const std::vector<std::int32_t>& codes,
                        const std::vector<std::string>& categories, bool ordered = false) {
        Ref extra = Ref::steal(Py_BuildValue("(NO)", new_text_list(categories), ordered ? Py_True : Py_False));
        if (!extra) return false;
        return add(name, "cat", buffer_of<std::int32_t>(codes.size(), [&](std::size_t i) { return codes[i]; }),
                   std::move(extra));
    }
    bool text(const char* name, const std::vector<std::string>& items) {
        return add(name, "obj", Ref::steal(new_text_list(items)));
    }
    template <typename F>
    bool text_lists(const char* name, std::size_t n, F&& items) {
        Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(n)));
        if (!list) return false;
        for (std::size_t i = 0; i < n; ++i) {
            PyObject* item = new_text_list(items(i));
            if (item == nullptr) return false;
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), item);
        }
        return add(name, "obj", std::move(list));
    }

    PyObject* frame() {
        if (!list_) return nullptr;
        return call_helper("frame", PyTuple_Pack(1, list_.get()));
    }

    bool add(const char* name, const char* kind, Ref payload, Ref extra = Ref::borrow(Py_None)) {
        if (!list_ || !payload || !extra) return false;
        Ref column = Ref::steal(Py_BuildValue("(ssOO)", name, kind, payload.get(), extra.get()));
        return column && PyList_Append(list_.get(), column.get()) == 0;
    }

private:
    Ref list_;
};

template <typename V>
std::vector<const V*> values_of(const OrderedMap<V>& map) {
    std::vector<const V*> out;
    out.reserve(map.size());
    for (const auto& entry : map) out.push_back(&entry.second);
    return out;
}

PyObject* satellites_table(const AnalysisResult& r) {
    const auto rows = values_of(r.satellite_stats);
    const std::size_t n = rows.size();
    Columns c;
    if (!c.category("satellite", n, [&](std::size_t i) -> const std::string& { return rows[i]->satellite; }) ||
        !c.category("system", n, [&](std::size_t i) -> const std::string& { return rows[i]->system; }) ||
        !c.i8("observation_count", n, [&](std::size_t i) { return rows[i]->observation_count; }) ||
        !c.f8("mean_cn0", n, [&](std::size_t i) { return rows[i]->mean_cn0; }) ||
        !c.f8("min_cn0", n, [&](std::size_t i) { return rows[i]->min_cn0; }) ||
        !c.f8("max_cn0", n, [&](std::size_t i) { return rows[i]->max_cn0; }) ||
        !c.f8("std_cn0", n, [&](std::size_t i) { return rows[i]->std_cn0; }) ||
        !c.f8("mean_elevation", n, [&](std::size_t i) { return rows[i]->mean_elevation; })) {
        return nullptr;
    }
    return c.frame();
}

PyObject* constellations_table(const AnalysisResult& r) {
    const auto rows = values_of(r.constellation_stats);
    const std::size_t n = rows.size();
    Columns c;
    if (!c.category("constellation", n, [&](std::size_t i) -> const std::string& { return rows[i]->system; }) ||
        !c.i8("satellite_count", n, [&](std::size_t i) { return rows[i]->satellite_count; }) ||
        !c.i8("observation_count", n, [&](std::size_t i) { return rows[i]->observation_count; }) ||
        !c.f8("mean_cn0", n, [&](std::size_t i) { return rows[i]->mean_cn0; }) ||
        !c.f8("min_cn0", n, [&](std::size_t i) { return rows[i]->min_cn0; }) ||
        !c.f8("max_cn0", n, [&](std::size_t i) { return rows[i]->max_cn0; }) ||
        !c.f8("std_cn0", n, [&](std::size_t i) { return rows[i]->std_cn0; }) ||
        !c.i8("satellites_expected", n, [&](std::size_t i) { return rows[i]->satellites_expected; }) ||
        !c.f8("availability_ratio", n, [&](std::size_t i) { return rows[i]->availability_ratio; }) ||
        !c.i8("cycle_slips", n, [&](std::size_t i) { return rows[i]->cycle_slips; }) ||
        !c.i8("data_gaps", n, [&](std::size_t i) { return rows[i]->data_gaps; })) {
        return nullptr;
    }
    return c.frame();
}

PyObject* timeseries_table(const AnalysisResult& r) {
    const auto& ts = r.timeseries;
    const std::size_t n = ts.timestamps.size();
    Columns c;
    if (!c.times("time", n, [&](std::size_t i) { return std::string_view(ts.timestamps[i]); }) ||
        !c.f8("mean_cn0", n, [&](std::size_t i) { return ts.mean_cn0[i]; }) ||
        !c.i8("satellite_count", n, [&](std::size_t i) { return ts.satellite_count[i]; })) {
        return nullptr;
    }
    return c.frame();
}

PyObject* anomalies_table(const AnalysisResult& r) {
    const auto& rows = r.anomalies;
    const std::size_t n = rows.size();
    std::vector<std::string> descriptions;
    for (const auto& a : rows) descriptions.push_back(a.description);
    Columns c;
    if (!c.times("time", n, [&](std::size_t i) { return std::string_view(rows[i].timestamp); }) ||
        !c.category("severity", n, [&](std::size_t i) -> const std::string& { return rows[i].severity; },
                    {"low", "high", "critical"}, true) ||
        !c.category("event_type", n, [&](std::size_t i) -> const std::string& { return rows[i].event_type; }) ||
        !c.f8("cn0_drop", n, [&](std::size_t i) { return rows[i].cn0_drop; }) ||
        !c.text_lists("affected_satellites", n, [&](std::size_t i) -> const std::vector<std::string>& {
            return rows[i].affected_satellites;
        }) ||
        !c.text_lists("affected_systems", n, [&](std::size_t i) -> const std::vector<std::string>& {
            return rows[i].affected_systems;
        }) ||
        !c.text("description", descriptions)) {
        return nullptr;
    }
    return c.frame();
}

// Categories of a sample column: only the texts some sample uses, in order of first use.
void used_categories(const std::vector<std::uint32_t>& index, const std::vector<std::string>& names,
                     std::vector<std::int32_t>& codes, std::vector<std::string>& categories) {
    std::vector<std::int32_t> slot(names.size(), -1);
    codes.resize(index.size());
    for (std::size_t i = 0; i < index.size(); ++i) {
        std::int32_t& s = slot[index[i]];
        if (s < 0) {
            s = static_cast<std::int32_t>(categories.size());
            categories.push_back(names[index[i]]);
        }
        codes[i] = s;
    }
}

PyObject* samples_table(const AnalysisResult& r) {
    const SampleTable& t = r.samples;
    const std::size_t n = t.cn0.size();
    std::vector<std::int64_t> stamp_ns(t.timestamps.size());
    for (std::size_t i = 0; i < stamp_ns.size(); ++i) stamp_ns[i] = unix_nanoseconds(t.timestamps[i]);
    std::vector<std::int32_t> sat_codes, code_codes;
    std::vector<std::string> sat_names, code_names;
    used_categories(t.satellite, t.satellites, sat_codes, sat_names);
    used_categories(t.code, t.codes, code_codes, code_names);
    Columns c;
    if (!c.add("time", "M8", buffer_of<std::int64_t>(n, [&](std::size_t i) { return stamp_ns[t.time[i]]; })) ||
        !c.category_codes("satellite", sat_codes, sat_names) || !c.category_codes("code", code_codes, code_names) ||
        !c.f8("cn0", n, [&](std::size_t i) { return t.cn0[i]; }) ||
        !c.f8("elevation", n, [&](std::size_t i) { return t.elevation[i]; }) ||
        !c.f8("azimuth", n, [&](std::size_t i) { return t.azimuth[i]; })) {
        return nullptr;
    }
    return c.frame();
}

}  // namespace

PyObject* rinex_obs_to_xarray(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&] { return to_xarray(self, args, kwargs); });
}

PyObject* rinex_obs_cn0(PyObject* self, PyObject* args) {
    return guarded([&] { return cn0(self, args); });
}

PyObject* result_to_dataframe(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"to_dataframe", {"what"}, 1};
        Arguments a(sig);
        std::string what;
        if (!a.bind(args, kwargs) || !to_text(a[0], "what", what)) return nullptr;
        const AnalysisResult& r = unbox<AnalysisResult>(self);
        if (what == "satellites") return satellites_table(r);
        if (what == "constellations") return constellations_table(r);
        if (what == "timeseries") return timeseries_table(r);
        if (what == "anomalies") return anomalies_table(r);
        if (what == "samples") return samples_table(r);
        // The events come from the interference monitor's own method, as Python values.
        if (what == "events") return call_helper("events_frame", PyTuple_Pack(1, self));
        return raise_value_error("to_dataframe: unknown table '" + what +
                                 "' (expected 'satellites', 'constellations', 'timeseries', "
                                 "'anomalies', 'events' or 'samples')");
    });
}

}  // namespace qcn0::py
