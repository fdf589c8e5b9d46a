// The Python classes AnalysisResult (one analysis result) and QualityScore (a scoring view of it).
#include <cmath>
#include <functional>

#include "cn0/quality_score.hpp"
#include "cn0/time_series.hpp"
#include "cn0/verdicts.hpp"
#include "core/text.hpp"
#include "python/arrays.hpp"
#include "python/classes.hpp"
#include "python/objects.hpp"
#include "python/pickling.hpp"
#include "results/json_writer.hpp"

namespace qcn0::py {

namespace {

const AnalysisResult& result_of(PyObject* self) { return unbox<AnalysisResult>(self); }
const QualityScore& score_of(PyObject* self) { return unbox<QualityScore>(self); }

std::string join(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

// Attributes are plain functions of the result; one table describes them all.
using Getter = PyObject* (*)(const AnalysisResult&);

template <Getter G>
PyObject* get(PyObject* self, void*) {
    return guarded([&] { return G(result_of(self)); });
}

const std::vector<std::string> kNoStrings;

const VisibilitySummary* visibility_of(const AnalysisResult& r) {
    return r.visibility ? &*r.visibility : nullptr;
}

PyObject* filename(const AnalysisResult& r) { return new_text(r.file_info.filename); }
PyObject* rinex_version(const AnalysisResult& r) { return new_text(format_fixed(r.rinex_version, 2)); }
PyObject* station_name(const AnalysisResult& r) { return new_text(r.file_info.marker_name); }
PyObject* receiver_type(const AnalysisResult& r) { return new_text(r.file_info.receiver_type); }
PyObject* antenna_type(const AnalysisResult& r) { return new_text(r.file_info.antenna_type); }
PyObject* start_time(const AnalysisResult& r) { return new_text(r.file_info.start_time); }
PyObject* end_time(const AnalysisResult& r) { return new_text(r.file_info.end_time); }
PyObject* duration_hours(const AnalysisResult& r) { return new_float(r.file_info.duration_hours); }
PyObject* interval(const AnalysisResult& r) { return new_float(r.file_info.interval); }
PyObject* total_observations(const AnalysisResult& r) { return new_count(r.summary.total_observations); }
PyObject* total_satellites(const AnalysisResult& r) { return new_count(r.summary.total_satellites); }
PyObject* total_epochs(const AnalysisResult& r) { return new_count(r.summary.total_epochs); }
PyObject* constellations(const AnalysisResult& r) { return new_text_list(r.summary.systems_observed); }
PyObject* mean_cn0(const AnalysisResult& r) { return new_float(r.summary.mean_cn0); }
PyObject* min_cn0(const AnalysisResult& r) { return new_float(r.summary.min_cn0); }
PyObject* max_cn0(const AnalysisResult& r) { return new_float(r.summary.max_cn0); }
PyObject* cn0_std_dev_attr(const AnalysisResult& r) { return new_float(cn0_std_dev(r.timeseries.mean_cn0)); }
PyObject* anomaly_count(const AnalysisResult& r) { return new_count(r.summary.anomaly_count); }
PyObject* critical_count(const AnalysisResult& r) { return new_count(r.summary.critical_count); }
PyObject* jamming(const AnalysisResult& r) { return new_bool(jamming_detected(r)); }
PyObject* spoofing(const AnalysisResult& r) { return new_bool(spoofing_detected(r)); }
PyObject* interference(const AnalysisResult& r) { return new_bool(interference_detected(r)); }
PyObject* interference_verdict_text(const AnalysisResult& r) { return new_text(r.interference_verdict); }
PyObject* score(const AnalysisResult& r) { return new_float(make_quality_score(r).overall); }
PyObject* quality_grade(const AnalysisResult& r) {
    if (r.quality_score.grade == "N/A") return new_text("N/A");
    const std::string rating = make_quality_score(r).rating;
    return new_text(std::string_view(rating).substr(0, 1));
}
PyObject* summary_text(const AnalysisResult& r) { return new_text(r.quality_score.interpretation); }
PyObject* skyplot_coverage(const AnalysisResult& r) { return new_float(r.skyplot.coverage_percent); }
PyObject* skyplot_trace_count(const AnalysisResult& r) { return new_count(r.skyplot.traces.size()); }
PyObject* has_visibility_prediction(const AnalysisResult& r) {
    return new_bool(r.visibility && r.visibility->has_prediction);
}
PyObject* visibility_prediction_source(const AnalysisResult& r) {
    return new_text(r.visibility ? r.visibility->prediction_source : std::string("None"));
}
template <double VisibilitySummary::*Field>
PyObject* visibility_number(const AnalysisResult& r) {
    return new_float(r.visibility ? (*r.visibility).*Field : 0.0);
}
PyObject* visibility_anomaly_count(const AnalysisResult& r) {
    return new_count(r.visibility ? r.visibility->anomalies.size() : 0);
}
PyObject* position_lat(const AnalysisResult& r) { return new_float(r.file_info.position_lat); }
PyObject* position_lon(const AnalysisResult& r) { return new_float(r.file_info.position_lon); }

PyObject* get_quality_score(PyObject* self, void*) {
    return guarded([&] {
        return box(state_of_instance(self).quality_score, make_quality_score(result_of(self)));
    });
}

#define QCN0_ATTR(name, fn, doc) {name, get<fn>, nullptr, doc, nullptr}

PyGetSetDef result_getset[] = {
    QCN0_ATTR("filename", filename, "Get filename"),
    QCN0_ATTR("rinex_version", rinex_version, "Get RINEX version (placeholder)"),
    QCN0_ATTR("station_name", station_name, "Get station name (marker name)"),
    QCN0_ATTR("receiver_type", receiver_type, "Get receiver type"),
    QCN0_ATTR("antenna_type", antenna_type, "Get antenna type"),
    QCN0_ATTR("start_time", start_time, "Get start time"),
    QCN0_ATTR("end_time", end_time, "Get end time"),
    QCN0_ATTR("duration_hours", duration_hours, "Get duration in hours"),
    QCN0_ATTR("interval", interval, "Get observation interval"),
    QCN0_ATTR("total_observations", total_observations, "Get total observations"),
    QCN0_ATTR("total_satellites", total_satellites, "Get total satellites"),
    QCN0_ATTR("total_epochs", total_epochs, "Get total epochs (alias: epoch_count)"),
    QCN0_ATTR("epoch_count", total_epochs, "Get epoch count (alias for total_epochs)"),
    QCN0_ATTR("constellations", constellations, "Get constellations observed"),
    QCN0_ATTR("mean_cn0", mean_cn0, "Get mean CN0 (alias: avg_cn0)"),
    QCN0_ATTR("avg_cn0", mean_cn0, "Get average CN0 (alias for mean_cn0)"),
    QCN0_ATTR("min_cn0", min_cn0, "Get min CN0"),
    QCN0_ATTR("max_cn0", max_cn0, "Get max CN0"),
    QCN0_ATTR("cn0_std_dev", cn0_std_dev_attr, "Get CN0 standard deviation (computed from timeseries)"),
    QCN0_ATTR("anomaly_count", anomaly_count, "Get anomaly count"),
    QCN0_ATTR("critical_count", critical_count, "Get critical anomaly count"),
    QCN0_ATTR("jamming_detected", jamming,
              "Check if jamming detected\n"
              "Real jamming causes: severe CN0 drops (>10dB) across MULTIPLE satellites simultaneously\n"
              "AND low average CN0 (<35 dB-Hz) or high percentage of critical anomalies"),
    QCN0_ATTR("spoofing_detected", spoofing,
              "Check if spoofing detected\n"
              "Real spoofing indicators:\n"
              "1. Many unexpected satellites (>40% not in ephemeris) with GOOD signals\n"
              "2. Satellites appearing with impossible geometry (wrong hemisphere, etc.)\n"
              "Note: Low CN0 std deviation is NOT a spoofing indicator - it's actually good data!"),
    QCN0_ATTR("interference_detected", interference,
              "Check if interference detected\n"
              "Requires meaningful anomaly count - not just isolated events"),
    {"quality_score", get_quality_score, nullptr, "Get quality score object with all metrics", nullptr},
    QCN0_ATTR("interference_verdict", interference_verdict_text,
              "Verdict of the band-wise interference monitor: \"none\", \"interference\"\n"
              "(a common C/N0 drop in some band) or \"possible_spoofing\" (a common rise, or\n"
              "C/N0 flattened across a constellation)"),
    QCN0_ATTR("score", score, "Get quality score value (alias for overall)"),
    QCN0_ATTR("quality_grade", quality_grade, "Get quality grade"),
    QCN0_ATTR("summary", summary_text, "Get summary interpretation"),
    QCN0_ATTR("skyplot_coverage", skyplot_coverage, "Get skyplot coverage percent"),
    QCN0_ATTR("skyplot_trace_count", skyplot_trace_count, "Get number of skyplot traces"),
    QCN0_ATTR("has_visibility_prediction", has_visibility_prediction,
              "Check if visibility prediction is available"),
    QCN0_ATTR("visibility_prediction_source", visibility_prediction_source,
              "Get visibility prediction source"),
    QCN0_ATTR("visibility_confirmation_rate", visibility_number<&VisibilitySummary::confirmation_rate>,
              "Get visibility confirmation rate"),
    QCN0_ATTR("visibility_mean_predicted", visibility_number<&VisibilitySummary::mean_predicted>,
              "Get mean predicted satellites"),
    QCN0_ATTR("visibility_mean_observed", visibility_number<&VisibilitySummary::mean_observed>,
              "Get mean observed satellites"),
    QCN0_ATTR("visibility_mean_missing", visibility_number<&VisibilitySummary::mean_missing>,
              "Get mean missing satellites per epoch"),
    QCN0_ATTR("visibility_mean_unexpected", visibility_number<&VisibilitySummary::mean_unexpected>,
              "Get mean unexpected satellites per epoch (seen but not predicted)"),
    QCN0_ATTR("visibility_anomaly_count", visibility_anomaly_count, "Get visibility anomaly count"),
    QCN0_ATTR("position_lat", position_lat, "Get receiver latitude"),
    QCN0_ATTR("position_lon", position_lon, "Get receiver longitude"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

#undef QCN0_ATTR

// Methods without arguments, likewise from one table.
template <Getter G>
PyObject* method(PyObject* self, PyObject*) {
    return guarded([&] { return G(result_of(self)); });
}

PyObject* to_json_text(const AnalysisResult& r) { return new_text(to_json(r)); }
PyObject* to_json_pretty_text(const AnalysisResult& r) { return new_text(to_json_pretty(r)); }

PyObject* anomalies_list(const AnalysisResult& r) {
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const auto& a : r.anomalies) {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        if (!dict_set(d.get(), "start_time", new_text(a.timestamp)) ||
            !dict_set(d.get(), "end_time", new_text(a.timestamp)) ||
            !dict_set(d.get(), "severity", new_text(a.severity)) ||
            !dict_set(d.get(), "anomaly_type", new_text(a.event_type)) ||
            !dict_set(d.get(), "description", new_text(a.description)) ||
            !dict_set(d.get(), "cn0_drop", new_text(format_plain(a.cn0_drop))) ||
            !dict_set(d.get(), "affected_satellites", new_text(join(a.affected_satellites, ","))) ||
            !dict_set(d.get(), "affected_systems", new_text(join(a.affected_systems, ","))) ||
            PyList_Append(list.get(), d.get()) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

PyObject* interference_events_list(const AnalysisResult& r) {
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const auto& e : r.interference_events) {
        Ref d = Ref::steal(PyDict_New());
        if (!d) return nullptr;
        if (!dict_set(d.get(), "start", new_text(e.start)) || !dict_set(d.get(), "end", new_text(e.end)) ||
            !dict_set(d.get(), "duration_s", new_float(e.duration_s)) ||
            !dict_set(d.get(), "kind", new_text(e.kind)) || !dict_set(d.get(), "bands", new_text_list(e.bands)) ||
            !dict_set(d.get(), "depth_db", new_float(e.depth_db)) ||
            !dict_set(d.get(), "signals_affected", new_count(e.signals_affected)) ||
            !dict_set(d.get(), "signals_tracked", new_count(e.signals_tracked)) ||
            PyList_Append(list.get(), d.get()) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

PyObject* optional_float(const std::optional<double>& v) {
    if (!v) Py_RETURN_NONE;
    return new_float(*v);
}

PyObject* health_dict(const AnalysisResult& r) {
    const StationHealth& h = r.health;
    Ref profiles = Ref::steal(PyDict_New());
    if (!profiles) return nullptr;
    for (const auto& band : h.cn0_by_elevation) {
        Ref bins = Ref::steal(PyList_New(0));
        if (!bins) return nullptr;
        for (const auto& v : band.mean_cn0) {
            Ref item = Ref::steal(optional_float(v));
            if (!item || PyList_Append(bins.get(), item.get()) != 0) return nullptr;
        }
        if (!dict_set(profiles.get(), band.band.c_str(), bins.release())) return nullptr;
    }
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    if (!dict_set(d.get(), "completeness_percent", optional_float(h.completeness_percent)) ||
        !dict_set(d.get(), "in_pass_gap_epochs", new_count(h.in_pass_gap_epochs)) ||
        !dict_set(d.get(), "cn0_by_elevation", profiles.release())) {
        return nullptr;
    }
    return d.release();
}

PyObject* timeseries_data(const AnalysisResult& r) {
    const auto& ts = r.timeseries;
    std::vector<double> hours(ts.mean_cn0.size());
    for (std::size_t i = 0; i < hours.size(); ++i) {
        hours[i] = static_cast<double>(i) * r.file_info.interval / 3600.0;
    }
    std::vector<double> counts(ts.satellite_count.begin(), ts.satellite_count.end());
    Ref d = Ref::steal(PyDict_New());
    if (!d || !dict_set(d.get(), "hours", new_float_list(hours)) ||
        !dict_set(d.get(), "mean_cn0", new_float_list(ts.mean_cn0)) ||
        !dict_set(d.get(), "satellite_count", new_float_list(counts))) {
        return nullptr;
    }
    return d.release();
}

PyObject* timestamps(const AnalysisResult& r) { return new_text_list(r.timeseries.timestamps); }
PyObject* timeseries_cn0(const AnalysisResult& r) { return new_float_list(r.timeseries.mean_cn0); }
PyObject* satellite_count_series(const AnalysisResult& r) {
    return new_count_list(r.timeseries.satellite_count);
}
PyObject* satellite_ids(const AnalysisResult& r) {
    std::vector<std::string> ids;
    ids.reserve(r.satellite_stats.size());
    for (const auto& entry : r.satellite_stats) ids.push_back(entry.first);
    return new_text_list(ids);
}
PyObject* anomaly_timestamps(const AnalysisResult& r) {
    std::vector<std::string> out;
    for (const auto& a : r.anomalies) out.push_back(a.timestamp);
    return new_text_list(out);
}
PyObject* anomaly_severities(const AnalysisResult& r) {
    std::vector<std::string> out;
    for (const auto& a : r.anomalies) out.push_back(a.severity);
    return new_text_list(out);
}
PyObject* anomaly_cn0_drops(const AnalysisResult& r) {
    std::vector<double> out;
    for (const auto& a : r.anomalies) out.push_back(a.cn0_drop);
    return new_float_list(out);
}

std::string joined_numbers(const std::vector<SkyplotPoint>& points, double SkyplotPoint::*field) {
    std::string out;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0) out.push_back(',');
        out += format_plain(points[i].*field);
    }
    return out;
}

PyObject* skyplot_data(const AnalysisResult& r) {
    Ref list = Ref::steal(PyList_New(0));
    if (!list) return nullptr;
    for (const auto& trace : r.skyplot.traces) {
        Ref d = Ref::steal(PyDict_New());
        if (!d || !dict_set(d.get(), "satellite", new_text(trace.satellite)) ||
            !dict_set(d.get(), "system", new_text(trace.system)) ||
            !dict_set(d.get(), "azimuths", new_text(joined_numbers(trace.points, &SkyplotPoint::azimuth))) ||
            !dict_set(d.get(), "elevations", new_text(joined_numbers(trace.points, &SkyplotPoint::elevation))) ||
            !dict_set(d.get(), "cn0_values", new_text(joined_numbers(trace.points, &SkyplotPoint::cn0))) ||
            PyList_Append(list.get(), d.get()) != 0) {
            return nullptr;
        }
    }
    return list.release();
}

PyObject* frequently_missing(const AnalysisResult& r) {
    return new_text_list(r.visibility ? r.visibility->frequently_missing : kNoStrings);
}
PyObject* frequently_unexpected(const AnalysisResult& r) {
    return new_text_list(r.visibility ? r.visibility->frequently_unexpected : kNoStrings);
}
PyObject* visibility_anomaly_types(const AnalysisResult& r) {
    std::vector<std::string> out;
    if (r.visibility) {
        for (const auto& a : r.visibility->anomalies) out.push_back(a.anomaly_type);
    }
    return new_text_list(out);
}
PyObject* visibility_anomaly_descriptions(const AnalysisResult& r) {
    std::vector<std::string> out;
    if (r.visibility) {
        for (const auto& a : r.visibility->anomalies) out.push_back(a.description);
    }
    return new_text_list(out);
}

std::string percent(double v) { return format_fixed(v, 1) + "%"; }

PyObject* visibility_debug(const AnalysisResult& r) {
    Ref d = Ref::steal(PyDict_New());
    if (!d) return nullptr;
    const VisibilitySummary* v = visibility_of(r);
    if (v == nullptr) return d.release();
    for (const auto& [name, sv] : v->by_system) {
        Ref inner = Ref::steal(PyDict_New());
        if (!inner || !dict_set(inner.get(), "predicted", new_text(std::to_string(sv.predicted_satellites))) ||
            !dict_set(inner.get(), "observed", new_text(std::to_string(sv.observed_satellites))) ||
            !dict_set(inner.get(), "confirmation_rate", new_text(percent(sv.confirmation_rate))) ||
            !dict_set(inner.get(), "missing_count", new_text(std::to_string(sv.missing_satellites.size()))) ||
            !dict_set(inner.get(), "missing_sats", new_text(join(sv.missing_satellites, ", "))) ||
            !dict_set(inner.get(), "unexpected_count", new_text(std::to_string(sv.unexpected_satellites.size()))) ||
            !dict_set(inner.get(), "unexpected_sats", new_text(join(sv.unexpected_satellites, ", "))) ||
            !dict_set(d.get(), name, inner.release())) {
            return nullptr;
        }
    }
    Ref overall = Ref::steal(PyDict_New());
    if (!overall || !dict_set(overall.get(), "source", new_text(v->prediction_source)) ||
        !dict_set(overall.get(), "mean_predicted", new_text(format_fixed(v->mean_predicted, 1))) ||
        !dict_set(overall.get(), "mean_observed", new_text(format_fixed(v->mean_observed, 1))) ||
        !dict_set(overall.get(), "mean_missing", new_text(format_fixed(v->mean_missing, 1))) ||
        !dict_set(overall.get(), "mean_unexpected", new_text(format_fixed(v->mean_unexpected, 1))) ||
        !dict_set(overall.get(), "confirmation_rate", new_text(percent(v->confirmation_rate))) ||
        !dict_set(d.get(), "_overall", overall.release())) {
        return nullptr;
    }
    return d.release();
}

PyObject* get_constellation_summary(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const Signature sig{"get_constellation_summary", {"name"}, 1};
        Arguments a(sig);
        std::string name;
        if (!a.bind(args, kwargs) || !to_text(a[0], "name", name)) return nullptr;
        const ConstellationStats* st = result_of(self).constellation_stats.find(name);
        if (st == nullptr) Py_RETURN_NONE;
        Ref d = Ref::steal(PyDict_New());
        const std::string count = std::to_string(st->satellite_count);
        const std::string mean = format_fixed(st->mean_cn0, 1);
        const std::string std_text = format_fixed(st->std_cn0, 2);
        if (!d || !dict_set(d.get(), "system", new_text(st->system)) ||
            !dict_set(d.get(), "constellation", new_text(st->system)) ||
            !dict_set(d.get(), "satellite_count", new_text(count)) ||
            !dict_set(d.get(), "satellites_observed", new_text(count)) ||
            !dict_set(d.get(), "satellites_expected", new_text(std::to_string(st->satellites_expected))) ||
            !dict_set(d.get(), "observation_count", new_text(std::to_string(st->observation_count))) ||
            !dict_set(d.get(), "mean_cn0", new_text(mean)) || !dict_set(d.get(), "cn0_mean", new_text(mean)) ||
            !dict_set(d.get(), "min_cn0", new_text(format_fixed(st->min_cn0, 1))) ||
            !dict_set(d.get(), "max_cn0", new_text(format_fixed(st->max_cn0, 1))) ||
            !dict_set(d.get(), "std_cn0", new_text(std_text)) || !dict_set(d.get(), "cn0_std", new_text(std_text)) ||
            !dict_set(d.get(), "availability_ratio", new_text(format_fixed(st->availability_ratio, 3))) ||
            !dict_set(d.get(), "cycle_slips", new_text(std::to_string(st->cycle_slips))) ||
            !dict_set(d.get(), "data_gaps", new_text(std::to_string(st->data_gaps)))) {
            return nullptr;
        }
        return d.release();
    });
}

#define QCN0_METHOD(name, fn, doc) {name, method<fn>, METH_NOARGS, name "($self)\n--\n\n" doc}

PyMethodDef result_methods[] = {
    QCN0_METHOD("to_json", to_json_text, "Convert to JSON string"),
    QCN0_METHOD("to_json_pretty", to_json_pretty_text, "Convert to pretty JSON string"),
    QCN0_METHOD("get_anomalies", anomalies_list, "Get anomalies list"),
    QCN0_METHOD("interference_events", interference_events_list,
                "Interference and spoofing events found band by band, in time order.\n\n"
                "Each is a dict: start, end (first and last affected epoch), duration_s, kind\n"
                "(\"cn0_drop\", \"cn0_rise\" or \"cn0_flattening\"), bands (e.g. [\"L1\", \"L2\"]),\n"
                "depth_db (median change of the affected signals, positive for a drop),\n"
                "signals_affected and signals_tracked."),
    QCN0_METHOD("health", health_dict,
                "Station health: completeness_percent (observed over expected signal-epochs\n"
                "above the elevation mask; None without navigation data), in_pass_gap_epochs\n"
                "(epochs missing inside satellites' passes) and cn0_by_elevation (per band,\n"
                "mean C/N0 in 10-degree elevation bins from 0 to 90, None where empty)."),
    {"get_constellation_summary", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(get_constellation_summary)),
     METH_VARARGS | METH_KEYWORDS,
     "get_constellation_summary($self, name)\n--\n\nGet constellation summary by name"},
    QCN0_METHOD("get_systems", constellations, "Get systems observed"),
    QCN0_METHOD("get_timeseries_data", timeseries_data, "Get timeseries data as dict"),
    QCN0_METHOD("get_timestamps", timestamps, "Get timeseries timestamps"),
    QCN0_METHOD("get_timeseries_cn0", timeseries_cn0, "Get timeseries mean CN0 values"),
    QCN0_METHOD("get_mean_cn0_series", timeseries_cn0, "Get timeseries mean CN0 values"),
    QCN0_METHOD("get_satellite_count_series", satellite_count_series, "Get timeseries satellite counts"),
    QCN0_METHOD("get_satellite_ids", satellite_ids, "Get satellite IDs"),
    QCN0_METHOD("get_anomaly_timestamps", anomaly_timestamps, "Get anomaly timestamps"),
    QCN0_METHOD("get_anomaly_severities", anomaly_severities, "Get anomaly severities"),
    QCN0_METHOD("get_anomaly_cn0_drops", anomaly_cn0_drops, "Get anomaly CN0 drops"),
    QCN0_METHOD("get_skyplot_data", skyplot_data, "Get skyplot data as list of trace dicts"),
    QCN0_METHOD("get_frequently_missing_satellites", frequently_missing,
                "Get frequently missing satellites (possible obstructions)"),
    QCN0_METHOD("get_frequently_unexpected_satellites", frequently_unexpected,
                "Get frequently unexpected satellites (possible spoofing)"),
    QCN0_METHOD("get_visibility_anomaly_types", visibility_anomaly_types, "Get visibility anomaly types"),
    QCN0_METHOD("get_visibility_anomaly_descriptions", visibility_anomaly_descriptions,
                "Get visibility anomaly descriptions"),
    QCN0_METHOD("visibility_debug", visibility_debug, "Get detailed visibility debug info per system"),
    {"to_dataframe", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(result_to_dataframe)),
     METH_VARARGS | METH_KEYWORDS, QCN0_TO_DATAFRAME_DOC},
    {"__reduce__", result_reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\nFor pickle: the module's reconstructor and the result's compact state."},
    {nullptr, nullptr, 0, nullptr},
};

#undef QCN0_METHOD

PyObject* result_repr(PyObject* self) {
    return guarded([&] {
        const ResultSummary& s = result_of(self).summary;
        std::string text = "AnalysisResult(observations=" + std::to_string(s.total_observations) +
                           ", satellites=" + std::to_string(s.total_satellites) +
                           ", epochs=" + std::to_string(s.total_epochs) +
                           ", mean_cn0=" + format_fixed(s.mean_cn0, 1) +
                           ", anomalies=" + std::to_string(s.anomaly_count) + ")";
        return new_text(text);
    });
}

PyType_Slot result_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc_unlocked<AnalysisResult>)},
    {Py_tp_repr, reinterpret_cast<void*>(result_repr)},
    {Py_tp_getset, result_getset},
    {Py_tp_methods, result_methods},
    {Py_tp_doc, const_cast<char*>("Python wrapper for AnalysisResult")},
    {0, nullptr},
};

// QualityScore.
PyObject* qs_overall(PyObject* self, void*) { return guarded([&] { return new_float(score_of(self).overall); }); }
PyObject* qs_rating(PyObject* self, void*) { return guarded([&] { return new_text(score_of(self).rating); }); }
PyObject* qs_cn0_quality(PyObject* self, void*) {
    return guarded([&] { return new_float(score_of(self).cn0_quality); });
}
PyObject* qs_availability(PyObject* self, void*) {
    return guarded([&] { return new_float(score_of(self).availability); });
}
PyObject* qs_continuity(PyObject* self, void*) {
    return guarded([&] { return new_float(score_of(self).continuity); });
}
PyObject* qs_stability(PyObject* self, void*) {
    return guarded([&] { return new_float(score_of(self).stability); });
}
PyObject* qs_diversity(PyObject* self, void*) {
    return guarded([&] { return new_float(score_of(self).diversity); });
}
PyObject* qs_suitable(PyObject* self, void*) {
    return guarded([&] { return new_bool(score_of(self).post_processing_suitable); });
}
PyObject* qs_repr(PyObject* self) {
    return guarded([&] { return new_text(quality_score_repr(score_of(self))); });
}

PyGetSetDef score_getset[] = {
    {"overall", qs_overall, nullptr, nullptr, nullptr},
    {"rating", qs_rating, nullptr, nullptr, nullptr},
    {"cn0_quality", qs_cn0_quality, nullptr, nullptr, nullptr},
    {"availability", qs_availability, nullptr, nullptr, nullptr},
    {"continuity", qs_continuity, nullptr, nullptr, nullptr},
    {"stability", qs_stability, nullptr, nullptr, nullptr},
    {"diversity", qs_diversity, nullptr, nullptr, nullptr},
    {"post_processing_suitable", qs_suitable, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot score_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<QualityScore>)},
    {Py_tp_repr, reinterpret_cast<void*>(qs_repr)},
    {Py_tp_getset, score_getset},
    {Py_tp_doc, const_cast<char*>("Python wrapper for QualityScore with notebook-compatible attributes")},
    {0, nullptr},
};

}  // namespace

PyType_Spec analysis_result_spec = {
    "builtins.AnalysisResult",
    static_cast<int>(sizeof(Boxed<AnalysisResult>)),
    0,
    Py_TPFLAGS_DEFAULT,
    result_slots,
};

PyType_Spec quality_score_spec = {
    "builtins.QualityScore",
    static_cast<int>(sizeof(Boxed<QualityScore>)),
    0,
    Py_TPFLAGS_DEFAULT,
    score_slots,
};

PyObject* wrap_analysis_result(PyTypeObject* type, AnalysisResult&& result) {
    return box(type, std::move(result));
}

}  // namespace qcn0::py
