// Expected versus observed satellites, epoch by epoch: which satellites the broadcast orbits put
// above the elevation mask, and which the receiver actually reported with a signal strength.
#pragma once

#include <string>
#include <vector>

#include "navigation/navigation_data.hpp"
#include "results/visibility_summary.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

struct PredictionSource {
    const NavigationData& navigation;
    std::vector<std::string> satellites;  // every satellite of the navigation data, sorted
    std::string source_text;              // "BRDC Navigation (<n> satellites)"
    double elevation_mask = 5.0;          // degrees
};

// The source of a navigation file: its satellites in ascending byte order.
PredictionSource prediction_source(const NavigationData& navigation, double elevation_mask);

// Compares prediction and observation at every epoch of the file. Only constellations the
// navigation data covers (some satellite of that letter has an ephemeris) take part: a satellite
// of any other constellation can be neither predicted nor meaningfully "unexpected".
// Without a receiver position or without epochs nothing can be predicted: the result is the
// empty summary with has_prediction false.
VisibilitySummary predict_visibility(const PredictionSource& source, const RinexObsData& obs);

}  // namespace qcn0
