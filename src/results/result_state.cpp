#include "results/result_state.hpp"

#include <array>
#include <bit>
#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <vector>

namespace qcn0 {

namespace {

constexpr char kMark[4] = {'q', 'c', 'n', '0'};

template <typename T, typename U>
concept Is = std::same_as<std::remove_const_t<T>, U>;

// The fields of each record in declaration order. One list serves saving (T const) and loading.
template <typename F, Is<FileInfo> T>
void fields(F& f, T& x) {
    f(x.filename, x.marker_name, x.receiver_type, x.antenna_type, x.start_time, x.end_time,
      x.duration_hours, x.interval, x.position_lat, x.position_lon, x.position_height);
}
template <typename F, Is<QualityAssessment> T>
void fields(F& f, T& x) {
    f(x.overall, x.cn0_score, x.coverage_score, x.consistency_score, x.grade, x.interpretation);
}
template <typename F, Is<ResultSummary> T>
void fields(F& f, T& x) {
    f(x.total_observations, x.total_satellites, x.total_epochs, x.systems_observed, x.mean_cn0,
      x.min_cn0, x.max_cn0, x.anomaly_count, x.critical_count, x.high_count, x.low_count);
}
template <typename F, Is<ConstellationStats> T>
void fields(F& f, T& x) {
    f(x.system, x.satellite_count, x.observation_count, x.mean_cn0, x.min_cn0, x.max_cn0, x.std_cn0,
      x.satellites_expected, x.availability_ratio, x.cycle_slips, x.data_gaps);
}
template <typename F, Is<SatelliteStats> T>
void fields(F& f, T& x) {
    f(x.satellite, x.system, x.observation_count, x.mean_cn0, x.min_cn0, x.max_cn0, x.std_cn0,
      x.mean_elevation);
}
template <typename F, Is<Cn0Anomaly> T>
void fields(F& f, T& x) {
    f(x.timestamp, x.severity, x.event_type, x.description, x.cn0_drop, x.affected_satellites,
      x.affected_systems);
}
template <typename F, Is<TimePoint> T>
void fields(F& f, T& x) {
    f(x.timestamp, x.cn0, x.elevation, x.azimuth);
}
template <typename F, Is<SatelliteTimeSeries> T>
void fields(F& f, T& x) {
    f(x.satellite, x.system, x.signal, x.cn0_series);
}
template <typename F, Is<TimeSeriesData> T>
void fields(F& f, T& x) {
    f(x.timestamps, x.mean_cn0, x.satellite_count, x.satellite_timeseries,
      x.constellation_timeseries);
}
template <typename F, Is<SkyplotPoint> T>
void fields(F& f, T& x) {
    f(x.azimuth, x.elevation, x.cn0, x.satellite);
}
template <typename F, Is<SkyplotTrace> T>
void fields(F& f, T& x) {
    f(x.satellite, x.system, x.points);
}
template <typename F, Is<HeatmapPoint> T>
void fields(F& f, T& x) {
    f(x.azimuth_bin, x.elevation_bin, x.mean_cn0, x.count);
}
template <typename F, Is<SkyplotData> T>
void fields(F& f, T& x) {
    f(x.traces, x.heatmap_points, x.coverage_percent);
}
template <typename F, Is<HeatmapData> T>
void fields(F& f, T& x) {
    f(x.azimuth_bins, x.elevation_bins, x.cn0_matrix, x.count_matrix);
}
template <typename F, Is<SystemVisibility> T>
void fields(F& f, T& x) {
    f(x.system, x.predicted_satellites, x.observed_satellites, x.confirmation_rate,
      x.missing_satellites, x.unexpected_satellites);
}
template <typename F, Is<VisibilityAnomaly> T>
void fields(F& f, T& x) {
    f(x.start_time, x.end_time, x.duration_seconds, x.anomaly_type, x.severity,
      x.affected_satellites, x.affected_systems, x.description);
}
template <typename F, Is<VisibilitySummary> T>
void fields(F& f, T& x) {
    f(x.has_prediction, x.prediction_source, x.confirmation_rate, x.mean_predicted, x.mean_observed,
      x.mean_missing, x.mean_unexpected, x.frequently_missing, x.frequently_unexpected, x.by_system,
      x.anomalies);
}
template <typename F, Is<InterferenceEvent> T>
void fields(F& f, T& x) {
    f(x.start, x.end, x.duration_s, x.kind, x.bands, x.depth_db, x.signals_affected,
      x.signals_tracked);
}
template <typename F, Is<StationHealth::BandProfile> T>
void fields(F& f, T& x) {
    f(x.band, x.mean_cn0);
}
template <typename F, Is<StationHealth> T>
void fields(F& f, T& x) {
    f(x.completeness_percent, x.in_pass_gap_epochs, x.cn0_by_elevation);
}
template <typename F, Is<SampleTable> T>
void fields(F& f, T& x) {
    f(x.timestamps, x.satellites, x.codes, x.time, x.satellite, x.code, x.cn0, x.elevation,
      x.azimuth);
}
template <typename F, Is<AnalysisResult> T>
void fields(F& f, T& x) {
    f(x.file_info, x.quality_score, x.summary, x.constellation_stats, x.satellite_stats,
      x.timeseries, x.skyplot, x.heatmap, x.anomalies, x.visibility,
      x.spoofing_unexpected_threshold, x.spoofing_min_unexpected_count, x.rinex_version, x.samples,
      x.interference_events, x.interference_verdict, x.health);
}

class Writer {
public:
    std::string out;

