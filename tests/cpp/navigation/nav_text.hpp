// Builders of small RINEX navigation texts, each field at its column, and access to the real
// navigation files of the shared data folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace qcn0::testing {

// A line with texts placed at byte columns, blanks in between.
class Line {
public:
    Line& at(std::size_t column, std::string_view text) {
        if (s_.size() < column + text.size()) s_.resize(column + text.size(), ' ');
        s_.replace(column, text.size(), text);
        return *this;
    }
    std::string str() const { return s_ + "\n"; }

private:
    std::string s_;
};

// A header line: the value in columns 0..59, then the label.
inline std::string header_line(std::string_view value, std::string_view label) {
    return Line().at(0, value).at(60, label).str();
}

// "RINEX VERSION / TYPE" with the version as F9.2 and the file type letter in column 20.
inline std::string version_line(std::string_view version, char type, std::string_view rest = "") {
    std::string value(9 - std::min<std::size_t>(9, version.size()), ' ');
    value += version;
    return Line().at(0, value).at(20, std::string(1, type)).at(21, rest).at(60, "RINEX VERSION / TYPE").str();
}

inline std::string end_of_header() { return header_line("", "END OF HEADER"); }

// A number as RINEX writes it: 19 columns, twelve decimals, E (or D) exponent.
inline std::string num(double v, char exponent = 'E') {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%19.12E", v);
    std::string s(buf);
    if (exponent != 'E') {
        for (char& c : s) {
            if (c == 'E') c = exponent;
        }
    }
    return s;
}

struct Calendar {
    int year, month, day, hour, minute;
    double second;
};

// RINEX 3 epoch line: "G01 2024 01 02 03 04 05" and three clock values from column 23.
inline std::string v3_epoch_line(std::string_view satellite, const Calendar& t, double c1, double c2,
                                 double c3, char exponent = 'E') {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3s %04d %02d %02d %02d %02d %02d", std::string(satellite).c_str(), t.year,
                  t.month, t.day, t.hour, t.minute, static_cast<int>(t.second));
    return Line()
        .at(0, buf)
        .at(23, num(c1, exponent))
        .at(42, num(c2, exponent))
        .at(61, num(c3, exponent))
        .str();
}

// RINEX 2 epoch line: I2 number, two-digit year, F5.1 second, three clock values from column 22.
inline std::string v2_epoch_line(int number, const Calendar& t, double c1, double c2, double c3,
                                 char exponent = 'D') {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2d %02d %2d %2d %2d %2d%5.1f", number, t.year % 100, t.month, t.day, t.hour,
                  t.minute, t.second);
    return Line()
        .at(0, buf)
        .at(22, num(c1, exponent))
        .at(41, num(c2, exponent))
        .at(60, num(c3, exponent))
        .str();
}

// An orbit line: up to four numbers from `first_column` (4 in RINEX 3, 3 in RINEX 2).
inline std::string orbit_line(std::size_t first_column, const std::vector<double>& values, char exponent = 'E') {
    Line line;
    line.at(0, std::string(first_column, ' '));
    for (std::size_t k = 0; k < values.size(); ++k) line.at(first_column + 19 * k, num(values[k], exponent));
    return line.str();
}

// Orbit lines 1..n holding the values start, start+1, ... so every field is recognisable.
inline std::string numbered_orbit_lines(std::size_t first_column, int lines, double start, char exponent = 'E') {
    std::string out;
    for (int l = 0; l < lines; ++l) {
        std::vector<double> v;
        for (int k = 0; k < 4; ++k) v.push_back(start + 4 * l + k);
        out += orbit_line(first_column, v, exponent);
    }
    return out;
}

// A RINEX 3 Keplerian record whose clock values are 0.1, 0.2, 0.3 and whose orbit fields hold
// 1, 2, 3, ... 28 in reading order.
inline std::string v3_kepler_record(std::string_view satellite, const Calendar& t) {
    return v3_epoch_line(satellite, t, 0.1, 0.2, 0.3) + numbered_orbit_lines(4, 7, 1.0);
}

// A RINEX 3 GLONASS record: position, velocity, acceleration in km, km/s, km/s^2 and the
// frequency channel in orbit line 2 field 4.
inline std::string v3_glonass_record(std::string_view satellite, const Calendar& t, double x, double y,
                                     double z, int channel) {
    return v3_epoch_line(satellite, t, 1e-5, 2e-12, 86400.0) + orbit_line(4, {x, 1.5, 1e-9, 0.0}) +
           orbit_line(4, {y, -2.5, 2e-9, static_cast<double>(channel)}) + orbit_line(4, {z, 3.5, -3e-9, 0.0});
}

// Folder of the real data files; empty when it is absent (as on a user's machine).
inline std::string data_dir() {
    const std::string dir = QCN0_DATA_DIR;
    return std::filesystem::is_directory(dir) ? dir : std::string();
}

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace qcn0::testing

#define QCN0_REQUIRE_DATA(dir)                                                                 \
    const std::string dir = ::qcn0::testing::data_dir();                                       \
    if (dir.empty()) GTEST_SKIP() << "real data folder " QCN0_DATA_DIR " is absent; skipped"
