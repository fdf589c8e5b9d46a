#include "cn0/verdicts.hpp"

namespace qcn0 {

namespace {

// Rates are per time-series epoch; an empty series divides by one.
double epoch_divisor(const AnalysisResult& result) {
    const auto n = result.timeseries.timestamps.size();
    return n > 0 ? static_cast<double>(n) : 1.0;
}

}  // namespace

bool jamming_detected(const AnalysisResult& result) {
    const double critical_rate =
        static_cast<double>(result.summary.critical_count) / epoch_divisor(result);
    bool multi_system_critical = false;
    for (const Cn0Anomaly& a : result.anomalies) {
        if (a.severity == "critical" && a.affected_systems.size() >= 2) {
            multi_system_critical = true;
            break;
        }
    }
    // A mean that is not a number is not below 35.
    return critical_rate > 0.05 && (result.summary.mean_cn0 < 35.0 || multi_system_critical);
}

bool spoofing_detected(const AnalysisResult& result) {
    if (!result.visibility) return false;
    const VisibilitySummary& v = *result.visibility;
    if (v.mean_observed <= 0.0) return false;
    const double share = v.mean_unexpected / v.mean_observed;
    if (!(share > result.spoofing_unexpected_threshold &&
          v.mean_unexpected > result.spoofing_min_unexpected_count)) {
        return false;
    }
    for (const VisibilityAnomaly& a : v.anomalies) {
        if (a.anomaly_type == "unexpected_satellites" && a.duration_seconds > 300.0) return true;
    }
    return share > 0.6;
}

bool interference_detected(const AnalysisResult& result) {
    if (result.summary.anomaly_count < 3) return false;
    return static_cast<double>(result.summary.anomaly_count) / epoch_divisor(result) > 0.01;
}

}  // namespace qcn0
