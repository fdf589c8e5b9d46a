#include "cn0/analysis.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "cn0/cn0_anomalies.hpp"
#include "cn0/interference_events.hpp"
#include "cn0/quality_assessment.hpp"
#include "cn0/sample_table.hpp"
#include "cn0/sky_products.hpp"
#include "cn0/station_health.hpp"
#include "cn0/statistics.hpp"
#include "cn0/time_series.hpp"
#include "core/systems.hpp"
#include "navigation/geodetic.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/orbit_tracker.hpp"
#include "navigation/satellite_position.hpp"
#include "visibility/visibility_prediction.hpp"

namespace qcn0 {

namespace {

FileInfo file_information(const RinexObsData& obs) {
    FileInfo info;
    info.filename = obs.filename;
    info.marker_name = obs.marker_name;
    info.receiver_type = obs.receiver_type;
    info.antenna_type = obs.antenna_type;
    info.interval = obs.interval;
    if (!obs.epochs.empty()) {
        // First and last in file order, not the earliest and latest.
        const EpochTime& first = obs.epochs.front().time;
        const EpochTime& last = obs.epochs.back().time;
        info.start_time = format_epoch_timestamp(first);
        info.end_time = format_epoch_timestamp(last);
        info.duration_hours = seconds_between(last, first) / 3600.0;
    }
    if (obs.approx_position) {
        const auto& p = *obs.approx_position;
        const Geodetic g = ecef_to_geodetic(Ecef{p[0], p[1], p[2]});
        info.position_lat = g.latitude;
        info.position_lon = g.longitude;
        info.position_height = g.height;
    }
    return info;
}

// What the file holds, independent of any filter: its epochs, its distinct satellites and the
// constellations they belong to (in first-appearance order).
void file_summary(const RinexObsData& obs, ResultSummary& summary) {
    summary.total_epochs = obs.epochs.size();
    summary.total_satellites = obs.satellites.size();
    std::vector<char> letters;
    for (std::uint32_t s = 0; s < obs.satellites.size(); ++s) {
        const char letter = obs.system_of(s);
        if (std::find(letters.begin(), letters.end(), letter) == letters.end()) {
            letters.push_back(letter);
            summary.systems_observed.push_back(observed_system_name(letter));
        }
    }
}

}  // namespace

SampleSet collect_samples(const RinexObsData& obs, const AnalysisSettings& settings,
                          const NavigationData* navigation, VisibilityPredictor* predictor,
                          PredictedSky* sky) {
    SampleSet set;
    set.satellites = obs.satellites;
    set.signals = obs.codes;

    // Timestamps are numbered in ascending text order; epochs with the same text share a number.
    const std::size_t n_epochs = obs.epochs.size();
    std::vector<std::string> stamps(n_epochs);
    char buf[kTimestampBuffer];
    for (std::size_t e = 0; e < n_epochs; ++e) {
        stamps[e].assign(buf, format_epoch_timestamp(obs.epochs[e].time, buf));
    }
    std::vector<std::uint32_t> order(n_epochs);
    for (std::size_t e = 0; e < n_epochs; ++e) order[e] = static_cast<std::uint32_t>(e);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return stamps[a] < stamps[b]; });
    std::vector<std::uint32_t> rank(n_epochs);
    for (std::size_t i = 0; i < n_epochs; ++i) {
        if (i == 0 || stamps[order[i]] != stamps[order[i - 1]]) set.timestamps.push_back(stamps[order[i]]);
        rank[order[i]] = static_cast<std::uint32_t>(set.timestamps.size() - 1);
    }
    set.seconds.resize(set.timestamps.size());
    for (std::size_t e = 0; e < n_epochs; ++e) {
        set.seconds[rank[e]] = seconds_between(obs.epochs[e].time, obs.epochs[order[0]].time);
    }
    set.positioned.assign(obs.satellites.size(), 0);

    // Which satellites pass the constellation filter, and how their positions are found: from
    // the predictor when one compares the epochs, else from their own records (looked up once).
    const std::size_t n_sats = obs.satellites.size();
    std::vector<char> selected(n_sats, 0);
    for (std::uint32_t s = 0; s < n_sats; ++s) selected[s] = settings.includes(obs.system_of(s)) ? 1 : 0;
    const bool use_orbits = navigation != nullptr && obs.approx_position.has_value();
    std::vector<OrbitTracker> orbits;
    LocalFrame frame;
    if (use_orbits) {
        if (predictor == nullptr) {
            orbits.resize(n_sats);
            for (std::uint32_t s = 0; s < n_sats; ++s) {
                if (selected[s]) orbits[s] = OrbitTracker(find_satellite_ephemerides(*navigation, obs.satellites[s]));
            }
        }
        const auto& p = *obs.approx_position;
        frame = local_frame(Ecef{p[0], p[1], p[2]});
    }
    if (sky != nullptr) {
        sky->satellites = n_sats;
        sky->above_mask.assign((set.timestamps.size() * n_sats + 63) / 64, 0);
    }
    std::vector<char> snr(obs.codes.size(), 0);
    for (std::size_t c = 0; c < obs.codes.size(); ++c) snr[c] = obs.is_snr_code(static_cast<std::uint32_t>(c)) ? 1 : 0;

    set.samples.reserve(obs.values.size() / 3 + 16);
    std::optional<Ecef> own_position;
    for (std::size_t e = 0; e < n_epochs; ++e) {
        const ObsEpoch& epoch = obs.epochs[e];
        if (predictor != nullptr) predictor->compare_epoch(e);
        if (predictor != nullptr && sky != nullptr) {
            predictor->count_predicted(sky->predicted_per_letter);
            for (std::uint32_t s = 0; s < n_sats; ++s) {
                if (!predictor->predicted_above_mask(s)) continue;
                const std::size_t i = static_cast<std::size_t>(rank[e]) * n_sats + s;
                sky->above_mask[i / 64] |= std::uint64_t{1} << (i % 64);
            }
        }
        const double day = use_orbits && predictor == nullptr ? julian_day_number(epoch.time) : 0.0;
        for (const auto& entry : obs.satellites_of(epoch)) {
            if (!selected[entry.satellite]) continue;
            // Without a usable orbit every sample sits at 45 degrees elevation, azimuth 0.
            double elevation = 45.0, azimuth = 0.0;
            const std::optional<Ecef>* position = nullptr;
            if (predictor != nullptr) {
                position = &predictor->position_of(entry.satellite);
            } else if (use_orbits && orbits[entry.satellite].has_records()) {
                own_position = orbits[entry.satellite].position_on_day(day);
                position = &own_position;
            }
            if (position != nullptr && position->has_value()) {
                const LookAngles angles = look_angles(frame, **position);
                elevation = angles.elevation;
                azimuth = angles.azimuth;
                set.positioned[entry.satellite] = 1;
            }
            if (elevation < settings.min_elevation) continue;
            const char system = obs.system_of(entry.satellite);
            for (const auto& v : obs.values_of(entry)) {
                if (!snr[v.code]) continue;
                if (!(v.value >= settings.min_cn0 && v.value <= settings.max_cn0)) continue;
                set.samples.push_back(Cn0Sample{rank[e], entry.satellite, v.code, system, v.value,
                                                elevation, azimuth});
                if (sky != nullptr && predictor != nullptr && predictor->predicted_above_mask(entry.satellite)) {
                    ++sky->observed_signal_epochs;
                }
            }
        }
    }
    return set;
}

