// The quality score handed to notebooks: five component scores on 0..100, their weighted overall
// score, a rating and whether the data is good enough for post-processing. Computed from a
// finished result each time it is asked for; nothing of it is stored.
#pragma once

#include <string>

#include "results/analysis_result.hpp"

namespace qcn0 {

struct QualityScore {
    double overall = 0.0;
    std::string rating;  // "A - Excellent", "B - Good", "C - Fair", "D - Poor" or "F - Very Poor"
    double cn0_quality = 0.0;
    double availability = 0.0;
    double continuity = 0.0;
    double stability = 0.0;
    double diversity = 0.0;
    bool post_processing_suitable = false;

    bool operator==(const QualityScore&) const = default;
};

// availability: satellites seen against satellites expected over the constellation statistics
// (50 when nothing is expected); stability: from the mean per-constellation C/N0 deviation, 100 at
// 2 dB or less, 0 at 10 dB or more (a deviation of 5 dB assumed without statistics); continuity:
// data gaps against constellations x epochs; diversity: 25 per observed constellation;
// cn0_quality: the assessment's C/N0 score.
QualityScore make_quality_score(const AnalysisResult& result);

// "QualityScore(overall=73, rating='C - Fair')": the overall score rounded to a whole number,
// halves to even.
std::string quality_score_repr(const QualityScore& score);

}  // namespace qcn0
