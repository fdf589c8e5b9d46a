#include "cn0/cn0_anomalies.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "core/text.hpp"

namespace qcn0 {

namespace {

// A drop must exceed this whatever the deviation: smaller dips are ordinary fading.
constexpr double kMinDrop = 10.0;
// Floor on the deviation the drop is scaled against, so a very steady satellite is not flagged
// for a dip that is small in absolute terms.
constexpr double kMinDropDeviation = 5.0;
// Floor on a baseline's deviation.
constexpr double kMinBaselineStd = 1.0;

struct Baseline {
    double sum = 0.0;
    double squares = 0.0;
    std::size_t n = 0;
    double mean = 0.0;
    double std = 0.0;
};

struct Hit {
    std::uint32_t time;
    std::uint32_t sample;
    double drop;
};

Cn0Anomaly make_anomaly(const SampleSet& set, const std::vector<std::uint32_t>& satellites,
                        const std::vector<std::string_view>& systems, double largest,
                        std::uint32_t time, const AnalysisSettings& settings) {
    Cn0Anomaly a;
    a.timestamp = set.timestamps[time];
    if (largest >= settings.anomaly_threshold_critical) {
        a.severity = "critical";
    } else if (largest >= settings.anomaly_threshold_high) {
        a.severity = "high";
    } else {
        a.severity = "low";
    }
    a.event_type = systems.size() > 1 || satellites.size() > 3 ? "Multi-system CN0 drop"
                                                                : "Multi-satellite CN0 drop";
    a.description = format_fixed(largest, 1) + " dB-Hz drop affecting " +
                    std::to_string(satellites.size()) + " satellite(s)";
    a.cn0_drop = largest;
    a.affected_satellites.reserve(satellites.size());
    for (std::uint32_t sat : satellites) a.affected_satellites.push_back(set.satellites[sat]);
    a.affected_systems.reserve(systems.size());
    for (std::string_view name : systems) a.affected_systems.emplace_back(name);
    return a;
}

}  // namespace

std::vector<Cn0Anomaly> detect_cn0_anomalies(const SampleSet& set,
                                             const AnalysisSettings& settings) {
    const auto& samples = set.samples;
    std::vector<Baseline> baselines(set.satellites.size());
    for (const Cn0Sample& s : samples) {
        Baseline& b = baselines[s.satellite];
        b.sum += s.cn0;
        ++b.n;
    }
    for (Baseline& b : baselines) {
        if (b.n > 0) b.mean = b.sum / static_cast<double>(b.n);
    }
    // The deviation pass also picks the candidates: a drop must exceed 10 dB and, for k >= 0,
    // k x 5 dB, whatever the deviation turns out to be. Only the candidates are checked against
    // the full limit once the deviations are known, so the samples are walked twice in all.
    const double k = settings.anomaly_threshold_low;
    const double least_drop = k > 0.0 ? std::max(kMinDrop, k * kMinDropDeviation) : kMinDrop;
    std::vector<Hit> hits;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const Cn0Sample& s = samples[i];
        Baseline& b = baselines[s.satellite];
        const double deviation = s.cn0 - b.mean;
        b.squares += deviation * deviation;
        const double drop = b.mean - s.cn0;
        if (b.n >= kBaselineMinSamples && drop > least_drop) {
            hits.push_back({s.time, static_cast<std::uint32_t>(i), drop});
        }
    }
    for (Baseline& b : baselines) {
        if (b.n == 0) continue;
        b.std = std::sqrt(b.squares / static_cast<double>(b.n));
        if (b.std < kMinBaselineStd) b.std = kMinBaselineStd;
    }
    std::erase_if(hits, [&](const Hit& h) {
        const Baseline& b = baselines[samples[h.sample].satellite];
        const double limit = k * std::max(b.std, kMinDropDeviation);
        return !(h.drop > kMinDrop && h.drop > limit);
    });

    // Counted samples are few, so only they are grouped by epoch.
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.time < b.time; });

    std::vector<Cn0Anomaly> out;
    std::vector<std::uint32_t> satellites;
    std::vector<std::string_view> systems;
    for (std::size_t g = 0; g < hits.size();) {
        const std::uint32_t time = hits[g].time;
        satellites.clear();
        systems.clear();
        double largest = 0.0;
        for (; g < hits.size() && hits[g].time == time; ++g) {
            const Cn0Sample& s = samples[hits[g].sample];
            if (std::find(satellites.begin(), satellites.end(), s.satellite) == satellites.end()) {
                satellites.push_back(s.satellite);
            }
            const std::string_view name = SampleSet::constellation_of(s);
            if (std::find(systems.begin(), systems.end(), name) == systems.end()) {
                systems.push_back(name);
            }
            if (hits[g].drop > largest) largest = hits[g].drop;
        }
        if (satellites.size() >= 2) {
            out.push_back(make_anomaly(set, satellites, systems, largest, time, settings));
        }
    }
    return out;
}

AnomalyCounts count_anomalies(const std::vector<Cn0Anomaly>& anomalies) {
    AnomalyCounts c;
    c.anomaly_count = anomalies.size();
    for (const Cn0Anomaly& a : anomalies) {
        if (a.severity == "critical") {
            ++c.critical_count;
        } else if (a.severity == "high") {
            ++c.high_count;
        } else if (a.severity == "low") {
            ++c.low_count;
        }
    }
    return c;
}

}  // namespace qcn0
