// Stretches of epochs in which many predicted satellites went missing (jamming, obstruction) or
// several unpredicted satellites were seen (spoofing, multipath).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/visibility_summary.hpp"

namespace qcn0 {

// The comparison at one epoch, as far as the anomaly runs need it.
struct EpochVisibility {
    std::string timestamp;
    std::uint64_t predicted = 0;
    std::uint64_t observed = 0;
    std::uint64_t confirmed = 0;
    std::vector<std::string> missing;     // satellites predicted but not observed
    std::vector<std::string> unexpected;  // satellites observed but not predicted
};

// Missing-satellite anomalies in time order, then unexpected-satellite anomalies in time order.
// A run still open after the last epoch gives nothing; fewer than two epochs give nothing.
std::vector<VisibilityAnomaly> detect_visibility_anomalies(const std::vector<EpochVisibility>& epochs);

}  // namespace qcn0
