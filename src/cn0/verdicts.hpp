// Yes/no answers on jamming, spoofing and interference. They are not stored in the result but
// read from it on every request, so the same result always gives the same answers.
#pragma once

#include "results/analysis_result.hpp"

namespace qcn0 {

// Critical anomalies at more than 5 % of the time-series epochs, together with either a mean
// C/N0 below 35 dB-Hz or a critical anomaly spanning two or more constellations. Jamming lowers
// every signal at once; an isolated critical dip on one constellation is more likely an
// obstruction.
bool jamming_detected(const AnalysisResult& result);

// Needs the visibility part: on average more than the configured share of the satellites seen per
// epoch were not predicted and more than the configured number of them, and either an episode of
// unexpected satellites lasted over five minutes or the unexpected share exceeds 60 %.
bool spoofing_detected(const AnalysisResult& result);

// At least three anomalies, and more than one per hundred time-series epochs: isolated events
// are not interference.
bool interference_detected(const AnalysisResult& result);

}  // namespace qcn0
