// Position of a satellite at an epoch from the broadcast records of a navigation file.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/epoch_time.hpp"
#include "navigation/coordinates.hpp"
#include "navigation/navigation_data.hpp"

namespace qcn0 {

// A satellite's records, looked up once: an analysis that asks for the same satellite at every
// epoch keeps this instead of looking the identifier up each time. At most one list is set;
// both null means the satellite has no records. Valid while the NavigationData lives unchanged.
struct SatelliteEphemerides {
    const SatelliteRecords<KeplerEphemeris>* kepler = nullptr;
    const SatelliteRecords<GlonassEphemeris>* glonass = nullptr;

    bool empty() const { return kepler == nullptr && glonass == nullptr; }
};

// G and J look in the GPS map, E Galileo, C BeiDou, R GLONASS, by the exact identifier; any
// other identifier (SBAS, IRNSS, empty) finds nothing.
SatelliteEphemerides find_satellite_ephemerides(const NavigationData& nav, std::string_view id);

// Keplerian satellites: the record nearest in time within 4 hours, evaluated at the epoch.
// GLONASS: the record nearest within 1 hour, integrated to the epoch. None when there is no such
// record (or the GLONASS interval exceeds 2 hours).
std::optional<Ecef> satellite_position(const SatelliteEphemerides& satellite,
                                       const EpochTime& epoch);
std::optional<Ecef> satellite_position(const NavigationData& nav, std::string_view id,
                                       const EpochTime& epoch);

}  // namespace qcn0
