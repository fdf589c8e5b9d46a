// What the band-wise interference monitor found, and the station's health figures. Carried in
// the result beside the older anomaly list and verdicts, which keep their meaning; the JSON
// document does not include them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qcn0 {

// A stretch of time over which the signals of one or more carrier bands moved together.
struct InterferenceEvent {
    std::string start;  // first affected epoch, written like the result's timestamps
    std::string end;    // last affected epoch
    double duration_s = 0.0;  // from start to end, plus one epoch interval
    std::string kind;         // "cn0_drop", "cn0_rise" or "cn0_flattening"
    std::vector<std::string> bands;
    // Median change over the affected signals that stayed tracked, positive for a drop. For a
    // flattening: how far the spread of C/N0 across satellites shrank.
    double depth_db = 0.0;
    std::uint64_t signals_affected = 0;
    std::uint64_t signals_tracked = 0;

    bool operator==(const InterferenceEvent&) const = default;
};

struct StationHealth {
    // Observed over expected signal-epochs above the elevation mask; only with navigation data.
    std::optional<double> completeness_percent;
    // Epochs missing inside satellites' passes, summed over satellites.
    std::uint64_t in_pass_gap_epochs = 0;
    // Per band name: mean C/N0 in the elevation bins 0-10, 10-20, ... 80-90 degrees.
    struct BandProfile {
        std::string band;
        std::array<std::optional<double>, 9> mean_cn0;
        bool operator==(const BandProfile&) const = default;
    };
    std::vector<BandProfile> cn0_by_elevation;

    bool operator==(const StationHealth&) const = default;
};

}  // namespace qcn0
