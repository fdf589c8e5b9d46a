#include "navigation/satellite_position.hpp"

#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/record_choice.hpp"

namespace qcn0 {

SatelliteEphemerides find_satellite_ephemerides(const NavigationData& nav, std::string_view id) {
    if (id.empty()) return {};
    if (id[0] == 'R') return SatelliteEphemerides{nullptr, nav.glonass_ephemerides.find_entry(id)};
    const auto* map = nav.kepler_map(id[0]);
    if (map == nullptr) return {};
    return SatelliteEphemerides{map->find_entry(id), nullptr};
}

std::optional<Ecef> satellite_position(const SatelliteEphemerides& satellite,
                                       const EpochTime& epoch) {
    // The record day numbers are kept with the records, so one day number is computed per call.
    const auto day_of = [](const auto& entry) {
        return [&entry](std::size_t i) { return entry.day_numbers[i]; };
    };
    if (const auto* s = satellite.kepler) {
        const double day = julian_day_number(epoch);
        const std::size_t i =
            nearest_record(s->records.size(), day, kKeplerSelectionWindow, day_of(*s));
        if (i == kNoRecord) return std::nullopt;
        return kepler_position_on_day(s->records[i], day);
    }
    if (const auto* s = satellite.glonass) {
        const double day = julian_day_number(epoch);
        const std::size_t i =
            nearest_record(s->records.size(), day, kGlonassSelectionWindow, day_of(*s));
        if (i == kNoRecord) return std::nullopt;
        return glonass_propagate_on_day(s->records[i], s->day_numbers[i], day);
    }
    return std::nullopt;
}

std::optional<Ecef> satellite_position(const NavigationData& nav, std::string_view id,
                                       const EpochTime& epoch) {
    return satellite_position(find_satellite_ephemerides(nav, id), epoch);
}

}  // namespace qcn0
