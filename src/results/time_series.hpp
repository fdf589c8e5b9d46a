// C/N0 over time: the whole receiver per epoch, each satellite per sample, each constellation
// per epoch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/ordered_map.hpp"
#include "results/short_text.hpp"

namespace qcn0 {

// One value at one epoch, with where the satellite stood in the sky (degrees).
struct TimePoint {
    ShortText timestamp;
    double cn0 = 0.0;
    double elevation = 0.0;
    double azimuth = 0.0;

    bool operator==(const TimePoint&) const = default;
};

struct SatelliteTimeSeries {
    std::string satellite;
    std::string system;
    std::string signal;  // observation code of the satellite's first sample
    std::vector<TimePoint> cn0_series;

    bool operator==(const SatelliteTimeSeries&) const = default;
};

// timestamps, mean_cn0 and satellite_count run in parallel, one element per epoch with samples.
struct TimeSeriesData {
    std::vector<std::string> timestamps;
    std::vector<double> mean_cn0;
    std::vector<std::uint64_t> satellite_count;
    OrderedMap<SatelliteTimeSeries> satellite_timeseries;        // keyed by satellite identifier
    OrderedMap<std::vector<TimePoint>> constellation_timeseries;  // keyed by constellation name

    bool operator==(const TimeSeriesData&) const = default;
};

}  // namespace qcn0
