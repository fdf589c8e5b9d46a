// Expected versus observed satellites, epoch by epoch: which satellites the broadcast orbits put
// above the elevation mask, and which the receiver actually reported with a signal strength.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "navigation/coordinates.hpp"
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

// The comparison run one epoch at a time, so that the analysis can use the satellite positions
// of each epoch for its samples too instead of computing them a second time. Needs a receiver
// position. Epochs must be given in file order, each once, then finish().
class VisibilityPredictor {
public:
    VisibilityPredictor(PredictionSource source, const RinexObsData& obs);
    ~VisibilityPredictor();
    VisibilityPredictor(const VisibilityPredictor&) = delete;
    VisibilityPredictor& operator=(const VisibilityPredictor&) = delete;

    void compare_epoch(std::size_t epoch_index);
    // The position computed at the last compared epoch for an observation satellite (index into
    // RinexObsData::satellites); none when it has no broadcast records or none near the epoch.
    const std::optional<Ecef>& position_of(std::uint32_t satellite) const;
    // Whether the last compared epoch put an observation satellite above the elevation mask.
    bool predicted_above_mask(std::uint32_t satellite) const;
    // Adds, per system letter, the satellites the last compared epoch put above the mask.
    void count_predicted(std::uint64_t (&per_letter)[128]) const;
    VisibilitySummary finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Compares prediction and observation at every epoch of the file. Only constellations the
// navigation data covers (some satellite of that letter has an ephemeris) take part: a satellite
// of any other constellation can be neither predicted nor meaningfully "unexpected".
// Without a receiver position or without epochs nothing can be predicted: the result is the
// empty summary with has_prediction false.
VisibilitySummary predict_visibility(const PredictionSource& source, const RinexObsData& obs);

}  // namespace qcn0
