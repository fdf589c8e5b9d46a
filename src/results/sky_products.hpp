// Where in the sky the signals came from: satellite tracks, occupied azimuth/elevation cells and
// the fixed 10-by-5-degree heatmap grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcn0 {

struct SkyplotPoint {
    double azimuth = 0.0;
    double elevation = 0.0;
    double cn0 = 0.0;
    std::string satellite;

    bool operator==(const SkyplotPoint&) const = default;
};

struct SkyplotTrace {
    std::string satellite;
    std::string system;  // group name: GPS, GLONASS, Galileo, BeiDou or Other
    std::vector<SkyplotPoint> points;

    bool operator==(const SkyplotTrace&) const = default;
};

// One occupied sky cell, given by its centre in degrees.
struct HeatmapPoint {
    double azimuth_bin = 0.0;
    double elevation_bin = 0.0;
    double mean_cn0 = 0.0;
    std::uint64_t count = 0;

    bool operator==(const HeatmapPoint&) const = default;
};

struct SkyplotData {
    std::vector<SkyplotTrace> traces;
    std::vector<HeatmapPoint> heatmap_points;
    double coverage_percent = 0.0;

    bool operator==(const SkyplotData&) const = default;
};

// Rows are elevation bins from the horizon up, columns azimuth bins clockwise from north. An
// analysis fills 18 rows of 36; the result of an analysis without samples leaves all four empty.
struct HeatmapData {
    std::vector<double> azimuth_bins;
    std::vector<double> elevation_bins;
    std::vector<std::vector<double>> cn0_matrix;
    std::vector<std::vector<std::uint64_t>> count_matrix;

    bool operator==(const HeatmapData&) const = default;
};

}  // namespace qcn0
