#include "cn0/statistics.hpp"

#include <algorithm>
#include <cmath>

#include "core/systems.hpp"

namespace qcn0 {

std::uint64_t expected_satellites_table(std::string_view constellation) {
    if (constellation == "GPS") return 12;
    if (constellation == "GLONASS") return 9;
    if (constellation == "Galileo") return 10;
    if (constellation == "BeiDou") return 15;
    if (constellation == "QZSS") return 4;
    if (constellation == "SBAS") return 3;
    if (constellation == "IRNSS") return 7;
    return 10;
}

namespace {

struct Moments {
    std::uint64_t n = 0;
    double sum = 0.0;
    double min = 0.0;
    double max = 0.0;

    void add(double v) {
        if (n == 0) {
            min = max = v;
        } else {
            min = std::min(min, v);
            max = std::max(max, v);
        }
        ++n;
        sum += v;
    }
    double mean() const { return n == 0 ? 0.0 : sum / static_cast<double>(n); }
};

// Population standard deviation (divisor n) around a known mean.
template <typename Values>
double population_std(const Values& values, double mean) {
    if (values.empty()) return 0.0;
    double sq = 0.0;
    for (double v : values) sq += (v - mean) * (v - mean);
    return std::sqrt(sq / static_cast<double>(values.size()));
}

// Cycle slips of one satellite: neighbouring values, once sorted, more than 10 dB apart.
//
// Sorting every satellite's values is the slow way to find them. Values are put in 5 dB buckets
// (value / 5, rounded down); the division is monotonic, so all values of a bucket sort before
// those of any later bucket, and two values of one bucket are less than 10 dB apart. The only
// neighbours that can be further apart are the largest value of a bucket and the smallest of the
// next occupied one. Values too spread out for a small bucket table are sorted instead.
std::uint64_t sorted_jumps_above_10(std::vector<double>& v) {
    if (v.size() < 2) return 0;
    double lo = v[0], hi = v[0];
    bool finite = true;
    for (double x : v) {
        finite = finite && std::isfinite(x);
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
    std::uint64_t count = 0;
    if (!finite || hi / 5.0 - lo / 5.0 > 4096.0) {
        std::sort(v.begin(), v.end());
        for (std::size_t a = 1; a < v.size(); ++a) {
            if (v[a] - v[a - 1] > 10.0) ++count;
        }
        return count;
    }
    const double base = std::floor(lo / 5.0);
    const auto buckets = static_cast<std::size_t>(std::floor(hi / 5.0) - base) + 1;
    std::vector<double> bucket_min(buckets, 0.0), bucket_max(buckets, 0.0);
    std::vector<char> used(buckets, 0);
    for (double x : v) {
        const auto b = static_cast<std::size_t>(std::floor(x / 5.0) - base);
        if (!used[b]) {
            used[b] = 1;
            bucket_min[b] = bucket_max[b] = x;
        } else {
            bucket_min[b] = std::min(bucket_min[b], x);
            bucket_max[b] = std::max(bucket_max[b], x);
        }
    }
    bool have_previous = false;
    double previous_max = 0.0;
    for (std::size_t b = 0; b < buckets; ++b) {
        if (!used[b]) continue;
        if (have_previous && bucket_min[b] - previous_max > 10.0) ++count;
        previous_max = bucket_max[b];
        have_previous = true;
    }
    return count;
}

}  // namespace

void fill_sample_summary(const SampleSet& set, ResultSummary& summary) {
    Moments m;
    for (const auto& s : set.samples) m.add(s.cn0);
    summary.total_observations = set.samples.size();
    summary.mean_cn0 = m.mean();
    summary.min_cn0 = m.min;
    summary.max_cn0 = m.max;
}

OrderedMap<SatelliteStats> satellite_statistics(const SampleSet& set) {
    // Samples grouped by satellite, satellites in order of their first sample.
    const std::size_t n_sats = set.satellites.size();
    std::vector<std::vector<double>> values(n_sats);
    std::vector<double> elevation_sum(n_sats, 0.0);
    std::vector<char> first_system(n_sats, 0);
    std::vector<std::uint32_t> order;
    for (const auto& s : set.samples) {
        if (values[s.satellite].empty()) {
            order.push_back(s.satellite);
            first_system[s.satellite] = s.system;
        }
        values[s.satellite].push_back(s.cn0);
        elevation_sum[s.satellite] += s.elevation;
    }
    OrderedMap<SatelliteStats> out;
    out.reserve(order.size());
    for (std::uint32_t sat : order) {
        const auto& v = values[sat];
        SatelliteStats st;
        st.satellite = set.satellites[sat];
        st.system = std::string(system_name(first_system[sat]));
        st.observation_count = v.size();
        double sum = 0.0;
        for (double x : v) sum += x;
        st.mean_cn0 = sum / static_cast<double>(v.size());
        st.min_cn0 = *std::min_element(v.begin(), v.end());
        st.max_cn0 = *std::max_element(v.begin(), v.end());
        st.std_cn0 = population_std(v, st.mean_cn0);
        st.mean_elevation = elevation_sum[sat] / static_cast<double>(v.size());
        std::string key = st.satellite;
        out.append_new(std::move(key), std::move(st));
    }
    return out;
}

OrderedMap<ConstellationStats> constellation_statistics(
    const RinexObsData& obs, const SampleSet& set, const std::optional<VisibilitySummary>& visibility) {
    // Names to report: the constellations of the file (first appearance), then the names of the
    // samples not yet listed (IRNSS samples are named "Unknown").
    std::vector<std::string> names;
    std::vector<char> file_letters;
    std::vector<std::uint64_t> file_letter_count;
    for (std::uint32_t s = 0; s < obs.satellites.size(); ++s) {
        const char letter = obs.system_of(s);
        auto it = std::find(file_letters.begin(), file_letters.end(), letter);
        if (it == file_letters.end()) {
            file_letters.push_back(letter);
            file_letter_count.push_back(1);
            names.push_back(observed_system_name(letter));
        } else {
            ++file_letter_count[static_cast<std::size_t>(it - file_letters.begin())];
        }
    }
    // Samples grouped by constellation name (a sample's name depends on its letter only).
    std::vector<std::vector<std::uint32_t>> by_name;
    auto name_index = [&](std::string_view name) -> std::size_t {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return i;
        }
        names.emplace_back(name);
        return names.size() - 1;
    };
    std::size_t letter_to_name[256];
    std::fill(std::begin(letter_to_name), std::end(letter_to_name), ~std::size_t{0});
    for (std::uint32_t i = 0; i < set.samples.size(); ++i) {
        const auto letter = static_cast<unsigned char>(set.samples[i].system);
        if (letter_to_name[letter] == ~std::size_t{0}) {
            letter_to_name[letter] = name_index(SampleSet::constellation_of(set.samples[i]));
        }
        const std::size_t k = letter_to_name[letter];
        if (by_name.size() <= k) by_name.resize(names.size());
        by_name[k].push_back(i);
    }
    by_name.resize(names.size());