namespace {

// With `spent`, the same object as `obs`, its values are given back once the samples hold
// what the analysis needs of them: a full day's values are as large as any product.
AnalysisResult analyse_and_release(const RinexObsData& obs, const AnalysisSettings& settings,
                                   const NavigationData* navigation, RinexObsData* spent) {
    AnalysisResult result;
    result.rinex_version = obs.version;
    result.file_info = file_information(obs);
    file_summary(obs, result.summary);
    if (obs.epochs.empty()) return result;

    // With navigation data and a receiver position the visibility prediction compares every
    // epoch while the samples are collected, and both use the same satellite positions.
    std::optional<VisibilityPredictor> predictor;
    if (navigation != nullptr && obs.approx_position) {
        predictor.emplace(prediction_source(*navigation, settings.min_elevation), obs);
    }
    PredictedSky predicted_sky;
    const SampleSet set = collect_samples(obs, settings, navigation, predictor ? &*predictor : nullptr,
                                          predictor ? &predicted_sky : nullptr);
    if (set.samples.empty()) return result;
    if (navigation != nullptr) {
        // Without a receiver position nothing could be predicted: the summary says so.
        result.visibility = predictor ? predictor->finish() : VisibilitySummary{};
    }
    if (spent != nullptr) {
        decltype(spent->values)().swap(spent->values);
    }

    fill_sample_summary(set, result.summary);
    result.satellite_stats = satellite_statistics(set);
    result.constellation_stats = constellation_statistics(obs, set, result.visibility);

    result.timeseries = build_time_series(set);
    SkyProducts sky = build_sky_products(set);
    result.skyplot = std::move(sky.skyplot);
    result.heatmap = std::move(sky.heatmap);
    result.anomalies = detect_cn0_anomalies(set, settings);
    const AnomalyCounts counts = count_anomalies(result.anomalies);
    result.summary.anomaly_count = counts.anomaly_count;
    result.summary.critical_count = counts.critical_count;
    result.summary.high_count = counts.high_count;
    result.summary.low_count = counts.low_count;
    result.quality_score = assess_quality(result);
    result.interference_events = detect_interference_events(set, obs.interval);
    result.interference_verdict = interference_verdict(result.interference_events);
    result.health = assess_health(set, predictor ? &predicted_sky : nullptr, obs.interval);
    result.samples = make_sample_table(set);

    result.spoofing_unexpected_threshold = settings.spoofing_unexpected_threshold;
    result.spoofing_min_unexpected_count = settings.spoofing_min_unexpected_count;
    return result;
}

}  // namespace

AnalysisResult analyse(const RinexObsData& obs, const AnalysisSettings& settings,
                       const NavigationData* navigation) {
    return analyse_and_release(obs, settings, navigation, nullptr);
}

AnalysisResult analyse(RinexObsData&& obs, const AnalysisSettings& settings,
                       const NavigationData* navigation) {
    return analyse_and_release(obs, settings, navigation, &obs);
}

}  // namespace qcn0
