// The test helpers of every area: RINEX observation and navigation text built field by field at
// its column, a dump of a parsed observation file, hand-made orbits that put satellites at chosen
// places in a receiver's sky, hand-made sample sets, and the real data folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cn0/cn0_sample.hpp"
#include "navigation/navigation_data.hpp"
#include "rinex/obs_reader.hpp"

namespace qcn0::testing {

using Ids = std::vector<std::string>;

inline std::string format(const char* pattern, auto... values) {
    char buf[256];
    std::snprintf(buf, sizeof buf, pattern, values...);
    return buf;
}
inline std::string join(const Ids& items, const char* separator = ",") {
    std::string out;
    for (const auto& item : items) out += (&item == &items[0] ? "" : separator) + item;
    return out;
}
inline std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}
// Writes text into a line at a byte column, padding with blanks.
inline std::string& put(std::string& line, std::size_t column, std::string_view text) {
    if (line.size() < column + text.size()) line.resize(column + text.size(), ' ');
    return line.replace(column, text.size(), text);
}

// A header line: the value padded with blanks (or cut) to 60 columns, then the label.
inline std::string header_line(std::string_view value, std::string_view label) {
    std::string line(value.substr(0, 60));
    line.resize(60, ' ');
    return line.append(label) + "\n";
}
inline std::string end_of_header() { return header_line("", "END OF HEADER"); }
// Version right-aligned in columns 0..8, file type letter in column 20.
inline std::string version_line(std::string_view version, char type = 'O') {
    std::string line;
    put(put(line, 9 - std::min<std::size_t>(9, version.size()), version), 20, std::string(1, type));
    return header_line(line, "RINEX VERSION / TYPE");
}
// "SYS / # / OBS TYPES": system in column 0, count in 3..5, 13 codes of 4 columns to a line.
inline std::string v3_obs_types(char system, const Ids& codes) {
    std::string out;
    for (std::size_t first = 0; first == 0 || first < codes.size(); first += 13) {
        std::string value = first == 0 ? format("%c  %3zu", system, codes.size()) : "      ";
        for (std::size_t k = first; k < codes.size() && k < first + 13; ++k) value += " " + codes[k];
        out += header_line(value, "SYS / # / OBS TYPES");
    }
    return out;
}
// "# / TYPES OF OBSERV": count in columns 0..5, then codes of 6 columns, 9 to a line.
inline std::string v2_obs_types(const Ids& codes) {
    std::string out;
    for (std::size_t first = 0; first < codes.size(); first += 9) {
        std::string value = first == 0 ? format("%6zu", codes.size()) : "      ";
        for (std::size_t k = first; k < codes.size() && k < first + 9; ++k) value += format("%6s", codes[k].c_str());
        out += header_line(value, "# / TYPES OF OBSERV");
    }
    return out;
}
// One observation field: F14.3, loss-of-lock and strength characters. Absent: 16 blanks.
inline std::string field(std::optional<double> value, char lli = ' ', char ssi = ' ') {
    return value ? format("%14.3f%c%c", *value, lli, ssi) : std::string(16, ' ');
}
// "> yyyy mm dd hh mm ss.sssssss  f nn": flag and count are blank-separated pieces.
inline std::string v3_epoch(int year, int month, int day, int hour, int minute, double second, int flag, int count) {
    return format("> %4d %02d %02d %02d %02d %10.7f  %d %2d\n", year, month, day, hour, minute, second, flag, count);
}
// A RINEX 3 satellite line: identifier in columns 0..2, fields from column 3.
inline std::string v3_sat(std::string_view id, const Ids& fields) {
    return (std::string(id) + "   ").substr(0, 3) + join(fields, "") + "\n";
}
// A RINEX 2 epoch line: yy mm dd hh mm of 3 columns, second F11.7, flag in column 28, count in
// 29..31, twelve 3-column satellite slots per line from column 32.
inline std::string v2_epoch(int yy, int month, int day, int hour, int minute, double second, int flag,
                            const Ids& slots, int count = -1) {
    std::string out = format(" %2d %2d %2d %2d %2d%11.7f  %d%3d", yy, month, day, hour, minute, second, flag,
                             count < 0 ? static_cast<int>(slots.size()) : count);
    for (std::size_t k = 0; k < slots.size(); ++k)
        out += (k > 0 && k % 12 == 0 ? "\n" + std::string(32, ' ') : "") + (slots[k] + "   ").substr(0, 3);
    return out + "\n";
}
// The observation lines of one RINEX 2 satellite: five fields to a line.
inline std::string v2_record(const std::vector<std::optional<double>>& values) {
    std::string out;
    for (std::size_t k = 0; k < values.size(); ++k) out += field(values[k]) + (k % 5 == 4 || k + 1 == values.size() ? "\n" : "");
    return out;
}

