// One parsed broadcast navigation file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "navigation/ephemeris.hpp"
#include "navigation/ephemeris_map.hpp"

namespace qcn0 {

struct NavigationData {
    EphemerisMap<KeplerEphemeris> gps_ephemerides;       // GPS and QZSS (G.., J..)
    EphemerisMap<KeplerEphemeris> galileo_ephemerides;   // E..
    EphemerisMap<KeplerEphemeris> beidou_ephemerides;    // C..
    EphemerisMap<GlonassEphemeris> glonass_ephemerides;  // R..
    // GLONASS slot as plain decimal text ("3", "17") -> frequency channel, in the order the slots
    // first appear; a later record of the same slot replaces the channel in place.
    std::vector<std::pair<std::string, std::int32_t>> glonass_channels;

    // Satellites (not records) per map; QZSS counts as GPS.
    std::size_t gps_count() const { return gps_ephemerides.size(); }
    std::size_t galileo_count() const { return galileo_ephemerides.size(); }
    std::size_t beidou_count() const { return beidou_ephemerides.size(); }
    std::size_t glonass_count() const { return glonass_ephemerides.size(); }
    std::size_t satellite_count() const {
        return gps_count() + galileo_count() + beidou_count() + glonass_count();
    }
    // True when any ephemeris map holds a satellite; the channel list is not consulted.
    bool has_data() const { return satellite_count() != 0; }

    // The Keplerian map a satellite's first letter points to: G and J the GPS map, E Galileo,
    // C BeiDou; null for any other letter.
    const EphemerisMap<KeplerEphemeris>* kepler_map(char letter) const;
    // Records of one satellite by its exact identifier, or null.
    const std::vector<KeplerEphemeris>* kepler_records(std::string_view id) const;
    const std::vector<GlonassEphemeris>* glonass_records(std::string_view id) const;

    // Every identifier of the four ephemeris maps: GPS/QZSS, Galileo, BeiDou, GLONASS, each in
    // first-appearance order (not sorted).
    std::vector<std::string> all_satellite_ids() const;

    // Channel of a slot text, or null.
    const std::int32_t* glonass_channel(std::string_view slot) const;
    // Sets a slot's channel, replacing an earlier value in place.
    void set_glonass_channel(std::string_view slot, std::int32_t channel);
};

}  // namespace qcn0
