// The one value an analysis produces. A plain tree of records, lists and maps: once built it is
// only read (by the JSON writer, the verdict rules and the Python layer).
//
// Fields are declared in the order they are written to JSON. A default-constructed result is the
// result of an analysis that found nothing: every count 0, every number 0.0, every list and map
// empty, no visibility, quality "N/A" / "No data" and the spoofing constants 0.40 and 8.0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "results/interference.hpp"
#include "results/ordered_map.hpp"
#include "results/sample_table.hpp"
#include "results/sky_products.hpp"
#include "results/time_series.hpp"
#include "results/visibility_summary.hpp"

namespace qcn0 {

struct FileInfo {
    std::string filename;
    std::string marker_name;
    std::string receiver_type;
    std::string antenna_type;
    std::string start_time;
    std::string end_time;
    double duration_hours = 0.0;
    double interval = 0.0;
    double position_lat = 0.0;
    double position_lon = 0.0;
    double position_height = 0.0;

    bool operator==(const FileInfo&) const = default;
};

struct QualityAssessment {
    double overall = 0.0;  // 0 to 100
    double cn0_score = 0.0;
    double coverage_score = 0.0;
    double consistency_score = 0.0;
    std::string grade = "N/A";  // "A" to "F" once there are samples to judge
    std::string interpretation = "No data";

    bool operator==(const QualityAssessment&) const = default;
};

struct ResultSummary {
    std::uint64_t total_observations = 0;
    std::uint64_t total_satellites = 0;
    std::uint64_t total_epochs = 0;
    std::vector<std::string> systems_observed;  // constellation names
    double mean_cn0 = 0.0;                      // dB-Hz
    double min_cn0 = 0.0;
    double max_cn0 = 0.0;
    std::uint64_t anomaly_count = 0;
    std::uint64_t critical_count = 0;
    std::uint64_t high_count = 0;
    std::uint64_t low_count = 0;

    bool operator==(const ResultSummary&) const = default;
};

struct ConstellationStats {
    std::string system;  // constellation name, as the map key
    std::uint64_t satellite_count = 0;
    std::uint64_t observation_count = 0;
    double mean_cn0 = 0.0;
    double min_cn0 = 0.0;
    double max_cn0 = 0.0;
    double std_cn0 = 0.0;
    std::uint64_t satellites_expected = 0;
    double availability_ratio = 0.0;  // may exceed 1
    std::uint64_t cycle_slips = 0;
    std::uint64_t data_gaps = 0;

    bool operator==(const ConstellationStats&) const = default;
};

struct SatelliteStats {
    std::string satellite;  // identifier such as G05, as the map key
    std::string system;
    std::uint64_t observation_count = 0;
    double mean_cn0 = 0.0;
    double min_cn0 = 0.0;
    double max_cn0 = 0.0;
    double std_cn0 = 0.0;
    double mean_elevation = 0.0;  // degrees

    bool operator==(const SatelliteStats&) const = default;
};

// An epoch at which several satellites lost signal strength together.
struct Cn0Anomaly {
    std::string timestamp;
    std::string severity;  // "critical", "high" or "low"
    std::string event_type;
    std::string description;
    double cn0_drop = 0.0;  // dB
    std::vector<std::string> affected_satellites;
    std::vector<std::string> affected_systems;

    bool operator==(const Cn0Anomaly&) const = default;
};

struct AnalysisResult {
    FileInfo file_info;
    QualityAssessment quality_score;
    ResultSummary summary;
    OrderedMap<ConstellationStats> constellation_stats;  // keyed by constellation name
    OrderedMap<SatelliteStats> satellite_stats;          // keyed by satellite identifier
    TimeSeriesData timeseries;
    SkyplotData skyplot;
    HeatmapData heatmap;
    std::vector<Cn0Anomaly> anomalies;
    std::optional<VisibilitySummary> visibility;  // absent without a visibility prediction
    double spoofing_unexpected_threshold = 0.40;
    // A number, not a count: the setting it is copied from is a float.
    double spoofing_min_unexpected_count = 8.0;

    // Version of the analysed observation file. Carried for the Python layer only; it is not one
    // of the document's members and the JSON writer leaves it out.
    double rinex_version = 0.0;

    // The accepted samples, for the Python layer's tables; not part of the JSON document either.
    SampleTable samples;

    // The band-wise interference monitor and the station's health, for the Python layer too;
    // the JSON writer leaves them out, so stored documents keep their shape.
    std::vector<InterferenceEvent> interference_events;  // in time order
    std::string interference_verdict = "none";  // "none", "interference" or "possible_spoofing"
    StationHealth health;

    bool operator==(const AnalysisResult&) const = default;
};

}  // namespace qcn0