inline RinexObsData read_ok(std::string_view text, std::string_view name = "test.obs") {
    auto r = read_observation_text(text, name);
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error());
    return r.ok() ? std::move(r).value() : RinexObsData{};
}
// Everything a reader stored:
//   version|marker|receiver|antenna|interval[|xyz x,y,z]|G:C1C,S1C...[|slots 1=-4 ...]
//   [every satellite, in order of first appearance]
//   y-m-d h:m:s fF SAT{CODE=value[/lLLI][/sSSI] ...} ...     (one line per epoch)
inline std::string dump(const RinexObsData& o) {
    std::ostringstream s;
    s.precision(12);
    s << o.version << '|' << o.marker_name << '|' << o.receiver_type << '|' << o.antenna_type << '|' << o.interval;
    if (const auto& p = o.approx_position) s << "|xyz " << (*p)[0] << ',' << (*p)[1] << ',' << (*p)[2];
    for (const auto& t : o.obs_types) s << '|' << t.system << ':' << join(t.codes);
    if (!o.glonass_slots.empty()) s << "|slots";
    for (const auto& [slot, channel] : o.glonass_slots) s << ' ' << slot << '=' << channel;
    s << "\n[" << join(o.satellites, " ") << ']';
    for (const auto& e : o.epochs) {
        s << '\n' << e.time.year << '-' << e.time.month << '-' << e.time.day << ' ' << e.time.hour << ':'
          << e.time.minute << ':' << e.time.second << " f" << int(e.flag);
        for (const auto& sat : o.satellites_of(e)) {
            s << ' ' << o.satellites[sat.satellite] << '{';
            for (const auto& v : o.values_of(sat)) {
                s << (&v == &o.values_of(sat)[0] ? "" : " ") << o.codes[v.code] << '=' << v.value;
                if (v.lli != kNoIndicator) s << "/l" << int(v.lli);
                if (v.ssi != kNoIndicator) s << "/s" << int(v.ssi);
            }
            s << '}';
        }
    }
    return s.str();
}

