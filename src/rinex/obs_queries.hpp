// Questions a user asks of an observation file before analysing it. Every answer is built in
// first-appearance order, so it is the same on every run.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "rinex/obs_data.hpp"

namespace qcn0 {

struct SystemSatellites {
    char system;
    std::vector<std::string> satellites;
};

struct SatelliteSnrStats {
    std::string satellite;
    double obs_count = 0.0;
    double valid_count = 0.0;
    double mean_snr = 0.0;
};

// Distinct satellites of the stored epochs, grouped by the first character of the identifier
// (the empty identifier is left out).
std::vector<SystemSatellites> satellites_by_system(const RinexObsData& obs);

// For each system with a code list: does it list a signal-strength (S) code?
std::vector<std::pair<char, bool>> snr_availability(const RinexObsData& obs);

// Per satellite with S values: their count, the count of values in (0, 100), and their mean.
std::vector<SatelliteSnrStats> snr_stats_by_satellite(const RinexObsData& obs);

// A flat text dump of what was parsed.
std::vector<std::pair<std::string, std::string>> debug_info(const RinexObsData& obs);

// RinexObsData(version=3.04, epochs=2880, satellites=41)
std::string describe(const RinexObsData& obs);

}  // namespace qcn0
