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

// Writes text into a line at a byte column, padding with blanks.
inline std::string& put(std::string& line, std::size_t column, std::string_view text) {
    if (line.size() < column + text.size()) line.resize(column + text.size(), ' ');
    return line.replace(column, text.size(), text);
}

inline std::string header_line(std::string_view value, std::string_view label) {
    std::string line;
    put(put(line, 0, value), 60, label);
    return line + "\n";
}

// "RINEX VERSION / TYPE": version right-aligned in columns 0..8, file type letter in column 20.
inline std::string version_line(std::string_view version, char type) {
    std::string line;
    put(put(line, 9 - version.size(), version), 20, std::string(1, type));
    return header_line(line, "RINEX VERSION / TYPE");
}

inline std::string end_of_header() {
    return header_line("", "END OF HEADER");
}

// A number as RINEX writes it: 19 columns, twelve decimals, E or D exponent.
inline std::string num(double v, char exponent = 'E') {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%19.12E", v);
    std::string s(buf);
    s[s.find('E')] = exponent;
    return s;
}

// An epoch line: `head` (identifier and time) and three numbers from column `first`.
inline std::string epoch_line(const std::string& head, std::size_t first,
                              const std::vector<double>& clock, char exponent = 'E') {
    std::string line = head;
    for (std::size_t k = 0; k < 3; ++k) put(line, first + 19 * k, num(clock[k], exponent));
    return line + "\n";
}

// Orbit lines of up to four numbers each from column `first` (4 in RINEX 3, 3 in RINEX 2).
inline std::string orbit_lines(std::size_t first, const std::vector<std::vector<double>>& lines,
                               char exponent = 'E') {
    std::string out;
    for (const auto& values : lines) {
        std::string line(first, ' ');
        for (std::size_t k = 0; k < values.size(); ++k)
            put(line, first + 19 * k, num(values[k], exponent));
        out += line + "\n";
    }
    return out;
}

// Seven orbit lines holding start, start + 1, ... so that every field is recognisable.
inline std::string numbered_orbit(std::size_t first, double start, char exponent = 'E') {
    std::vector<std::vector<double>> lines(7);
    for (int l = 0; l < 7; ++l)
        lines[l] = {start + 4 * l, start + 4 * l + 1, start + 4 * l + 2, start + 4 * l + 3};
    return orbit_lines(first, lines, exponent);
}

// RINEX 3 records at `time` ("2024 01 07 00 00 00"); Keplerian clock values 0.1, 0.2, 0.3 and
// orbit fields 1, 2, ... 28; GLONASS position in km with fixed velocity and acceleration.
inline std::string v3_kepler_record(std::string_view sat,
                                    std::string_view time = "2024 01 02 03 04 05") {
    return epoch_line(std::string(sat) + " " + std::string(time), 23, {0.1, 0.2, 0.3}) +
           numbered_orbit(4, 1.0);
}
inline std::string v3_glonass_record(std::string_view sat, double x, double y, double z,
                                     int channel, std::string_view time = "2024 01 02 03 04 05") {
    return epoch_line(std::string(sat) + " " + std::string(time), 23, {1e-5, 2e-12, 86400.0}) +
           orbit_lines(
               4, {{x, 1.5, 1e-9, 0.0}, {y, -2.5, 2e-9, double(channel)}, {z, 3.5, -3e-9, 0.0}});
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

#define QCN0_REQUIRE_DATA(dir)                           \
    const std::string dir = ::qcn0::testing::data_dir(); \
    if (dir.empty()) GTEST_SKIP() << "real data folder " QCN0_DATA_DIR " is absent; skipped"