// Seconds from Sunday 2024-01-07 00:00:00, the start of a GPS week: a broadcast orbit with toe 0
// is evaluated at tk = the epoch's second.
inline EpochTime epoch_at(double seconds) {
    const double in_day = std::fmod(seconds, 86400.0);
    EpochTime t{2024, 1, 7 + static_cast<std::uint32_t>(seconds / 86400.0), static_cast<std::uint32_t>(in_day / 3600.0),
                static_cast<std::uint32_t>(std::fmod(in_day, 3600.0) / 60.0), 0.0};
    t.second = in_day - t.hour * 3600.0 - t.minute * 60.0;
    return t;
}
inline std::string stamp_at(double seconds) {
    const EpochTime t = epoch_at(seconds);
    return format("%04d-%02u-%02uT%02u:%02u:%06.3fZ", t.year, t.month, t.day, t.hour, t.minute, t.second);
}
// A field value, absent (no value), or a text F14.3 cannot write (nan, inf).
struct Field {
    std::optional<double> value;
    std::string text;
    Field(double v) : value(v) {}  // NOLINT: a plain number is the common case
    Field(const char* t = "") : text(t) {}
    std::string render() const { return text.empty() ? field(value) : format("%14s  ", text.c_str()); }
};
struct SatLine {
    std::string id;
    std::vector<Field> fields;
};
// A RINEX 3 file; every constellation reads the single code S1C unless told otherwise.
class Rinex3Text {
  public:
    Rinex3Text& codes(char system, Ids list) { return codes_.emplace_back(system, std::move(list)), *this; }
    Rinex3Text& header(std::string_view value, std::string_view label) { return extra_ += header_line(value, label), *this; }
    Rinex3Text& position(double x, double y, double z) { return header(format("%14.4f%14.4f%14.4f", x, y, z), "APPROX POSITION XYZ"); }
    Rinex3Text& epoch(double seconds, std::vector<SatLine> sats) { return epochs_.emplace_back(seconds, std::move(sats)), *this; }
    std::string text() const {
        std::string out = version_line("3.04") + extra_;
        for (char system : std::string("GRECJSI")) {
            Ids list{"S1C"};
            for (const auto& [s, l] : codes_) list = s == system ? l : list;
            out += v3_obs_types(system, list);
        }
        out += end_of_header();
        for (const auto& [seconds, sats] : epochs_) {
            const EpochTime t = epoch_at(seconds);
            out += v3_epoch(t.year, t.month, t.day, t.hour, t.minute, t.second, 0, static_cast<int>(sats.size()));
            for (const auto& sat : sats) {
                Ids fields;
                for (const auto& f : sat.fields) fields.push_back(f.render());
                out += v3_sat(sat.id, fields);
            }
        }
        return out;
    }
    RinexObsData parse(std::string_view filename = "site.obs") const { return read_ok(text(), filename); }

  private:
    std::vector<std::pair<char, Ids>> codes_;
    std::string extra_;
    std::vector<std::pair<double, std::vector<SatLine>>> epochs_;
};

// A number as RINEX navigation files write it: 19 columns, twelve decimals, E or D exponent.
inline std::string num(double v, char exponent = 'E') {
    std::string s = format("%19.12E", v);
    return s.replace(s.find('E'), 1, 1, exponent);
}
// Lines of up to four numbers each from column `first` (4 in RINEX 3, 3 in RINEX 2); an epoch
// line is `head` (identifier and time) with three numbers.
inline std::string orbit_lines(std::size_t first, const std::vector<std::vector<double>>& lines, char exponent = 'E',
                               std::string head = "") {
    std::string out;
    for (const auto& values : lines) {
        std::string line = head.empty() ? std::string(first, ' ') : head;
        for (std::size_t k = 0; k < values.size(); ++k) put(line, first + 19 * k, num(values[k], exponent));
        out += line + "\n";
    }
    return out;
}
inline std::string epoch_line(const std::string& head, std::size_t first, const std::vector<double>& clock, char exponent = 'E') {
    return orbit_lines(first, {clock}, exponent, head);
}
// Seven orbit lines holding start, start + 1, ... so that every field is recognisable.
inline std::string numbered_orbit(std::size_t first, double start, char exponent = 'E') {
    std::vector<std::vector<double>> lines;
    for (double l = start; l < start + 28; l += 4) lines.push_back({l, l + 1, l + 2, l + 3});
    return orbit_lines(first, lines, exponent);
}
// RINEX 3 records: Keplerian clock 0.1, 0.2, 0.3 and orbit fields 1..28; GLONASS position in km.
inline std::string v3_kepler_record(std::string_view sat, std::string_view time = "2024 01 02 03 04 05") {
    return epoch_line(std::string(sat) + " " + std::string(time), 23, {0.1, 0.2, 0.3}) + numbered_orbit(4, 1.0);
}
inline std::string v3_glonass_record(std::string_view sat, double x, double y, double z, int channel,
                                     std::string_view time = "2024 01 02 03 04 05") {
    return epoch_line(std::string(sat) + " " + std::string(time), 23, {1e-5, 2e-12, 86400.0}) +
           orbit_lines(4, {{x, 1.5, 1e-9, 0.0}, {y, -2.5, 2e-9, double(channel)}, {z, 3.5, -3e-9, 0.0}});
}