    template <typename... A>
    void operator()(const A&... a) {
        (put(a), ...);
    }

    void varint(std::uint64_t v) {
        while (v >= 0x80) {
            out.push_back(static_cast<char>((v & 0x7f) | 0x80));
            v >>= 7;
        }
        out.push_back(static_cast<char>(v));
    }
    void put(std::uint64_t v) { varint(v); }
    void put(std::uint32_t v) { varint(v); }
    void put(bool v) { out.push_back(v ? '\1' : '\0'); }
    void put(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(bits >> (8 * i)));
    }
    void put(const std::string& s) {
        varint(s.size());
        out.append(s);
    }
    void put(const ShortText& s) {
        varint(s.size());
        out.append(s.view());
    }
    template <typename T>
    void put(const std::vector<T>& v) {
        varint(v.size());
        for (const auto& x : v) put(x);
    }
    template <typename T>
    void put(const std::optional<T>& v) {
        put(v.has_value());
        if (v) put(*v);
    }
    template <typename T, std::size_t N>
    void put(const std::array<T, N>& a) {
        for (const auto& x : a) put(x);
    }
    template <typename V>
    void put(const OrderedMap<V>& m) {
        varint(m.size());
        for (const auto& [key, value] : m) {
            put(key);
            put(value);
        }
    }
    template <typename T>
        requires requires(Writer& w, const T& t) { fields(w, t); }
    void put(const T& x) {
        fields(*this, x);
    }
};

class Reader {
public:
    explicit Reader(std::string_view s)
        : begin_(s.data()), p_(s.data()), end_(s.data() + s.size()) {}

    bool ok() const { return error_.empty(); }
    void skip(std::size_t n) { p_ += n < left() ? n : left(); }
    const std::string& error() const { return error_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
    void fail(std::string_view what) {
        if (error_.empty()) {
            error_ = std::string(what) + " at byte " + std::to_string(p_ - begin_);
        }
    }

    template <typename... A>
    void operator()(A&... a) {
        (get(a), ...);
    }

    bool varint(std::uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (p_ == end_) {
                fail("truncated");
                return false;
            }
            const auto b = static_cast<unsigned char>(*p_++);
            if (shift == 63 && b > 1) break;
            v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            if ((b & 0x80) == 0) return true;
        }
        fail("integer out of range");
        return false;
    }
    // A count of items each taking at least `min_bytes`: never more than the bytes left can hold,
    // so a forged length cannot make a huge allocation.
    bool count(std::size_t& n, std::size_t min_bytes) {
        std::uint64_t v = 0;
        if (!varint(v)) return false;
        if (v > left() / min_bytes) {
            fail("length past the end");
            return false;
        }
        n = static_cast<std::size_t>(v);
        return true;
    }

