#include "cn0/quality_assessment.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

namespace qcn0 {

namespace {

// Scores live on 0..100. A value that is not a number passes through unchanged.
double clamp_score(double x) {
    if (x < 0.0) return 0.0;
    if (x > 100.0) return 100.0;
    return x;
}

double limited(double x, double high) { return std::min(std::max(x, 0.0), high); }

// Grade and base sentence share their bounds.
struct Band {
    double from;
    const char* grade;
    const char* text;
};
constexpr Band kBands[] = {
    {90.0, "A", "Excellent GNSS signal quality"},
    {80.0, "B", "Good GNSS signal quality"},
    {70.0, "C", "Fair GNSS signal quality with some issues"},
    {60.0, "D", "Poor GNSS signal quality"},
};
constexpr Band kLowestBand = {0.0, "F",
                              "Very poor GNSS signal quality - significant interference suspected"};

const Band& band_of(double overall) {
    for (const Band& b : kBands) {
        if (overall >= b.from) return b;
    }
    return kLowestBand;
}

}  // namespace

QualityAssessment assess_quality(const AnalysisResult& result) {
    const ResultSummary& summary = result.summary;
    const VisibilitySummary* prediction =
        result.visibility && result.visibility->has_prediction ? &*result.visibility : nullptr;

    QualityAssessment q;
    // 30 dB-Hz is barely trackable, 45 dB-Hz a clean open-sky signal.
    q.cn0_score = clamp_score((summary.mean_cn0 - 30.0) / 15.0 * 100.0);
    q.coverage_score = clamp_score(result.skyplot.coverage_percent);

    // One anomaly per ten epochs already takes the whole consistency score.
    const std::uint64_t epochs = summary.total_epochs > 1 ? summary.total_epochs : 1;
    double consistency = clamp_score(
        (1.0 - 10.0 * static_cast<double>(summary.anomaly_count) / static_cast<double>(epochs)) *
        100.0);
    if (prediction) {
        // Predicted satellites that were not confirmed, and satellites seen without being
        // predicted, both say the signals may not be what they claim.
        const double unconfirmed = limited((100.0 - prediction->confirmation_rate) * 0.5, 30.0);
        const double unexpected = limited(prediction->mean_unexpected * 5.0, 20.0);
        consistency = clamp_score(consistency - unconfirmed - unexpected);
    }
    q.consistency_score = consistency;

    q.overall = q.coverage_score * 0.25 + q.cn0_score * 0.35 + q.consistency_score * 0.4;
    const Band& band = band_of(q.overall);
    q.grade = band.grade;
    q.interpretation = band.text;
    if (prediction) {
        if (prediction->mean_observed > 0.0 && prediction->mean_unexpected > 5.0 &&
            prediction->mean_unexpected / prediction->mean_observed > 0.3) {
            q.interpretation += " - WARNING: Many unexpected satellites detected";
        } else if (prediction->confirmation_rate < 50.0 && prediction->mean_predicted > 10.0) {
            q.interpretation += " - WARNING: Low satellite confirmation rate";
        }
    }
    return q;
}

}  // namespace qcn0
