// The settings one analysis runs with: the record as the caller configured it, the ways it is
// built, and the smaller block of settings the analysis itself reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/expected.hpp"

namespace qcn0 {

// The navigation setting: one path, or a list of paths whose records are merged in order.
// `listed` remembers which form the caller used, so the setting reads back as it was given.
struct NavFiles {
    std::vector<std::string> paths;
    bool listed = false;

    bool operator==(const NavFiles&) const = default;
};

// Fields in the order of the Python constructor's parameters. The member defaults are the plain
// defaults, as the legacy constructor stores them; the keyword constructor scales the low and high
// thresholds by its sensitivity (2.25 and 4.5 with every argument at its default).
struct AnalysisConfig {
    double min_elevation = 5.0;  // degrees; also the mask of the visibility prediction
    double min_cn0 = 0.0;        // dB-Hz, inclusive
    double max_cn0 = 60.0;       // dB-Hz, inclusive
    // Carried into the analysis, but the series are built per epoch and never binned by it.
    std::uint32_t time_bin_seconds = 60;
    // Entries select constellations by their first character; absent means GPS, GLONASS,
    // Galileo and BeiDou.
    std::optional<std::vector<std::string>> systems;
    double anomaly_threshold_low = 3.0;  // dB
    double anomaly_threshold_high = 6.0;
    double anomaly_threshold_critical = 10.0;
    // The next four are stored and readable but change nothing in an analysis (the sensitivity
    // acts only through the threshold scaling at construction).
    bool detect_anomalies = true;
    double anomaly_sensitivity = 0.5;
    double interference_threshold_db = 6.0;
    bool verbose = false;
    std::optional<NavFiles> nav_file;  // navigation files read by analyze_file
    double spoofing_unexpected_threshold = 0.40;
    double spoofing_min_unexpected_count = 8.0;

    bool operator==(const AnalysisConfig&) const = default;
};

// The keyword constructor's arguments, each at its default. The two time-bin arguments arrive as
// the caller's integers; whether they fit is checked when the record is built.
struct AnalysisConfigArguments {
    double min_elevation = 5.0;
    double min_cn0 = 0.0;
    double max_cn0 = 60.0;
    std::optional<std::int64_t> time_bin_seconds;
    std::optional<std::int64_t> time_bin;  // alias, used only when time_bin_seconds is absent
    std::optional<std::vector<std::string>> systems;
    double anomaly_threshold_low = 3.0;
    double anomaly_threshold_high = 6.0;
    double anomaly_threshold_critical = 10.0;
    bool detect_anomalies = true;
    double anomaly_sensitivity = 0.5;
    double interference_threshold_db = 6.0;
    bool verbose = false;
    std::optional<NavFiles> nav_file;
    double spoofing_unexpected_threshold = 0.40;
    double spoofing_min_unexpected_count = 8.0;
};

// The message of a time bin outside 0..4294967295 (the Python layer raises it as OverflowError).
inline constexpr const char* kTimeBinRangeError = "out of range integral type conversion attempted";

// The keyword constructor. The low and high thresholds are multiplied by
// F = 1 - 0.5 * anomaly_sensitivity; nothing else is scaled and no range is enforced on any
// number. The time bin is time_bin_seconds, else time_bin, else 60; either argument outside the
// unsigned 32-bit range fails the construction.
Expected<AnalysisConfig> make_analysis_config(const AnalysisConfigArguments& args);

// The legacy constructor from parsed observation data: the given mask, time bin and systems, the
// rest at the plain defaults (thresholds 3.0, 6.0, 10.0, not scaled). Each non-empty systems entry
// is cut to its first character; empty entries are dropped.
Expected<AnalysisConfig> from_obs_analysis_config(double min_elevation,
                                                  std::int64_t time_bin_seconds,
                                                  std::optional<std::vector<std::string>> systems);

// What the analysis reads; sensitivity, interference threshold, the two unused flags and the
// navigation file stay behind.
struct AnalysisSettings {
    // RINEX constellation letters a satellite must have to be analysed. Order and repeats as
    // given; an empty list lets no satellite through.
    std::vector<char> constellations;
    double min_elevation = 5.0;
    double min_cn0 = 0.0;
    double max_cn0 = 60.0;
    std::uint32_t time_bin_seconds = 60;
    double anomaly_threshold_low = 3.0;
    double anomaly_threshold_high = 6.0;
    double anomaly_threshold_critical = 10.0;
    double spoofing_unexpected_threshold = 0.40;
    double spoofing_min_unexpected_count = 8.0;

    bool includes(char letter) const;
    bool operator==(const AnalysisSettings&) const = default;
};

// Letters of a systems list: G, R, E and C when absent; otherwise the first character of every
// non-empty entry, case kept ("GPS", "G", "Galileo" and "GLONASS" all give G). Satellite
// identifiers are ASCII, so a first byte outside ASCII can never match one and a byte is enough.
std::vector<char> constellation_letters(const std::optional<std::vector<std::string>>& systems);

AnalysisSettings analysis_settings(const AnalysisConfig& config);

// The settings of the one-call module function: the given mask and systems, everything else at
// the plain defaults with unscaled thresholds.
AnalysisSettings analyze_cn0_settings(double min_elevation,
                                      const std::optional<std::vector<std::string>>& systems);

}  // namespace qcn0
