#include "visibility/visibility_anomalies.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "core/epoch_time.hpp"
#include "core/systems.hpp"
#include "core/text.hpp"

namespace qcn0 {

namespace {

// Reads a timestamp text back into an epoch: 'Z' dropped, fields split at '-', 'T', ':' and
// blanks; year to minute as integers, the second as a decimal number.
std::optional<EpochTime> parse_timestamp(std::string_view text) {
    std::string body;
    for (char c : text) {
        if (c != 'Z') body.push_back(c);
    }
    std::vector<std::string_view> parts;
    std::string_view rest = body;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '-' || rest[i] == 'T' || rest[i] == ':' || rest[i] == ' ') {
            parts.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    if (parts.size() < 6) return std::nullopt;
    auto year = parse_i32(parts[0]);
    auto month = parse_u32(parts[1]);
    auto day = parse_u32(parts[2]);
    auto hour = parse_u32(parts[3]);
    auto minute = parse_u32(parts[4]);
    auto second = parse_float(parts[5]);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    return EpochTime{*year, *month, *day, *hour, *minute, *second};
}

// The distinct satellites of a run in order of first collection; runs can last a whole day, so
// membership is looked up in a set rather than by walking the list.
class Collected {
public:
    void clear() {
        list_.clear();
        seen_.clear();
    }
    void add(const std::vector<std::string>& satellites) {
        for (const auto& s : satellites) {
            if (seen_.insert(s).second) list_.push_back(s);
        }
    }
    const std::vector<std::string>& list() const { return list_; }

private:
    std::vector<std::string> list_;
    std::unordered_set<std::string> seen_;
};

VisibilityAnomaly make_anomaly(const std::vector<EpochVisibility>& epochs, std::size_t start,
                               std::size_t end_exclusive, std::vector<std::string> satellites,
                               bool missing) {
    VisibilityAnomaly a;
    const std::size_t last = end_exclusive - 1;
    a.start_time = epochs[start].timestamp;
    a.end_time = epochs[last].timestamp;
    auto t0 = parse_timestamp(a.start_time);
    auto t1 = parse_timestamp(a.end_time);
    if (t0 && t1) {
        a.duration_seconds = std::fabs(julian_day_number(*t1) - julian_day_number(*t0)) * 86400.0;
    } else {
        a.duration_seconds = static_cast<double>(end_exclusive - start) * 30.0;
    }
    for (const auto& s : satellites) {
        std::string name(system_name(s.empty() ? '\0' : s[0]));
        if (std::find(a.affected_systems.begin(), a.affected_systems.end(), name) == a.affected_systems.end()) {
            a.affected_systems.push_back(std::move(name));
        }
    }
    std::sort(a.affected_systems.begin(), a.affected_systems.end());
    const std::size_t n = satellites.size();
    const std::string duration = format_fixed(a.duration_seconds, 0);
    if (missing) {
        a.anomaly_type = "missing_satellites";
        a.severity = (n >= 11 || a.affected_systems.size() >= 3) ? "critical" : n >= 6 ? "high" : "low";
        a.description = std::to_string(n) + " satellites missing for " + duration +
                        "s - possible jamming or obstruction";
    } else {
        a.anomaly_type = "unexpected_satellites";
        a.severity = n >= 6 ? "critical" : n >= 3 ? "high" : "low";
        a.description = std::to_string(n) + " unexpected satellites for " + duration +
                        "s - possible spoofing or multipath";
    }
    a.affected_satellites = std::move(satellites);
    return a;
}

}  // namespace

std::vector<VisibilityAnomaly> detect_visibility_anomalies(const std::vector<EpochVisibility>& epochs) {
    std::vector<VisibilityAnomaly> out;
    if (epochs.size() < 2) return out;

    // Missing runs start when more than 30 % of the predicted satellites are missing and end at
    // the first epoch with 10 % or less; the ending epoch's satellites are collected but its time
    // is not part of the run.
    bool in_run = false;
    std::size_t start = 0;
    Collected collected;
    for (std::size_t j = 0; j < epochs.size(); ++j) {
        const auto& e = epochs[j];
        const double ratio = e.predicted == 0 ? 0.0
                                              : static_cast<double>(e.missing.size()) /
                                                    static_cast<double>(e.predicted);
        if (!in_run && ratio > 0.3) {
            collected.clear();
            start = j;
            in_run = true;
        }
        if (in_run) {
            collected.add(e.missing);
            if (ratio <= 0.1) {
                if (j > start) out.push_back(make_anomaly(epochs, start, j, collected.list(), true));
                in_run = false;
            }
        }
    }

    // Unexpected runs: three or more unexpected satellites start one, fewer than two end it.
    in_run = false;
    collected.clear();
    for (std::size_t j = 0; j < epochs.size(); ++j) {
        const auto& e = epochs[j];
        if (!in_run && e.unexpected.size() >= 3) {
            collected.clear();
            start = j;
            in_run = true;
        }
        if (in_run) {
            collected.add(e.unexpected);
            if (e.unexpected.size() < 2) {
                if (j > start) out.push_back(make_anomaly(epochs, start, j, collected.list(), false));
                in_run = false;
            }
        }
    }
    return out;
}

}  // namespace qcn0
