// Builders of small RINEX observation texts for the analysis tests, each field at its column,
// and of hand-made broadcast orbits that put satellites at chosen places in a receiver's sky.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "navigation/navigation_data.hpp"
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

// One observation field: F14.3 value, then blank loss-of-lock and strength columns. An absent
// value is 16 blanks; a text stands for values F14.3 cannot write (nan, inf).
struct Field {
    std::optional<double> value;
    std::string text;  // written right-aligned in 14 columns when not empty

    Field() = default;
    Field(double v) : value(v) {}  // NOLINT: a plain number is the common case
    static Field absent() { return Field(); }
    static Field raw(std::string t) {
        Field f;
        f.text = std::move(t);
        return f;
    }

    std::string render() const {
        char buf[64];
        if (!text.empty()) {
            std::snprintf(buf, sizeof buf, "%14s  ", text.c_str());
        } else if (value) {
            std::snprintf(buf, sizeof buf, "%14.3f  ", *value);
        } else {
            return std::string(16, ' ');
        }
        return buf;
    }
};

struct SatLine {
    std::string id;
    std::vector<Field> fields;  // in the order of the system's code list
};

// Epoch times count seconds from Sunday 2024-01-07 00:00:00, the start of a GPS week, so that a
// broadcast orbit with toe 0 is evaluated at tk = the epoch's second of the day.
constexpr int kYear = 2024, kMonth = 1, kDay = 7;

inline EpochTime epoch_at(double seconds) {
    EpochTime t;
    t.year = kYear;
    t.month = kMonth;
    t.day = kDay + static_cast<std::uint32_t>(seconds / 86400.0);
    const double in_day = std::fmod(seconds, 86400.0);
    t.hour = static_cast<std::uint32_t>(in_day / 3600.0);
    t.minute = static_cast<std::uint32_t>(std::fmod(in_day, 3600.0) / 60.0);
    t.second = in_day - t.hour * 3600.0 - t.minute * 60.0;
    return t;
}

// "YYYY-MM-DDTHH:MM:SS.sssZ" of an epoch given in seconds from the start of the day.
inline std::string stamp_at(double seconds) {
    const EpochTime t = epoch_at(seconds);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%06.3fZ", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return buf;
}

// A RINEX 3 observation file. Every constellation reads the single code S1C unless told
// otherwise; epochs are written in the order they are added.
class Rinex3Text {
  public:
    Rinex3Text& codes(char system, std::vector<std::string> list) {
        for (auto& entry : codes_) {
            if (entry.first == system) {
                entry.second = std::move(list);
                return *this;
            }
        }
        codes_.emplace_back(system, std::move(list));
        return *this;
    }
    Rinex3Text& position(double x, double y, double z) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "%14.4f%14.4f%14.4f", x, y, z);
        extra_ += header_line(buf, "APPROX POSITION XYZ");
        return *this;
    }
    Rinex3Text& header(std::string_view value, std::string_view label) {
        extra_ += header_line(value, label);
        return *this;
    }
    Rinex3Text& epoch(double seconds, std::vector<SatLine> satellites) {
        epochs_.push_back({seconds, std::move(satellites)});
        return *this;
    }

    std::string text() const {
        std::string out = header_line("     3.04           OBSERVATION DATA    M (MIXED)",
                                      "RINEX VERSION / TYPE");
        out += extra_;
        for (char system : std::string("GRECJSI")) {
            const std::vector<std::string>& list = codes_of(system);
            std::string value;
            char head[8];
            std::snprintf(head, sizeof head, "%c  %3zu", system, list.size());
            value = head;
            for (const auto& c : list) value += " " + c;
            out += header_line(value, "SYS / # / OBS TYPES");
        }
        out += header_line("", "END OF HEADER");
        for (const auto& [seconds, sats] : epochs_) {
            const EpochTime t = epoch_at(seconds);
            char buf[96];
            std::snprintf(buf, sizeof buf, "> %4d %02u %02u %02u %02u %10.7f  0 %2zu\n", t.year,
                          t.month, t.day, t.hour, t.minute, t.second, sats.size());
            out += buf;
            for (const auto& sat : sats) {
                std::string line = sat.id;
                line.resize(3, ' ');
                for (const auto& f : sat.fields) line += f.render();
                out += line + "\n";
            }
        }
        return out;
    }

    RinexObsData parse(std::string_view filename = "site.obs") const {
        auto r = read_observation_text(text(), filename);
        EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error());
        if (!r.ok()) return RinexObsData{};
        return std::move(r).value();
    }

  private:
    const std::vector<std::string>& codes_of(char system) const {
        static const std::vector<std::string> kDefault{"S1C"};
        for (const auto& entry : codes_) {
            if (entry.first == system) return entry.second;
        }
        return kDefault;
    }

    std::vector<std::pair<char, std::vector<std::string>>> codes_;
    std::string extra_;
    std::vector<std::pair<double, std::vector<SatLine>>> epochs_;
};

// --- hand-made orbits ------------------------------------------------------------------------

// The receiver of the orbit tests sits on the equator at longitude 0, on the ellipsoid: its up
// direction is the X axis, east is +Y and north +Z.
constexpr double kEarthRadius = 6378137.0;
constexpr double kGpsRadius = 26560000.0;
constexpr double kPi = 3.14159265358979323846;

// The angle at the Earth's centre between the receiver and a satellite of orbit radius r that
// the receiver sees at elevation e (degrees): 90 - e - asin(R cos(e) / r).
inline double central_angle_for_elevation(double elevation_deg, double radius = kGpsRadius) {
    const double e = elevation_deg * kPi / 180.0;
    return 90.0 - elevation_deg - std::asin(kEarthRadius * std::cos(e) / radius) * 180.0 / kPi;
}

// A circular orbit in the equatorial plane, evaluated at its toe (0 s of the GPS week): the
// satellite stands at `angle_deg` east of the receiver's meridian as seen from the Earth's centre
// (0 is the zenith, 180 the far side of the Earth). toc decides when the record may be used
// (within 4 hours of it).
inline KeplerEphemeris equatorial_orbit(char system, std::uint32_t prn, double angle_deg,
                                        double radius = kGpsRadius, double toc_seconds = 0.0) {
    KeplerEphemeris k;
    k.system = system;
    k.prn = prn;
    k.epoch = epoch_at(toc_seconds);
    k.sqrt_a = std::sqrt(radius);
    k.e = 0.0;
    k.i0 = 0.0;
    k.toe = 0.0;
    k.m0 = angle_deg * kPi / 180.0;
    return k;
}

inline std::string sat_id(char system, std::uint32_t prn) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%02u", system, prn);
    return buf;
}

// Adds a satellite to the Keplerian map of its constellation (QZSS shares the GPS map).
inline void add_orbit(NavigationData& nav, const KeplerEphemeris& k) {
    const std::string id = sat_id(k.system, k.prn);
    switch (k.system) {
        case 'E':
            nav.galileo_ephemerides.add(id, k);
            break;
        case 'C':
            nav.beidou_ephemerides.add(id, k);
            break;
        default:
            nav.gps_ephemerides.add(id, k);
            break;
    }
}

}  // namespace qcn0::testing
