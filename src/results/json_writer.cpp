#include "results/json_writer.hpp"

#include <cstdint>
#include <vector>

#include "results/json_buffer.hpp"

namespace qcn0 {

namespace {

// Adds separators, line breaks and indentation around the values written to the buffer. One
// flag is enough to track the nesting: a container that is closed while still "first" received
// no member and is written as {} or [].
template <bool Pretty>
class Emitter {
public:
    explicit Emitter(JsonBuffer& out) : out_(out) {}

    void begin_object() { open('{'); }
    void end_object() { close('}'); }
    void begin_array() { open('['); }
    void end_array() { close(']'); }

    // A member name that needs no escaping: the field names of the records.
    void name(std::string_view field) {
        next();
        out_.put('"');
        out_.put(field);
        out_.put(Pretty ? std::string_view("\": ") : std::string_view("\":"));
    }
    // A member name taken from data: a map key.
    void key(std::string_view text) {
        next();
        out_.string(text);
        out_.put(Pretty ? std::string_view(": ") : std::string_view(":"));
    }
    // Before each array element.
    void element() { next(); }

    void text(std::string_view s) { out_.string(s); }
    void number(double v) { out_.number(v); }
    void count(std::uint64_t v) { out_.count(v); }
    void flag(bool b) { out_.flag(b); }
    void null() { out_.null(); }

    void text(std::string_view field, std::string_view s) {
        name(field);
        text(s);
    }
    void number(std::string_view field, double v) {
        name(field);
        number(v);
    }
    void count(std::string_view field, std::uint64_t v) {
        name(field);
        count(v);
    }
    void flag(std::string_view field, bool b) {
        name(field);
        flag(b);
    }

    // An array whose elements are written by write(emitter, element).
    template <typename T, typename F>
    void array(const std::vector<T>& items, F&& write) {
        begin_array();
        for (const auto& item : items) {
            element();
            write(*this, item);
        }
        end_array();
    }
    // An object with one member per map entry, values written by write(emitter, value).
    template <typename M, typename F>
    void map(const M& entries, F&& write) {
        begin_object();
        for (const auto& [k, v] : entries) {
            key(k);
            write(*this, v);
        }
        end_object();
    }

private:
    void open(char c) {
        out_.put(c);
        ++depth_;
        first_ = true;
    }
    void close(char c) {
        --depth_;
        if (Pretty && !first_) out_.line_break(depth_);
        out_.put(c);
        first_ = false;
    }
    void next() {
        if (!first_) out_.put(',');
        if (Pretty) out_.line_break(depth_);
        first_ = false;
    }

