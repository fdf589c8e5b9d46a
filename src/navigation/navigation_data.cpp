#include "navigation/navigation_data.hpp"

namespace qcn0 {

const EphemerisMap<KeplerEphemeris>* NavigationData::kepler_map(char letter) const {
    switch (letter) {
        case 'G':
        case 'J':
            return &gps_ephemerides;
        case 'E':
            return &galileo_ephemerides;
        case 'C':
            return &beidou_ephemerides;
        default:
            return nullptr;
    }
}

const std::vector<KeplerEphemeris>* NavigationData::kepler_records(std::string_view id) const {
    if (id.empty()) return nullptr;
    const auto* map = kepler_map(id[0]);
    return map == nullptr ? nullptr : map->find(id);
}

const std::vector<GlonassEphemeris>* NavigationData::glonass_records(std::string_view id) const {
    if (id.empty() || id[0] != 'R') return nullptr;
    return glonass_ephemerides.find(id);
}

std::vector<std::string> NavigationData::all_satellite_ids() const {
    std::vector<std::string> ids;
    ids.reserve(satellite_count());
    for (const auto* map : {&gps_ephemerides, &galileo_ephemerides, &beidou_ephemerides}) {
        for (const auto& entry : *map) ids.push_back(entry.id);
    }
    for (const auto& entry : glonass_ephemerides) ids.push_back(entry.id);
    return ids;
}

const std::int32_t* NavigationData::glonass_channel(std::string_view slot) const {
    for (const auto& [key, channel] : glonass_channels) {
        if (key == slot) return &channel;
    }
    return nullptr;
}

void NavigationData::set_glonass_channel(std::string_view slot, std::int32_t channel) {
    for (auto& [key, value] : glonass_channels) {
        if (key == slot) {
            value = channel;
            return;
        }
    }
    glonass_channels.emplace_back(std::string(slot), channel);
}

}  // namespace qcn0
