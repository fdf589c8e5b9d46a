// What the visibility prediction found: satellites expected above the elevation mask compared,
// epoch by epoch, with the satellites the receiver actually recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/ordered_map.hpp"

namespace qcn0 {

// Expected versus observed satellites of one constellation over the whole file.
struct SystemVisibility {
    std::string system;
    std::uint64_t predicted_satellites = 0;
    std::uint64_t observed_satellites = 0;
    double confirmation_rate = 0.0;
    std::vector<std::string> missing_satellites;
    std::vector<std::string> unexpected_satellites;

    bool operator==(const SystemVisibility&) const = default;
};

// A stretch of epochs at which predicted satellites went unseen ("missing_satellites") or
// unpredicted ones were seen ("unexpected_satellites").
struct VisibilityAnomaly {
    std::string start_time;
    std::string end_time;
    double duration_seconds = 0.0;
    std::string anomaly_type;
    std::string severity;
    std::vector<std::string> affected_satellites;
    std::vector<std::string> affected_systems;
    std::string description;

    bool operator==(const VisibilityAnomaly&) const = default;
};

struct VisibilitySummary {
    bool has_prediction = false;
    std::string prediction_source;
    double confirmation_rate = 0.0;
    // Satellites per epoch.
    double mean_predicted = 0.0;
    double mean_observed = 0.0;
    double mean_missing = 0.0;
    double mean_unexpected = 0.0;
    std::vector<std::string> frequently_missing;     // satellite identifiers
    std::vector<std::string> frequently_unexpected;  // satellite identifiers
    OrderedMap<SystemVisibility> by_system;          // keyed by constellation name
    std::vector<VisibilityAnomaly> anomalies;

    bool operator==(const VisibilitySummary&) const = default;
};

}  // namespace qcn0
