#include "cn0/quality_score.hpp"

#include <algorithm>
#include <cstdint>

#include "core/text.hpp"

namespace qcn0 {

namespace {

double clamp_score(double x) { return std::clamp(x, 0.0, 100.0); }

const char* rating_of(double overall) {
    if (overall >= 90.0) return "A - Excellent";
    if (overall >= 80.0) return "B - Good";
    if (overall >= 70.0) return "C - Fair";
    if (overall >= 60.0) return "D - Poor";
    return "F - Very Poor";
}

}  // namespace

QualityScore make_quality_score(const AnalysisResult& result) {
    std::uint64_t seen = 0, expected = 0, gaps = 0;
    double deviation_sum = 0.0;
    for (const auto& [name, stats] : result.constellation_stats) {
        seen += stats.satellite_count;
        expected += stats.satellites_expected;
        gaps += stats.data_gaps;
        deviation_sum += stats.std_cn0;
    }
    const std::size_t constellations = result.constellation_stats.size();

    QualityScore q;
    q.availability =
        expected == 0
            ? 50.0
            : std::min(static_cast<double>(seen) / static_cast<double>(expected) * 100.0, 100.0);

    const double mean_deviation =
        constellations == 0 ? 5.0 : deviation_sum / static_cast<double>(constellations);
    q.stability = clamp_score((10.0 - mean_deviation) * 0.125 * 100.0);

    const double k = constellations == 0 ? 1.0 : static_cast<double>(constellations);
    const double epochs =
        result.summary.total_epochs == 0 ? 1.0 : static_cast<double>(result.summary.total_epochs);
    const double gap_share = std::min(static_cast<double>(gaps) / (k * epochs), 1.0);
    q.continuity = clamp_score((1.0 - gap_share) * 100.0);

    q.diversity =
        std::min(static_cast<double>(result.summary.systems_observed.size()) * 0.25 * 100.0, 100.0);
    q.cn0_quality = result.quality_score.cn0_score;

    q.overall = q.availability * 0.25 + q.cn0_quality * 0.3 + q.continuity * 0.2 +
                q.stability * 0.15 + q.diversity * 0.1;
    q.rating = rating_of(q.overall);
    q.post_processing_suitable = q.overall >= 65.0 && q.cn0_quality >= 60.0;
    return q;
}

std::string quality_score_repr(const QualityScore& score) {
    return "QualityScore(overall=" + format_fixed(score.overall, 0) + ", rating='" + score.rating +
           "')";
}

}  // namespace qcn0