// The receiver of the orbit tests sits on the equator at longitude 0 on the ellipsoid: up is +X,
// east +Y, north +Z.
constexpr double kEarthRadius = 6378137.0, kGpsRadius = 26560000.0, kPi = 3.14159265358979323846;
// The angle at the Earth's centre between the receiver and a satellite of orbit radius r seen at
// elevation e (degrees): 90 - e - asin(R cos(e) / r).
inline double central_angle_for_elevation(double e, double r = kGpsRadius) {
    return 90.0 - e - std::asin(kEarthRadius * std::cos(e * kPi / 180.0) / r) * 180.0 / kPi;
}
inline std::string sat_id(char system, std::uint32_t prn) { return format("%c%02u", system, prn); }
// A circular equatorial orbit at its toe: the satellite stands `angle_deg` east of the receiver's
// meridian seen from the Earth's centre (0 is the zenith); usable within 4 hours of toc.
inline void add_orbit(NavigationData& nav, char system, std::uint32_t prn, double angle_deg, double radius = kGpsRadius,
                      double toc_seconds = 0.0) {
    KeplerEphemeris k;
    k.system = system, k.prn = prn, k.epoch = epoch_at(toc_seconds), k.sqrt_a = std::sqrt(radius);
    k.e = k.i0 = k.toe = 0.0;
    k.m0 = angle_deg * kPi / 180.0;
    (system == 'E' ? nav.galileo_ephemerides : system == 'C' ? nav.beidou_ephemerides : nav.gps_ephemerides)
        .add(sat_id(system, prn), k);
}

// "2024-03-05T00:00:30.000Z" for 30.
inline std::string stamp(int second) { return format("2024-03-05T%02d:%02d:%02d.000Z", second / 3600, second / 60 % 60, second % 60); }
// Samples added by timestamp text; build() numbers timestamps in ascending text order.
struct SampleSetBuilder {
    std::vector<std::tuple<std::string, std::string, std::string, double, double, double>> pending;
    SampleSetBuilder& add(const std::string& time, const std::string& sat, double cn0, const std::string& signal = "S1C",
                          double elevation = 45.0, double azimuth = 0.0) {
        return pending.emplace_back(time, sat, signal, cn0, elevation, azimuth), *this;
    }
    static std::uint32_t intern(Ids& table, const std::string& text) {
        const auto at = std::find(table.begin(), table.end(), text) - table.begin();
        if (at == static_cast<std::ptrdiff_t>(table.size())) table.push_back(text);
        return static_cast<std::uint32_t>(at);
    }
    SampleSet build() const {
        SampleSet set;
        for (const auto& p : pending) intern(set.timestamps, std::get<0>(p));
        std::sort(set.timestamps.begin(), set.timestamps.end());
        for (const auto& [time, sat, signal, cn0, elevation, azimuth] : pending)
            set.samples.push_back({.time = intern(set.timestamps, time), .satellite = intern(set.satellites, sat),
                                   .signal = static_cast<std::uint16_t>(intern(set.signals, signal)), .system = sat[0],
                                   .cn0 = cn0, .elevation = elevation, .azimuth = azimuth});
        return set;
    }
};

// Folder of the real data files; empty when it is absent (as on a user's machine).
inline std::string data_dir() { return std::filesystem::is_directory(QCN0_DATA_DIR) ? QCN0_DATA_DIR : ""; }
inline std::string read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qcn0::testing

#define QCN0_REQUIRE_DATA(dir)                           \
    const std::string dir = ::qcn0::testing::data_dir(); \
    if (dir.empty()) GTEST_SKIP() << "real data folder " QCN0_DATA_DIR " is absent; skipped"
