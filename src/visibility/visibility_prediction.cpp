#include "visibility/visibility_prediction.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/epoch_time.hpp"
#include "core/systems.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/orbit_tracker.hpp"
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

bool letter_in(const bool (&set)[128], const std::string& id) {
    return !id.empty() && static_cast<unsigned char>(id[0]) < 128 && set[static_cast<unsigned char>(id[0])];
}

constexpr std::size_t kNone = ~std::size_t{0};

}  // namespace

struct VisibilityPredictor::State {
    PredictionSource source;
    const RinexObsData& obs;
    LocalFrame frame;
    std::vector<OrbitTracker> orbits;               // per navigation satellite
    std::vector<std::optional<Ecef>> positions;     // per navigation satellite, current epoch
    std::vector<std::size_t> nav_of_obs;            // observation satellite -> navigation index
    std::vector<bool> obs_covered;                  // its constellation has broadcast records
    std::vector<char> predicted, seen;
    std::vector<EpochVisibility> epochs;
    Tally missing_tally, unexpected_tally;
    std::uint64_t sum_predicted = 0, sum_observed = 0, sum_missing = 0, sum_unexpected = 0,
                  sum_confirmed = 0;
    // Per constellation: predicted rows (missing or confirmed) over all epochs, and the distinct
    // satellites that were seen (confirmed or unexpected).
    std::uint64_t system_predicted_rows[4] = {};
    std::vector<std::string> system_seen[4];
    const std::optional<Ecef> none;

    State(PredictionSource s, const RinexObsData& o) : source(std::move(s)), obs(o) {}

    std::vector<char> ever_seen_nav;               // per navigation satellite
    std::vector<char> ever_seen_obs;               // per observation satellite

    // A satellite seen (confirmed or unexpected) counts once for its constellation; it is
    // known either by its navigation index or by its observation index.
    void note_seen(const std::string& id, std::vector<char>& flags, std::size_t index) {
        if (flags[index]) return;
        flags[index] = 1;
        int slot = id.empty() ? -1 : system_slot(id[0]);
        if (slot < 0) return;
        auto& list = system_seen[slot];
        if (std::find(list.begin(), list.end(), id) == list.end()) list.push_back(id);
    }
};

VisibilityPredictor::VisibilityPredictor(PredictionSource source_in, const RinexObsData& obs)
    : state_(std::make_unique<State>(std::move(source_in), obs)) {
    State& st = *state_;
    const PredictionSource& source = st.source;
    const auto& p = obs.approx_position.value();
    st.frame = local_frame(Ecef{p[0], p[1], p[2]});

    // Each navigation satellite's records are looked up once, not at every epoch.
    const std::size_t n_nav = source.satellites.size();
    bool covered[128] = {};
    st.orbits.reserve(n_nav);
    std::unordered_map<std::string_view, std::size_t> nav_index;
    for (std::size_t k = 0; k < n_nav; ++k) {
        const std::string& id = source.satellites[k];
        st.orbits.emplace_back(find_satellite_ephemerides(source.navigation, id));
        nav_index.emplace(id, k);
        if (!id.empty() && static_cast<unsigned char>(id[0]) < 128) covered[static_cast<unsigned char>(id[0])] = true;
    }
    st.positions.assign(n_nav, std::nullopt);
    st.ever_seen_nav.assign(n_nav, 0);
    st.ever_seen_obs.assign(obs.satellites.size(), 0);
    st.predicted.assign(n_nav, 0);
    st.seen.assign(n_nav, 0);
    // Observation and navigation satellites are matched by identifier once.
    st.nav_of_obs.assign(obs.satellites.size(), kNone);
    st.obs_covered.assign(obs.satellites.size(), false);
    for (std::size_t s = 0; s < obs.satellites.size(); ++s) {
        const std::string& id = obs.satellites[s];
        auto it = nav_index.find(id);
        if (it != nav_index.end()) st.nav_of_obs[s] = it->second;
        st.obs_covered[s] = letter_in(covered, id);
    }
    st.epochs.reserve(obs.epochs.size());
}

VisibilityPredictor::~VisibilityPredictor() = default;

const std::optional<Ecef>& VisibilityPredictor::position_of(std::uint32_t satellite) const {
    const std::size_t k = state_->nav_of_obs[satellite];
    return k == kNone ? state_->none : state_->positions[k];
}

bool VisibilityPredictor::predicted_above_mask(std::uint32_t satellite) const {
    const std::size_t k = state_->nav_of_obs[satellite];
    return k != kNone && state_->predicted[k] != 0;
}

void VisibilityPredictor::count_predicted(std::uint64_t (&per_letter)[128]) const {
    const State& st = *state_;
    for (std::size_t k = 0; k < st.predicted.size(); ++k) {
        const std::string& id = st.source.satellites[k];
        if (st.predicted[k] && !id.empty() && static_cast<unsigned char>(id[0]) < 128) {
            ++per_letter[static_cast<unsigned char>(id[0])];
        }
    }
}

