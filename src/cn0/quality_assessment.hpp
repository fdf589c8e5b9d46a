// The quality assessment of an analysis: three scores from 0 to 100, their weighted sum, a letter
// grade and a sentence for the reader.
#pragma once

#include "results/analysis_result.hpp"

namespace qcn0 {

// Reads what earlier steps placed in the result: summary.mean_cn0, summary.anomaly_count,
// summary.total_epochs, skyplot.coverage_percent and the visibility summary. A visibility
// summary whose prediction could not be made (has_prediction false) counts as no prediction:
// its zeros would otherwise read as "nothing confirmed" and cost the consistency score.
QualityAssessment assess_quality(const AnalysisResult& result);

}  // namespace qcn0
