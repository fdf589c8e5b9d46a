// C/N0 drop anomalies: epochs at which at least two satellites fall far below their own usual
// signal strength at the same moment, the signature of jamming or of a shared obstruction.
#pragma once

#include <cstdint>
#include <vector>

#include "cn0/analysis_config.hpp"
#include "cn0/cn0_sample.hpp"
#include "results/analysis_result.hpp"

namespace qcn0 {

// A satellite's usual level: only satellites with at least this many samples (all signals, all
// epochs) have one, so a short pass cannot set its own baseline.
inline constexpr std::size_t kBaselineMinSamples = 10;

// One anomaly per epoch, in time order. A sample counts when its satellite has a baseline (mean
// and population deviation of all its samples, the deviation raised to at least 1.0 dB) and it lies
// more than 10 dB below the mean and more than k x max(deviation, 5 dB) below it, k being
// anomaly_threshold_low. An epoch with at least two distinct counted satellites is an anomaly; its
// drop is the largest counted drop, graded "critical" from anomaly_threshold_critical, "high" from
// anomaly_threshold_high, else "low". Samples are neither smoothed nor merged across epochs.
std::vector<Cn0Anomaly> detect_cn0_anomalies(const SampleSet& set,
                                             const AnalysisSettings& settings);

// The four anomaly figures of the summary.
struct AnomalyCounts {
    std::uint64_t anomaly_count = 0;
    std::uint64_t critical_count = 0;
    std::uint64_t high_count = 0;
    std::uint64_t low_count = 0;
};

AnomalyCounts count_anomalies(const std::vector<Cn0Anomaly>& anomalies);

}  // namespace qcn0
