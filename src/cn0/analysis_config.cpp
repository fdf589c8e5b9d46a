#include "cn0/analysis_config.hpp"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>

namespace qcn0 {

namespace {

Expected<std::uint32_t> time_bin_value(std::int64_t v) {
    if (v < 0 || v > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max())) {
        return Error{kTimeBinRangeError};
    }
    return static_cast<std::uint32_t>(v);
}

// The first character of UTF-8 text: the whole multi-byte sequence of a non-ASCII one, so the
// entry stays valid text for the caller.
std::string_view first_character(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t len = 1;
    if (lead >= 0xF0) {
        len = 4;
    } else if (lead >= 0xE0) {
        len = 3;
    } else if (lead >= 0xC0) {
        len = 2;
    }
    return s.substr(0, std::min(len, s.size()));
}

}  // namespace

Expected<AnalysisConfig> make_analysis_config(const AnalysisConfigArguments& args) {
    // Both arguments are checked, even the one that is not used.
    std::optional<std::uint32_t> seconds, alias;
    if (args.time_bin_seconds) {
        auto v = time_bin_value(*args.time_bin_seconds);
        if (!v) return Error{v.error()};
        seconds = *v;
    }
    if (args.time_bin) {
        auto v = time_bin_value(*args.time_bin);
        if (!v) return Error{v.error()};
        alias = *v;
    }

    const double factor = 1.0 - 0.5 * args.anomaly_sensitivity;
    AnalysisConfig c;
    c.min_elevation = args.min_elevation;
    c.min_cn0 = args.min_cn0;
    c.max_cn0 = args.max_cn0;
    c.time_bin_seconds = seconds.value_or(alias.value_or(60));
    c.systems = args.systems;
    c.anomaly_threshold_low = args.anomaly_threshold_low * factor;
    c.anomaly_threshold_high = args.anomaly_threshold_high * factor;
    c.anomaly_threshold_critical = args.anomaly_threshold_critical;
    c.detect_anomalies = args.detect_anomalies;
    c.anomaly_sensitivity = args.anomaly_sensitivity;
    c.interference_threshold_db = args.interference_threshold_db;
    c.verbose = args.verbose;
    c.nav_file = args.nav_file;
    c.spoofing_unexpected_threshold = args.spoofing_unexpected_threshold;
    c.spoofing_min_unexpected_count = args.spoofing_min_unexpected_count;
    return c;
}

Expected<AnalysisConfig> from_obs_analysis_config(double min_elevation,
                                                  std::int64_t time_bin_seconds,
                                                  std::optional<std::vector<std::string>> systems) {
    auto bin = time_bin_value(time_bin_seconds);
    if (!bin) return Error{bin.error()};
    AnalysisConfig c;
    c.min_elevation = min_elevation;
    c.time_bin_seconds = *bin;
    if (systems) {
        std::vector<std::string> letters;
        letters.reserve(systems->size());
        for (const auto& entry : *systems) {
            if (!entry.empty()) letters.emplace_back(first_character(entry));
        }
        c.systems = std::move(letters);
    }
    return c;
}

bool AnalysisSettings::includes(char letter) const {
    return std::find(constellations.begin(), constellations.end(), letter) != constellations.end();
}

std::vector<char> constellation_letters(const std::optional<std::vector<std::string>>& systems) {
    if (!systems) return {'G', 'R', 'E', 'C'};
    std::vector<char> letters;
    letters.reserve(systems->size());
    for (const auto& entry : *systems) {
        if (!entry.empty()) letters.push_back(entry[0]);
    }
    return letters;
}

AnalysisSettings analysis_settings(const AnalysisConfig& config) {
    AnalysisSettings s;
    s.constellations = constellation_letters(config.systems);
    s.min_elevation = config.min_elevation;
    s.min_cn0 = config.min_cn0;
    s.max_cn0 = config.max_cn0;
    s.time_bin_seconds = config.time_bin_seconds;
    s.anomaly_threshold_low = config.anomaly_threshold_low;
    s.anomaly_threshold_high = config.anomaly_threshold_high;
    s.anomaly_threshold_critical = config.anomaly_threshold_critical;
    s.spoofing_unexpected_threshold = config.spoofing_unexpected_threshold;
    s.spoofing_min_unexpected_count = config.spoofing_min_unexpected_count;
    return s;
}

AnalysisSettings analyze_cn0_settings(double min_elevation,
                                      const std::optional<std::vector<std::string>>& systems) {
    AnalysisSettings s;
    s.constellations = constellation_letters(systems);
    s.min_elevation = min_elevation;
    return s;
}

}  // namespace qcn0
