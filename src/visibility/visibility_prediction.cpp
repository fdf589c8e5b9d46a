#include "visibility/visibility_prediction.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/epoch_time.hpp"
#include "core/systems.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/satellite_position.hpp"
#include "visibility/visibility_anomalies.hpp"

namespace qcn0 {

PredictionSource prediction_source(const NavigationData& navigation, double elevation_mask) {
    PredictionSource source{navigation, navigation.all_satellite_ids(), "", elevation_mask};
    std::sort(source.satellites.begin(), source.satellites.end());
    source.source_text = "BRDC Navigation (" + std::to_string(source.satellites.size()) + " satellites)";
    return source;
}

namespace {

// Epoch counts of one satellite, kept in the order satellites were first tallied.
class Tally {
public:
    void add(const std::string& satellite) {
        auto it = index_.find(satellite);
        if (it == index_.end()) {
            index_.emplace(satellite, entries_.size());
            entries_.emplace_back(satellite, 1);
        } else {
            ++entries_[it->second].second;
        }
    }
    // Satellites counted in more than `threshold` epochs, optionally of one letter only.
    std::vector<std::string> above(std::uint64_t threshold, char letter = 0) const {
        std::vector<std::string> out;
        for (const auto& [satellite, count] : entries_) {
            if (count <= threshold) continue;
            if (letter != 0 && (satellite.empty() || satellite[0] != letter)) continue;
            out.push_back(satellite);
        }
        return out;
    }

private:
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, std::uint64_t>> entries_;
};

constexpr char kSystems[4] = {'G', 'R', 'E', 'C'};

int system_slot(char letter) {
    for (int i = 0; i < 4; ++i) {
        if (kSystems[i] == letter) return i;
    }
    return -1;
}

}  // namespace

VisibilitySummary predict_visibility(const PredictionSource& source, const RinexObsData& obs) {
    VisibilitySummary summary;
    if (!obs.approx_position || obs.epochs.empty()) return summary;
    summary.has_prediction = true;

    const auto& p = *obs.approx_position;
    const LocalFrame frame = local_frame(Ecef{p[0], p[1], p[2]});

    // Each navigation satellite's records are looked up once, not at every epoch.
    const std::size_t n_nav = source.satellites.size();
    std::vector<SatelliteEphemerides> nav_records(n_nav);
    bool covered[128] = {};
    for (std::size_t k = 0; k < n_nav; ++k) {
        const std::string& id = source.satellites[k];
        nav_records[k] = find_satellite_ephemerides(source.navigation, id);
        if (!id.empty() && static_cast<unsigned char>(id[0]) < 128) covered[static_cast<unsigned char>(id[0])] = true;
    }
    // Observation satellites and navigation satellites are matched by identifier once.
    std::unordered_map<std::string_view, std::size_t> nav_index;
    for (std::size_t k = 0; k < n_nav; ++k) nav_index.emplace(source.satellites[k], k);
    constexpr std::size_t kNone = ~std::size_t{0};
    std::vector<std::size_t> nav_of_obs(obs.satellites.size(), kNone);
    std::vector<bool> obs_covered(obs.satellites.size(), false);
    std::vector<SatelliteEphemerides> obs_records(obs.satellites.size());
    for (std::size_t s = 0; s < obs.satellites.size(); ++s) {
        const std::string& id = obs.satellites[s];
        auto it = nav_index.find(id);
        if (it != nav_index.end()) nav_of_obs[s] = it->second;
        obs_covered[s] = !id.empty() && static_cast<unsigned char>(id[0]) < 128 &&
                         covered[static_cast<unsigned char>(id[0])];
    }

    std::vector<EpochVisibility> epochs;
    epochs.reserve(obs.epochs.size());
    Tally missing_tally, unexpected_tally;
    std::vector<char> predicted(n_nav, 0);
    std::vector<char> seen(n_nav, 0);
    std::uint64_t sum_predicted = 0, sum_observed = 0, sum_missing = 0, sum_unexpected = 0,
                  sum_confirmed = 0;
    // Per constellation: predicted rows (missing or confirmed) over all epochs, and the distinct
    // satellites that were seen (confirmed or unexpected).
    std::uint64_t system_predicted_rows[4] = {};
    std::vector<std::string> system_seen[4];

    auto note_seen = [&](const std::string& id) {
        int slot = id.empty() ? -1 : system_slot(id[0]);
        if (slot < 0) return;
        auto& list = system_seen[slot];
        if (std::find(list.begin(), list.end(), id) == list.end()) list.push_back(id);
    };

    for (const auto& epoch : obs.epochs) {
        EpochVisibility ev;
        char stamp[kTimestampBuffer];
        ev.timestamp.assign(stamp, format_epoch_timestamp(epoch.time, stamp));

        std::fill(predicted.begin(), predicted.end(), 0);
        std::fill(seen.begin(), seen.end(), 0);
        for (std::size_t k = 0; k < n_nav; ++k) {
            auto pos = satellite_position(nav_records[k], epoch.time);
            if (!pos) continue;
            const double r = std::sqrt(pos->x * pos->x + pos->y * pos->y + pos->z * pos->z);
            if (!(r >= 20000000.0 && r <= 50000000.0)) continue;
            const LookAngles angles = look_angles(frame, *pos);
            if (std::fabs(angles.elevation) <= 90.0 && angles.elevation >= source.elevation_mask) {
                predicted[k] = 1;
                ++ev.predicted;
            }
        }

        // Observed: a satellite of a covered constellation with some positive S value.
        for (const auto& entry : obs.satellites_of(epoch)) {
            if (!obs_covered[entry.satellite]) continue;
            bool observed = false;
            for (const auto& v : obs.values_of(entry)) {
                if (obs.is_snr_code(v.code) && v.value > 0.0) {
                    observed = true;
                    break;
                }
            }
            if (!observed) continue;
            ++ev.observed;
            const std::size_t k = nav_of_obs[entry.satellite];
            if (k != kNone && predicted[k]) {
                seen[k] = 1;
            } else {
                ev.unexpected.push_back(obs.satellites[entry.satellite]);
            }
        }

        for (std::size_t k = 0; k < n_nav; ++k) {
            if (!predicted[k]) continue;
            const std::string& id = source.satellites[k];
            int slot = system_slot(id[0]);
            if (slot >= 0) ++system_predicted_rows[slot];
            if (seen[k]) {
                ++ev.confirmed;
                note_seen(id);
            } else {
                ev.missing.push_back(id);
                missing_tally.add(id);
            }
        }
        for (const auto& id : ev.unexpected) {
            unexpected_tally.add(id);
            note_seen(id);
        }

        sum_predicted += ev.predicted;
        sum_observed += ev.observed;
        sum_missing += ev.missing.size();
        sum_unexpected += ev.unexpected.size();
        sum_confirmed += ev.confirmed;
        epochs.push_back(std::move(ev));
    }

    const double n = static_cast<double>(epochs.size());
    summary.prediction_source = source.source_text;
    summary.mean_predicted = static_cast<double>(sum_predicted) / n;
    summary.mean_observed = static_cast<double>(sum_observed) / n;
    summary.mean_missing = static_cast<double>(sum_missing) / n;
    summary.mean_unexpected = static_cast<double>(sum_unexpected) / n;
    const double mean_confirmed = static_cast<double>(sum_confirmed) / n;
    summary.confirmation_rate =
        summary.mean_predicted > 0.0 ? mean_confirmed / summary.mean_predicted * 100.0 : 0.0;

    // "Frequently" means in more than a quarter of the epochs.
    const std::uint64_t threshold = epochs.size() / 4;
    summary.frequently_missing = missing_tally.above(threshold);
    summary.frequently_unexpected = unexpected_tally.above(threshold);

    for (int slot = 0; slot < 4; ++slot) {
        const char letter = kSystems[slot];
        SystemVisibility sv;
        sv.system = std::string(system_name(letter));
        sv.predicted_satellites =
            static_cast<std::uint64_t>(std::ceil(static_cast<double>(system_predicted_rows[slot]) / n));
        sv.observed_satellites = system_seen[slot].size();
        sv.confirmation_rate =
            sv.predicted_satellites == 0
                ? 0.0
                : std::min(static_cast<double>(sv.observed_satellites) /
                               static_cast<double>(sv.predicted_satellites) * 100.0,
                           100.0);
        sv.missing_satellites = missing_tally.above(threshold, letter);
        sv.unexpected_satellites = unexpected_tally.above(threshold, letter);
        std::string key = sv.system;
        summary.by_system.append_new(std::move(key), std::move(sv));
    }

    summary.anomalies = detect_visibility_anomalies(epochs);
    return summary;
}

}  // namespace qcn0
