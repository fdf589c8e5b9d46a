// The analysis: one observation file, its settings and optional navigation data in, one result
// out. It never fails; missing inputs give the short results described with each step.
#pragma once

#include "cn0/analysis_config.hpp"
#include "cn0/cn0_sample.hpp"
#include "navigation/navigation_data.hpp"
#include "results/analysis_result.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

AnalysisResult analyse(const RinexObsData& obs, const AnalysisSettings& settings,
                       const NavigationData* navigation);
// The same, giving back the observations' values as soon as they are no longer needed; the
// file's values are gone afterwards.
AnalysisResult analyse(RinexObsData&& obs, const AnalysisSettings& settings,
                       const NavigationData* navigation);

class VisibilityPredictor;
struct PredictedSky;

// The accepted C/N0 values: signal-strength codes of the selected constellations, above the
// elevation mask and inside [min_cn0, max_cn0]. With a predictor, each epoch is compared by it
// first and its satellite positions serve the samples too.
// With `sky`, it also counts what the health figures need from the prediction.
SampleSet collect_samples(const RinexObsData& obs, const AnalysisSettings& settings,
                          const NavigationData* navigation, VisibilityPredictor* predictor = nullptr,
                          PredictedSky* sky = nullptr);

}  // namespace qcn0