    JsonBuffer& out_;
    int depth_ = 0;
    bool first_ = true;
};

template <bool P>
void write_texts(Emitter<P>& e, const std::vector<std::string>& v) {
    e.array(v, [](Emitter<P>& e, const std::string& s) { e.text(s); });
}
template <bool P>
void write_numbers(Emitter<P>& e, const std::vector<double>& v) {
    e.array(v, [](Emitter<P>& e, double x) { e.number(x); });
}
template <bool P>
void write_counts(Emitter<P>& e, const std::vector<std::uint64_t>& v) {
    e.array(v, [](Emitter<P>& e, std::uint64_t x) { e.count(x); });
}

template <bool P>
void write(Emitter<P>& e, const FileInfo& f) {
    e.begin_object();
    e.text("filename", f.filename);
    e.text("marker_name", f.marker_name);
    e.text("receiver_type", f.receiver_type);
    e.text("antenna_type", f.antenna_type);
    e.text("start_time", f.start_time);
    e.text("end_time", f.end_time);
    e.number("duration_hours", f.duration_hours);
    e.number("interval", f.interval);
    e.number("position_lat", f.position_lat);
    e.number("position_lon", f.position_lon);
    e.number("position_height", f.position_height);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const QualityAssessment& q) {
    e.begin_object();
    e.number("overall", q.overall);
    e.number("cn0_score", q.cn0_score);
    e.number("coverage_score", q.coverage_score);
    e.number("consistency_score", q.consistency_score);
    e.text("grade", q.grade);
    e.text("interpretation", q.interpretation);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const ResultSummary& s) {
    e.begin_object();
    e.count("total_observations", s.total_observations);
    e.count("total_satellites", s.total_satellites);
    e.count("total_epochs", s.total_epochs);
    e.name("systems_observed");
    write_texts(e, s.systems_observed);
    e.number("mean_cn0", s.mean_cn0);
    e.number("min_cn0", s.min_cn0);
    e.number("max_cn0", s.max_cn0);
    e.count("anomaly_count", s.anomaly_count);
    e.count("critical_count", s.critical_count);
    e.count("high_count", s.high_count);
    e.count("low_count", s.low_count);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const ConstellationStats& c) {
    e.begin_object();
    e.text("system", c.system);
    e.count("satellite_count", c.satellite_count);
    e.count("observation_count", c.observation_count);
    e.number("mean_cn0", c.mean_cn0);
    e.number("min_cn0", c.min_cn0);
    e.number("max_cn0", c.max_cn0);
    e.number("std_cn0", c.std_cn0);
    e.count("satellites_expected", c.satellites_expected);
    e.number("availability_ratio", c.availability_ratio);
    e.count("cycle_slips", c.cycle_slips);
    e.count("data_gaps", c.data_gaps);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const SatelliteStats& s) {
    e.begin_object();
    e.text("satellite", s.satellite);
    e.text("system", s.system);
    e.count("observation_count", s.observation_count);
    e.number("mean_cn0", s.mean_cn0);
    e.number("min_cn0", s.min_cn0);
    e.number("max_cn0", s.max_cn0);
    e.number("std_cn0", s.std_cn0);
    e.number("mean_elevation", s.mean_elevation);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const TimePoint& t) {
    e.begin_object();
    e.text("timestamp", t.timestamp);
    e.number("cn0", t.cn0);
    e.number("elevation", t.elevation);
    e.number("azimuth", t.azimuth);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const std::vector<TimePoint>& points) {
    e.array(points, [](Emitter<P>& e, const TimePoint& t) { write(e, t); });
}

template <bool P>
void write(Emitter<P>& e, const SatelliteTimeSeries& s) {
    e.begin_object();
    e.text("satellite", s.satellite);
    e.text("system", s.system);
    e.text("signal", s.signal);
    e.name("cn0_series");
    write(e, s.cn0_series);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const TimeSeriesData& t) {
    e.begin_object();
    e.name("timestamps");
    write_texts(e, t.timestamps);
    e.name("mean_cn0");
    write_numbers(e, t.mean_cn0);
    e.name("satellite_count");
    write_counts(e, t.satellite_count);
    e.name("satellite_timeseries");
    e.map(t.satellite_timeseries, [](Emitter<P>& e, const SatelliteTimeSeries& s) { write(e, s); });
    e.name("constellation_timeseries");
    e.map(t.constellation_timeseries,
          [](Emitter<P>& e, const std::vector<TimePoint>& points) { write(e, points); });
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const SkyplotPoint& p) {
    e.begin_object();
    e.number("azimuth", p.azimuth);
    e.number("elevation", p.elevation);
    e.number("cn0", p.cn0);
    e.text("satellite", p.satellite);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const SkyplotTrace& t) {
    e.begin_object();
    e.text("satellite", t.satellite);
    e.text("system", t.system);
    e.name("points");
    e.array(t.points, [](Emitter<P>& e, const SkyplotPoint& p) { write(e, p); });
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const HeatmapPoint& h) {
    e.begin_object();
    e.number("azimuth_bin", h.azimuth_bin);
    e.number("elevation_bin", h.elevation_bin);
    e.number("mean_cn0", h.mean_cn0);
    e.count("count", h.count);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const SkyplotData& s) {
    e.begin_object();
    e.name("traces");
    e.array(s.traces, [](Emitter<P>& e, const SkyplotTrace& t) { write(e, t); });
    e.name("heatmap_points");
    e.array(s.heatmap_points, [](Emitter<P>& e, const HeatmapPoint& h) { write(e, h); });
    e.number("coverage_percent", s.coverage_percent);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const HeatmapData& h) {
    e.begin_object();
    e.name("azimuth_bins");
    write_numbers(e, h.azimuth_bins);
    e.name("elevation_bins");
    write_numbers(e, h.elevation_bins);
    e.name("cn0_matrix");
    e.array(h.cn0_matrix,
            [](Emitter<P>& e, const std::vector<double>& row) { write_numbers(e, row); });
    e.name("count_matrix");
    e.array(h.count_matrix,
            [](Emitter<P>& e, const std::vector<std::uint64_t>& row) { write_counts(e, row); });
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const Cn0Anomaly& a) {
    e.begin_object();
    e.text("timestamp", a.timestamp);
    e.text("severity", a.severity);
    e.text("event_type", a.event_type);
    e.text("description", a.description);
    e.number("cn0_drop", a.cn0_drop);
    e.name("affected_satellites");
    write_texts(e, a.affected_satellites);
    e.name("affected_systems");
    write_texts(e, a.affected_systems);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const SystemVisibility& s) {
    e.begin_object();
    e.text("system", s.system);
    e.count("predicted_satellites", s.predicted_satellites);
    e.count("observed_satellites", s.observed_satellites);
    e.number("confirmation_rate", s.confirmation_rate);
    e.name("missing_satellites");
    write_texts(e, s.missing_satellites);
    e.name("unexpected_satellites");
    write_texts(e, s.unexpected_satellites);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const VisibilityAnomaly& a) {
    e.begin_object();
    e.text("start_time", a.start_time);
    e.text("end_time", a.end_time);
    e.number("duration_seconds", a.duration_seconds);
    e.text("anomaly_type", a.anomaly_type);
    e.text("severity", a.severity);
    e.name("affected_satellites");
    write_texts(e, a.affected_satellites);
    e.name("affected_systems");
    write_texts(e, a.affected_systems);
    e.text("description", a.description);
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const VisibilitySummary& v) {
    e.begin_object();
    e.flag("has_prediction", v.has_prediction);
    e.text("prediction_source", v.prediction_source);
    e.number("confirmation_rate", v.confirmation_rate);
    e.number("mean_predicted", v.mean_predicted);
    e.number("mean_observed", v.mean_observed);
    e.number("mean_missing", v.mean_missing);
    e.number("mean_unexpected", v.mean_unexpected);
    e.name("frequently_missing");
    write_texts(e, v.frequently_missing);
    e.name("frequently_unexpected");
    write_texts(e, v.frequently_unexpected);
    e.name("by_system");
    e.map(v.by_system, [](Emitter<P>& e, const SystemVisibility& s) { write(e, s); });
    e.name("anomalies");
    e.array(v.anomalies, [](Emitter<P>& e, const VisibilityAnomaly& a) { write(e, a); });
    e.end_object();
}

template <bool P>
void write(Emitter<P>& e, const AnalysisResult& r) {
    e.begin_object();
    e.name("file_info");
    write(e, r.file_info);
    e.name("quality_score");
    write(e, r.quality_score);
    e.name("summary");
    write(e, r.summary);
    e.name("constellation_stats");
    e.map(r.constellation_stats, [](Emitter<P>& e, const ConstellationStats& c) { write(e, c); });
    e.name("satellite_stats");
    e.map(r.satellite_stats, [](Emitter<P>& e, const SatelliteStats& s) { write(e, s); });
    e.name("timeseries");
    write(e, r.timeseries);
    e.name("skyplot");
    write(e, r.skyplot);
    e.name("heatmap");
    write(e, r.heatmap);
    e.name("anomalies");
    e.array(r.anomalies, [](Emitter<P>& e, const Cn0Anomaly& a) { write(e, a); });
    e.name("visibility");
    if (r.visibility) {
        write(e, *r.visibility);
    } else {
        e.null();
    }
    e.number("spoofing_unexpected_threshold", r.spoofing_unexpected_threshold);
    e.number("spoofing_min_unexpected_count", r.spoofing_min_unexpected_count);
    e.end_object();
}

// A first guess at the document's size, so a full day of results is written without the buffer
// growing more than once or twice. Dominated by the per-sample points of the series and tracks.
std::size_t estimated_size(const AnalysisResult& r, bool pretty) {
    std::size_t points = r.timeseries.timestamps.size() + r.skyplot.heatmap_points.size();
    for (const auto& [k, s] : r.timeseries.satellite_timeseries) points += s.cn0_series.size();
    for (const auto& [k, c] : r.timeseries.constellation_timeseries) points += c.size();
    for (const auto& t : r.skyplot.traces) points += t.points.size();
    const std::size_t per_point = pretty ? 150 : 100;
    return 64 * 1024 + points * per_point + r.anomalies.size() * 512;
}

template <bool Pretty>
std::string write_document(const AnalysisResult& r) {
    JsonBuffer out(estimated_size(r, Pretty));
    Emitter<Pretty> e(out);
    write(e, r);
    return std::move(out).take();
}

}  // namespace

std::string to_json(const AnalysisResult& result) { return write_document<false>(result); }

std::string to_json_pretty(const AnalysisResult& result) { return write_document<true>(result); }

std::string json_error_text(std::string_view message) {
    std::string out;
    out.reserve(message.size() + 14);
    out += "{\"error\": \"";
    out += message;
    out += "\"}";
    return out;
}

}  // namespace qcn0
