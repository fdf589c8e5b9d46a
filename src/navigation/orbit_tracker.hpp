// One satellite followed through many epochs: its records are looked up once, and a GLONASS
// satellite keeps the whole-step states of its integrations, so that later epochs near the same
// record integrate only their last step. Positions are exactly those of satellite_position.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "navigation/coordinates.hpp"
#include "navigation/glonass_orbit.hpp"
#include "navigation/satellite_position.hpp"

namespace qcn0 {

class OrbitTracker {
public:
    OrbitTracker() = default;
    explicit OrbitTracker(SatelliteEphemerides satellite);

    bool has_records() const { return !satellite_.empty(); }

    // Position at an epoch given as its julian_day_number.
    std::optional<Ecef> position_on_day(double day_number);

private:
    // Index of the record nearest to `day` within `window` days, ties to the earliest in file
    // order: the same choice as a scan of the whole list, found by binary search in the records
    // sorted by day number.
    std::size_t nearest(const std::vector<double>& days, double day, double window) const;

    SatelliteEphemerides satellite_;
    std::vector<std::uint32_t> by_day_;    // record indices sorted by day number
    std::vector<double> sorted_days_;      // their day numbers
    std::vector<GlonassStepCache> steps_;  // one per GLONASS record
};

}  // namespace qcn0