    OrderedMap<ConstellationStats> out;
    const std::size_t n_sats = set.satellites.size();
    std::vector<std::uint32_t> seen_mark(n_sats, 0);
    std::uint32_t mark = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::string& name = names[k];
        const auto& idx = by_name[k];
        // Satellites of the file with the constellation's letter.
        std::uint64_t file_count = 0;
        const std::string letter = system_letter_from_name(name);
        if (letter.size() == 1) {
            auto it = std::find(file_letters.begin(), file_letters.end(), letter[0]);
            if (it != file_letters.end()) file_count = file_letter_count[static_cast<std::size_t>(it - file_letters.begin())];
        }
        if (idx.empty() && file_count == 0) continue;

        ConstellationStats st;
        st.system = name;
        // Distinct satellites of the samples, in order of first appearance.
        ++mark;
        std::vector<std::uint32_t> sats;
        for (std::uint32_t i : idx) {
            const auto sat = set.samples[i].satellite;
            if (seen_mark[sat] != mark) {
                seen_mark[sat] = mark;
                sats.push_back(sat);
            }
        }
        st.satellite_count = std::max<std::uint64_t>(file_count, sats.size());
        st.observation_count = idx.size();
        if (!idx.empty()) {
            Moments m;
            for (std::uint32_t i : idx) m.add(set.samples[i].cn0);
            st.mean_cn0 = m.mean();
            st.min_cn0 = m.min;
            st.max_cn0 = m.max;
            double sq = 0.0;
            for (std::uint32_t i : idx) {
                const double d = set.samples[i].cn0 - st.mean_cn0;
                sq += d * d;
            }
            st.std_cn0 = std::sqrt(sq / static_cast<double>(idx.size()));
        }
        st.satellites_expected = expected_satellites_table(name);
        if (visibility) {
            if (const SystemVisibility* sv = visibility->by_system.find(name)) {
                const std::uint64_t larger = std::max(sv->predicted_satellites, sv->observed_satellites);
                if (larger > 0) st.satellites_expected = larger;
            }
        }
        st.availability_ratio =
            static_cast<double>(st.satellite_count) / static_cast<double>(st.satellites_expected);

        // Per satellite: its values (all signals) and its distinct timestamps.
        std::vector<std::vector<double>> values(sats.size());
        std::vector<std::vector<std::uint32_t>> times(sats.size());
        std::vector<std::uint32_t> slot_of(n_sats, 0);
        for (std::size_t j = 0; j < sats.size(); ++j) slot_of[sats[j]] = static_cast<std::uint32_t>(j);
        std::vector<std::size_t> per_satellite(sats.size(), 0);
        for (std::uint32_t i : idx) ++per_satellite[slot_of[set.samples[i].satellite]];
        for (std::size_t j = 0; j < sats.size(); ++j) {
            values[j].reserve(per_satellite[j]);
            times[j].reserve(per_satellite[j]);
        }
        std::vector<std::uint32_t> constellation_times;
        constellation_times.reserve(idx.size());
        for (std::uint32_t i : idx) {
            const Cn0Sample& s = set.samples[i];
            const std::uint32_t j = slot_of[s.satellite];
            values[j].push_back(s.cn0);
            times[j].push_back(s.time);
            constellation_times.push_back(s.time);
        }
        for (auto& v : values) st.cycle_slips += sorted_jumps_above_10(v);
        // Data gaps: epochs, between a satellite's first and last sample, at which the
        // constellation has samples but the satellite has none.
        // Samples come in file order, which is nearly always time order already.
        if (!std::is_sorted(constellation_times.begin(), constellation_times.end())) {
            std::sort(constellation_times.begin(), constellation_times.end());
        }
        constellation_times.erase(std::unique(constellation_times.begin(), constellation_times.end()),
                                  constellation_times.end());
        auto position_of = [&](std::uint32_t t) {
            return static_cast<std::uint64_t>(
                std::lower_bound(constellation_times.begin(), constellation_times.end(), t) -
                constellation_times.begin());
        };
        for (auto& t : times) {
            // Samples come in file order, which is nearly always time order already.
            if (!std::is_sorted(t.begin(), t.end())) std::sort(t.begin(), t.end());
            t.erase(std::unique(t.begin(), t.end()), t.end());
            if (t.size() < 2) continue;
            st.data_gaps += position_of(t.back()) - position_of(t.front()) - (t.size() - 1);
        }
        out.append_new(name, std::move(st));
    }
    return out;
}

}  // namespace qcn0