void VisibilityPredictor::compare_epoch(std::size_t epoch_index) {
    State& st = *state_;
    const ObsEpoch& epoch = st.obs.epochs[epoch_index];
    const std::size_t n_nav = st.orbits.size();
    EpochVisibility ev;
    char stamp[kTimestampBuffer];
    ev.timestamp.assign(stamp, format_epoch_timestamp(epoch.time, stamp));

    // Predicted: a plausible orbit (20,000 to 50,000 km from the Earth's centre) at or above the
    // elevation mask.
    const double day = julian_day_number(epoch.time);
    std::fill(st.predicted.begin(), st.predicted.end(), 0);
    std::fill(st.seen.begin(), st.seen.end(), 0);
    for (std::size_t k = 0; k < n_nav; ++k) {
        st.positions[k] = st.orbits[k].position_on_day(day);
        if (!st.positions[k]) continue;
        const Ecef& pos = *st.positions[k];
        const double r = std::sqrt(pos.x * pos.x + pos.y * pos.y + pos.z * pos.z);
        if (!(r >= 20000000.0 && r <= 50000000.0)) continue;
        const double elevation = elevation_angle(st.frame, pos);
        if (std::fabs(elevation) <= 90.0 && elevation >= st.source.elevation_mask) {
            st.predicted[k] = 1;
            ++ev.predicted;
        }
    }

    // Observed: a satellite of a covered constellation with some positive S value.
    for (const auto& entry : st.obs.satellites_of(epoch)) {
        if (!st.obs_covered[entry.satellite]) continue;
        bool observed = false;
        for (const auto& v : st.obs.values_of(entry)) {
            if (st.obs.is_snr_code(v.code) && v.value > 0.0) {
                observed = true;
                break;
            }
        }
        if (!observed) continue;
        ++ev.observed;
        const std::size_t k = st.nav_of_obs[entry.satellite];
        if (k != kNone && st.predicted[k]) {
            st.seen[k] = 1;
        } else {
            const std::string& id = st.obs.satellites[entry.satellite];
            ev.unexpected.push_back(id);
            st.unexpected_tally.add(id);
            st.note_seen(id, st.ever_seen_obs, entry.satellite);
        }
    }

    for (std::size_t k = 0; k < n_nav; ++k) {
        if (!st.predicted[k]) continue;
        const std::string& id = st.source.satellites[k];
        int slot = system_slot(id[0]);
        if (slot >= 0) ++st.system_predicted_rows[slot];
        if (st.seen[k]) {
            ++ev.confirmed;
            st.note_seen(id, st.ever_seen_nav, k);
        } else {
            ev.missing.push_back(id);
            st.missing_tally.add(id);
        }
    }

    st.sum_predicted += ev.predicted;
    st.sum_observed += ev.observed;
    st.sum_missing += ev.missing.size();
    st.sum_unexpected += ev.unexpected.size();
    st.sum_confirmed += ev.confirmed;
    st.epochs.push_back(std::move(ev));
}

VisibilitySummary VisibilityPredictor::finish() {
    State& st = *state_;
    VisibilitySummary summary;
    if (st.epochs.empty()) return summary;
    summary.has_prediction = true;
    const double n = static_cast<double>(st.epochs.size());
    summary.prediction_source = st.source.source_text;
    summary.mean_predicted = static_cast<double>(st.sum_predicted) / n;
    summary.mean_observed = static_cast<double>(st.sum_observed) / n;
    summary.mean_missing = static_cast<double>(st.sum_missing) / n;
    summary.mean_unexpected = static_cast<double>(st.sum_unexpected) / n;
    const double mean_confirmed = static_cast<double>(st.sum_confirmed) / n;
    summary.confirmation_rate =
        summary.mean_predicted > 0.0 ? mean_confirmed / summary.mean_predicted * 100.0 : 0.0;

    // "Frequently" means in more than a quarter of the epochs.
    const std::uint64_t threshold = st.epochs.size() / 4;
    summary.frequently_missing = st.missing_tally.above(threshold);
    summary.frequently_unexpected = st.unexpected_tally.above(threshold);

    for (int slot = 0; slot < 4; ++slot) {
        const char letter = kSystems[slot];
        SystemVisibility sv;
        sv.system = std::string(system_name(letter));
        sv.predicted_satellites =
            static_cast<std::uint64_t>(std::ceil(static_cast<double>(st.system_predicted_rows[slot]) / n));
        sv.observed_satellites = st.system_seen[slot].size();
        sv.confirmation_rate =
            sv.predicted_satellites == 0
                ? 0.0
                : std::min(static_cast<double>(sv.observed_satellites) /
                               static_cast<double>(sv.predicted_satellites) * 100.0,
                           100.0);
        sv.missing_satellites = st.missing_tally.above(threshold, letter);
        sv.unexpected_satellites = st.unexpected_tally.above(threshold, letter);
        std::string key = sv.system;
        summary.by_system.append_new(std::move(key), std::move(sv));
    }

    summary.anomalies = detect_visibility_anomalies(st.epochs);
    return summary;
}

VisibilitySummary predict_visibility(const PredictionSource& source, const RinexObsData& obs) {
    if (!obs.approx_position || obs.epochs.empty()) return VisibilitySummary{};
    VisibilityPredictor predictor(source, obs);
    for (std::size_t e = 0; e < obs.epochs.size(); ++e) predictor.compare_epoch(e);
    return predictor.finish();
}

}  // namespace qcn0
