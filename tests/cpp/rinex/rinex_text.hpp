// Builders of small RINEX observation texts, each field at its column, and look-ups into a
// parsed RinexObsData for the reader tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rinex/obs_data.hpp"
#include "rinex/obs_reader.hpp"

namespace qcn0::testing {

// A header line: the value padded with blanks (or cut) to 60 columns, then the label.
inline std::string header_line(std::string_view value, std::string_view label) {
    std::string line(value.substr(0, 60));
    line.resize(60, ' ');
    line += label;
    line += '\n';
    return line;
}

inline std::string version_line(std::string_view version) {
    // F9.2 in columns 0..9, then the file type.
    std::string value(version);
    if (value.size() < 9) value.insert(0, 9 - value.size(), ' ');
    value += "           OBSERVATION DATA    M (MIXED)";
    return header_line(value, "RINEX VERSION / TYPE");
}

inline std::string end_of_header() {
    return header_line("", "END OF HEADER");
}

// "SYS / # / OBS TYPES": system letter in column 0, count in 3..6, codes of 4 columns from
// column 6, 13 to a line; further codes go on continuation lines with a blank system column.
inline std::string v3_obs_types(char system, const std::vector<std::string>& codes) {
    std::string out;
    for (std::size_t first = 0; first < codes.size() || first == 0; first += 13) {
        char head[8];
        if (first == 0) {
            std::snprintf(head, sizeof head, "%c  %3zu", system, codes.size());
        } else {
            std::snprintf(head, sizeof head, "      ");
        }
        std::string value = head;
        for (std::size_t k = first; k < codes.size() && k < first + 13; ++k)
            value += " " + codes[k];
        out += header_line(value, "SYS / # / OBS TYPES");
        if (codes.empty()) break;
    }
    return out;
}

// "# / TYPES OF OBSERV": count in columns 0..6, then codes of 6 columns, 9 to a line.
inline std::string v2_obs_types(const std::vector<std::string>& codes) {
    std::string out;
    for (std::size_t first = 0; first < codes.size(); first += 9) {
        char head[8];
        if (first == 0) {
            std::snprintf(head, sizeof head, "%6zu", codes.size());
        } else {
            std::snprintf(head, sizeof head, "      ");
        }
        std::string value = head;
        for (std::size_t k = first; k < codes.size() && k < first + 9; ++k) {
            char field[8];
            std::snprintf(field, sizeof field, "%6s", codes[k].c_str());
            value += field;
        }
        out += header_line(value, "# / TYPES OF OBSERV");
    }
    return out;
}

// A RINEX 3 epoch line: "> yyyy mm dd hh mm ss.sssssss  f nn". The flag and the count are
// read as whitespace-separated pieces, so a count of three digits gets a blank before it.
inline std::string v3_epoch(int year, int month, int day, int hour, int minute, double second,
                            int flag, int count) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "> %4d %02d %02d %02d %02d %10.7f  %d %2d\n", year, month, day,
                  hour, minute, second, flag, count);
    return buf;
}

// One RINEX 3 observation field: F14.3 value, then the loss-of-lock and strength characters.
// An absent value is 16 blanks.
inline std::string v3_field(std::optional<double> value, char lli = ' ', char ssi = ' ') {
    if (!value) return std::string(16, ' ');
    char buf[64];
    std::snprintf(buf, sizeof buf, "%14.3f%c%c", *value, lli, ssi);
    return buf;
}

// A RINEX 3 satellite line: the identifier in columns 0..3, fields from column 3.
inline std::string v3_sat(std::string_view id, const std::vector<std::string>& fields) {
    std::string line(id);
    line.resize(3, ' ');
    for (const auto& f : fields) line += f;
    line += '\n';
    return line;
}

// A RINEX 2 epoch line with its continuation lines: two-digit year in 1..3, month 4..6, day
// 7..9, hour 10..12, minute 13..15, second 15..26, flag 26..29, count 29..32, then twelve
// 3-column satellite slots per line from column 32.
inline std::string v2_epoch(int yy, int month, int day, int hour, int minute, double second,
                            int flag, const std::vector<std::string>& slots, int count = -1) {
    if (count < 0) count = static_cast<int>(slots.size());
    char buf[64];
    std::snprintf(buf, sizeof buf, " %2d %2d %2d %2d %2d%11.7f  %d%3d", yy, month, day, hour,
                  minute, second, flag, count);
    std::string out = buf;
    for (std::size_t k = 0; k < slots.size(); ++k) {
        if (k > 0 && k % 12 == 0) out += "\n" + std::string(32, ' ');
        std::string slot = slots[k];
        slot.resize(3, ' ');
        out += slot;
    }
    out += '\n';
    return out;
}

// One RINEX 2 observation field: F14.3 value and two indicator characters. Absent: 16 blanks.
inline std::string v2_field(std::optional<double> value, char lli = ' ', char ssi = ' ') {
    return v3_field(value, lli, ssi);
}

// The observation lines of one RINEX 2 satellite: five fields to a line.
inline std::string v2_record(const std::vector<std::optional<double>>& values) {
    std::string out;
    for (std::size_t k = 0; k < values.size(); ++k) {
        out += v2_field(values[k]);
        if (k % 5 == 4 || k + 1 == values.size()) out += '\n';
    }
    if (values.empty()) out += '\n';
    return out;
}

inline RinexObsData read_ok(std::string_view text, std::string_view name = "test.obs") {
    auto r = read_observation_text(text, name);
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error());
    if (!r.ok()) return RinexObsData{};
    return std::move(r).value();
}

// Identifiers of an epoch, in stored order.
inline std::vector<std::string> satellites_in(const RinexObsData& obs, std::size_t epoch) {
    std::vector<std::string> out;
    if (epoch >= obs.epochs.size()) return out;
    for (const auto& s : obs.satellites_of(obs.epochs[epoch]))
        out.push_back(obs.satellites[s.satellite]);
    return out;
}

// The stored value of a satellite and code at an epoch, or null.
inline const StoredValue* find_value(const RinexObsData& obs, std::size_t epoch,
                                     std::string_view satellite, std::string_view code) {
    if (epoch >= obs.epochs.size()) return nullptr;
    const StoredValue* found = nullptr;
    for (const auto& s : obs.satellites_of(obs.epochs[epoch])) {
        if (obs.satellites[s.satellite] != satellite) continue;
        for (const auto& v : obs.values_of(s)) {
            if (obs.codes[v.code] == code) {
                EXPECT_EQ(found, nullptr) << "code " << code << " stored twice for " << satellite;
                found = &v;
            }
        }
    }
    return found;
}

// Codes stored for a satellite at an epoch, in stored order.
inline std::vector<std::string> codes_of(const RinexObsData& obs, std::size_t epoch,
                                         std::string_view satellite) {
    std::vector<std::string> out;
    if (epoch >= obs.epochs.size()) return out;
    for (const auto& s : obs.satellites_of(obs.epochs[epoch])) {
        if (obs.satellites[s.satellite] != satellite) continue;
        for (const auto& v : obs.values_of(s)) out.push_back(obs.codes[v.code]);
    }
    return out;
}

inline std::vector<std::string> obs_types(const RinexObsData& obs, char system) {
    const auto* list = obs.obs_types_of(system);
    return list ? *list : std::vector<std::string>{};
}

}  // namespace qcn0::testing
