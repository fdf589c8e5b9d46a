// One parsed RINEX observation file.
//
// The file is held compactly: satellite identifiers and observation codes are interned to small
// integers in order of first appearance, and the stored values of all epochs lie in one
// contiguous array. An epoch owns a run of satellite entries, a satellite entry a run of values.
// Within an epoch, satellites keep the order of their lines and values the order of their codes,
// so every walk over the file is deterministic.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/epoch_time.hpp"

namespace qcn0 {

// Loss-of-lock and signal-strength indicators are single digits; this marks an absent one.
constexpr std::uint8_t kNoIndicator = 0xFF;

// One observation of one signal of one satellite at one epoch. Never 0.0: a zero field means
// "no observation" and is not stored.
struct StoredValue {
    double value;
    std::uint32_t code;  // index into RinexObsData::codes
    std::uint8_t lli;    // kNoIndicator when absent (always absent in RINEX 2 files)
    std::uint8_t ssi;    // kNoIndicator when absent
};

// The values of one satellite at one epoch: values[first, first + count).
struct SatelliteObservations {
    std::uint32_t satellite;  // index into RinexObsData::satellites
    std::uint32_t first;
    std::uint32_t count;
};

// One stored epoch: entries[first, first + count) of RinexObsData::entries. Never empty.
struct ObsEpoch {
    EpochTime time;
    std::uint8_t flag = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

// Observation codes of one constellation, in header order.
struct SystemObsTypes {
    char system;
    std::vector<std::string> codes;
};

struct RinexObsData {
    // The file name the reader was given (the last component of a path, or the name handed over
    // with bytes); it names the file in analysis results.
    std::string filename;

    // Header.
    double version = 0.0;
    std::string marker_name;
    std::string receiver_type;
    std::string antenna_type;
    std::optional<std::array<double, 3>> approx_position;
    double interval = 0.0;
    std::vector<SystemObsTypes> obs_types;                        // first-appearance order
    std::vector<std::pair<std::string, std::int32_t>> glonass_slots;  // slot text -> channel

    // Data section.
    std::vector<std::string> satellites;  // interned identifiers, first-appearance order
    std::vector<std::string> codes;       // interned observation codes
    std::vector<ObsEpoch> epochs;
    std::vector<SatelliteObservations> entries;
    std::vector<StoredValue> values;

    std::span<const SatelliteObservations> satellites_of(const ObsEpoch& e) const {
        return {entries.data() + e.first, e.count};
    }
    std::span<const StoredValue> values_of(const SatelliteObservations& s) const {
        return {values.data() + s.first, s.count};
    }
    const std::vector<std::string>* obs_types_of(char system) const {
        for (const auto& t : obs_types) {
            if (t.system == system) return &t.codes;
        }
        return nullptr;
    }
    // System letter of an interned satellite: the identifier's first character, G when empty.
    char system_of(std::uint32_t satellite) const {
        const std::string& id = satellites[satellite];
        return id.empty() ? 'G' : id[0];
    }
    bool is_snr_code(std::uint32_t code) const { return !codes[code].empty() && codes[code][0] == 'S'; }
};

}  // namespace qcn0