    void get(std::uint64_t& v) {
        if (ok()) varint(v);
    }
    void get(std::uint32_t& v) {
        std::uint64_t wide = 0;
        if (!ok() || !varint(wide)) return;
        if (wide > std::numeric_limits<std::uint32_t>::max()) return fail("integer out of range");
        v = static_cast<std::uint32_t>(wide);
    }
    void get(bool& v) {
        if (!ok()) return;
        if (p_ == end_) return fail("truncated");
        const auto b = static_cast<unsigned char>(*p_);
        if (b > 1) return fail("invalid flag");
        ++p_;
        v = b == 1;
    }
    void get(double& v) {
        if (!ok()) return;
        if (left() < 8) return fail("truncated");
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(p_[i])) << (8 * i);
        }
        p_ += 8;
        v = std::bit_cast<double>(bits);
    }
    void get(std::string& s) {
        std::size_t n = 0;
        if (!ok() || !count(n, 1)) return;
        s.assign(p_, n);
        p_ += n;
    }
    void get(ShortText& s) {
        std::size_t n = 0;
        if (!ok() || !count(n, 1)) return;
        s.assign(p_, n);
        p_ += n;
    }
    template <typename T>
    void get(std::vector<T>& v) {
        std::size_t n = 0;
        if (!ok() || !count(n, std::is_same_v<T, double> ? 8 : 1)) return;
        v.clear();
        if constexpr (std::is_arithmetic_v<T>) v.reserve(n);
        for (std::size_t i = 0; i < n && ok(); ++i) get(v.emplace_back());
    }
    template <typename T>
    void get(std::optional<T>& v) {
        bool present = false;
        get(present);
        if (!ok()) return;
        v.reset();
        if (present) get(v.emplace());
    }
    template <typename T, std::size_t N>
    void get(std::array<T, N>& a) {
        for (auto& x : a) get(x);
    }
    template <typename V>
    void get(OrderedMap<V>& m) {
        std::size_t n = 0;
        if (!ok() || !count(n, 1)) return;
        m.clear();
        for (std::size_t i = 0; i < n && ok(); ++i) {
            std::string key;
            get(key);
            if (!ok()) return;
            if (m.contains(key)) return fail("repeated key");
            V value{};
            get(value);
            m.append_new(std::move(key), std::move(value));
        }
    }
    template <typename T>
        requires requires(Reader& r, T& t) { fields(r, t); }
    void get(T& x) {
        if (ok()) fields(*this, x);
    }

private:
    const char* begin_;
    const char* p_;
    const char* end_;
    std::string error_;
};

// What the Python views index by position: the parallel columns of the time series and of the
// samples, and the samples' indices into their tables.
const char* inconsistency(const AnalysisResult& r) {
    const TimeSeriesData& ts = r.timeseries;
    if (ts.mean_cn0.size() != ts.timestamps.size() ||
        ts.satellite_count.size() != ts.timestamps.size()) {
        return "time series columns differ in length";
    }
    const SampleTable& s = r.samples;
    const std::size_t n = s.cn0.size();
    if (s.time.size() != n || s.satellite.size() != n || s.code.size() != n ||
        s.elevation.size() != n || s.azimuth.size() != n) {
        return "sample columns differ in length";
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (s.time[i] >= s.timestamps.size() || s.satellite[i] >= s.satellites.size() ||
            s.code[i] >= s.codes.size()) {
            return "sample index out of its table";
        }
    }
    return nullptr;
}

}  // namespace

std::string save_result_state(const AnalysisResult& result) {
    Writer w;
    // Most of a full day's state is the samples: about 30 bytes each.
    w.out.reserve(64 * 1024 + result.samples.cn0.size() * 30);
    w.out.append(kMark, sizeof kMark);
    w.out.push_back(static_cast<char>(kResultStateVersion));
    w.put(result);
    return std::move(w.out);
}

Expected<AnalysisResult> load_result_state(std::string_view state) {
    const std::string prefix = "AnalysisResult state: ";
    const std::string_view mark(kMark, sizeof kMark);
    if (state.size() < mark.size() + 1 || state.substr(0, mark.size()) != mark) {
        return Error{prefix + "not a saved result (wrong mark)"};
    }
    const auto version = static_cast<unsigned char>(state[sizeof kMark]);
    if (version != kResultStateVersion) {
        return Error{prefix + "unsupported version " + std::to_string(version) +
                     " (this library reads " + std::to_string(kResultStateVersion) + ")"};
    }
    AnalysisResult result;
    Reader r(state);
    r.skip(sizeof kMark + 1);  // offsets in messages count from the start of the state
    r.get(result);
    if (r.ok() && r.left() != 0) r.fail("unexpected bytes after the result");
    if (!r.ok()) return Error{prefix + r.error()};
    if (const char* why = inconsistency(result)) return Error{prefix + why};
    return result;
}

}  // namespace qcn0
