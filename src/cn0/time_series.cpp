#include "cn0/time_series.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "core/systems.hpp"

namespace qcn0 {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Positions of the samples grouped by time index: the samples of time t are
// at(first[t]) .. at(first[t + 1] - 1), each group in collection order. A file read epoch by epoch
// in time order (the usual case) is already grouped, and then no reordering is stored.
struct TimeGroups {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> order;  // empty when collection order is already time order

    std::uint32_t at(std::size_t k) const {
        return order.empty() ? static_cast<std::uint32_t>(k) : order[k];
    }
};

// Turns per-time counts (first[t + 1] = samples at t) into group bounds and, when collection
// order is not time order, sorts the positions by time with a stable counting sort.
void finish_groups(const SampleSet& set, bool in_order, TimeGroups& g) {
    for (std::size_t t = 1; t < g.first.size(); ++t) g.first[t] += g.first[t - 1];
    if (in_order) return;
    std::vector<std::uint32_t> next(g.first.begin(), g.first.end() - 1);
    g.order.resize(set.samples.size());
    for (std::size_t k = 0; k < set.samples.size(); ++k) {
        g.order[next[set.samples[k].time]++] = static_cast<std::uint32_t>(k);
    }
}

struct Means {
    double cn0 = 0.0;
    double elevation = 0.0;
    double azimuth = 0.0;
    std::uint64_t n = 0;
};

}  // namespace

TimeSeriesData build_time_series(const SampleSet& set) {
    TimeSeriesData out;
    const auto& samples = set.samples;
    if (samples.empty()) return out;

    // Satellites and constellation names in order of first collection, with the sample count of
    // each satellite so its series is allocated once.
    std::vector<std::uint32_t> sat_slot(set.satellites.size(), kNone);
    std::vector<SatelliteTimeSeries> sat_series;
    std::vector<std::size_t> sat_count;
    std::array<std::uint8_t, 256> letter_slot;
    letter_slot.fill(0xFF);
    std::vector<std::string_view> names;
    TimeGroups groups;
    groups.first.assign(set.timestamps.size() + 1, 0);
    bool in_order = true;
    std::uint32_t previous_time = 0;
    for (const Cn0Sample& s : samples) {
        ++groups.first[s.time + 1];
        if (s.time < previous_time) in_order = false;
        previous_time = s.time;
        std::uint32_t& slot = sat_slot[s.satellite];
        if (slot == kNone) {
            slot = static_cast<std::uint32_t>(sat_series.size());
            sat_series.push_back({set.satellites[s.satellite],
                                  std::string(SampleSet::constellation_of(s)),
                                  set.signals[s.signal],
                                  {}});
            sat_count.push_back(0);
        }
        ++sat_count[slot];
        auto& named = letter_slot[static_cast<unsigned char>(s.system)];
        if (named == 0xFF) {
            // Several letters share the name "Unknown", so slots are per name, not per letter.
            const std::string_view name = SampleSet::constellation_of(s);
            std::size_t i = 0;
            while (i < names.size() && names[i] != name) ++i;
            if (i == names.size()) names.push_back(name);
            named = static_cast<std::uint8_t>(i);
        }
    }
    for (std::size_t i = 0; i < sat_series.size(); ++i) {
        sat_series[i].cn0_series.reserve(sat_count[i]);
    }

    finish_groups(set, in_order, groups);
    std::vector<std::vector<TimePoint>> const_series(names.size());
    std::vector<Means> at_epoch(names.size());
    std::vector<std::uint32_t> seen_at(set.satellites.size(), kNone);

    // Walking the epochs in time order, each group in collection order, appends every satellite's
    // points already stably sorted by time.
    for (std::size_t t = 0; t + 1 < groups.first.size(); ++t) {
        const std::size_t begin = groups.first[t], end = groups.first[t + 1];
        if (begin == end) continue;
        const std::string& stamp = set.timestamps[t];
        double sum = 0.0;
        std::uint64_t distinct = 0;
        for (std::size_t k = begin; k < end; ++k) {
            const Cn0Sample& s = samples[groups.at(k)];
            sum += s.cn0;
            if (seen_at[s.satellite] != t) {
                seen_at[s.satellite] = static_cast<std::uint32_t>(t);
                ++distinct;
            }
            Means& m = at_epoch[letter_slot[static_cast<unsigned char>(s.system)]];
            m.cn0 += s.cn0;
            m.elevation += s.elevation;
            m.azimuth += s.azimuth;
            ++m.n;
            sat_series[sat_slot[s.satellite]].cn0_series.push_back(
                {stamp, s.cn0, s.elevation, s.azimuth});
        }
        out.timestamps.push_back(stamp);
        out.mean_cn0.push_back(sum / static_cast<double>(end - begin));
        out.satellite_count.push_back(distinct);
        for (std::size_t c = 0; c < names.size(); ++c) {
            Means& m = at_epoch[c];
            if (m.n == 0) continue;
            const auto n = static_cast<double>(m.n);
            const_series[c].push_back({stamp, m.cn0 / n, m.elevation / n, m.azimuth / n});
            m = Means{};
        }
    }

    out.satellite_timeseries.reserve(sat_series.size());
    for (auto& series : sat_series) {
        std::string key = series.satellite;
        out.satellite_timeseries.append_new(std::move(key), std::move(series));
    }
    out.constellation_timeseries.reserve(names.size());
    for (std::size_t c = 0; c < names.size(); ++c) {
        out.constellation_timeseries.append_new(std::string(names[c]), std::move(const_series[c]));
    }
    return out;
}

double cn0_std_dev(const std::vector<double>& mean_cn0) {
    if (mean_cn0.empty()) return 0.0;
    const auto n = static_cast<double>(mean_cn0.size());
    double sum = 0.0;
    for (double v : mean_cn0) sum += v;
    const double mean = sum / n;
    double squares = 0.0;
    for (double v : mean_cn0) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / n);
}

}  // namespace qcn0
