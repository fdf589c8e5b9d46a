#include "navigation/satellite_position.hpp"

#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"

namespace qcn0 {

SatelliteEphemerides find_satellite_ephemerides(const NavigationData& nav, std::string_view id) {
    if (id.empty()) return {};
    if (id[0] == 'R') return SatelliteEphemerides{nullptr, nav.glonass_records(id)};
    return SatelliteEphemerides{nav.kepler_records(id), nullptr};
}

std::optional<Ecef> satellite_position(const SatelliteEphemerides& satellite, const EpochTime& epoch) {
    if (satellite.kepler != nullptr) {
        const KeplerEphemeris* record = select_kepler_ephemeris(*satellite.kepler, epoch);
        if (record == nullptr) return std::nullopt;
        return kepler_position(*record, epoch);
    }
    if (satellite.glonass != nullptr) return glonass_position(*satellite.glonass, epoch);
    return std::nullopt;
}

std::optional<Ecef> satellite_position(const NavigationData& nav, std::string_view id,
                                       const EpochTime& epoch) {
    return satellite_position(find_satellite_ephemerides(nav, id), epoch);
}

}  // namespace qcn0
