// Timing of the navigation reader and of satellite positions on the real files of ../shared/data.
//
// Build and run from the repository root (optimised, no sanitizers):
//   g++ -O2 -std=c++20 -Isrc benchmarks/navigation/bench_navigation.cpp src/navigation/*.cpp
//     src/core/*.cpp -o /tmp/bench_navigation && /tmp/bench_navigation ../shared/data
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "navigation/kepler_orbit.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/navigation_reader.hpp"
#include "navigation/satellite_position.hpp"

using namespace qcn0;
using Clock = std::chrono::steady_clock;

namespace {

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// An epoch `offset` seconds after t; the day-number arithmetic accepts seconds beyond 60.
EpochTime shifted(EpochTime t, double offset) {
    t.second += offset;
    return t;
}

// Repeats `body` until at least half a second has passed; returns calls per second.
template <typename F>
double rate(std::size_t calls_per_round, F&& body) {
    std::size_t rounds = 0;
    const auto start = Clock::now();
    double elapsed = 0.0;
    do {
        body();
        ++rounds;
        elapsed = seconds_since(start);
    } while (elapsed < 0.5);
    return static_cast<double>(rounds * calls_per_round) / elapsed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "../shared/data";
    const std::string big = dir + "/BRDC00IGS_R_20230010000_01D_MN.rnx";
    const std::string bytes = read_all(big);
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", big.c_str());
        return 1;
    }

    // Reading.
    const double reads = rate(1, [&] {
        auto nav = parse_navigation(bytes);
        if (!nav) std::abort();
    });
    std::printf("%-58s %8.1f MB/s (%.1f ms per file)\n",
                "parse_navigation BRDC00IGS_R_20230010000_01D_MN.rnx",
                reads * static_cast<double>(bytes.size()) / 1e6, 1e3 / reads);
    const std::string latin = read_all(dir + "/matrtklib_20230711_base.nav");
    const double latin_reads = rate(1, [&] { (void)parse_navigation(latin); });
    std::printf("%-58s %8.1f MB/s\n",
                "parse_navigation matrtklib_20230711_base.nav (UTF-8 repaired)",
                latin_reads * static_cast<double>(latin.size()) / 1e6);

    const NavigationData nav = std::move(parse_navigation(bytes)).value();
    volatile double sink = 0.0;

    // Keplerian: every GPS record at eight instants within two hours of its time of clock.
    std::vector<std::pair<const KeplerEphemeris*, EpochTime>> kepler_jobs;
    for (const auto& sat : nav.gps_ephemerides) {
        for (const auto& r : sat.records) {
            for (int k = -4; k < 4; ++k)
                kepler_jobs.emplace_back(&r, shifted(r.epoch, k * 900.0 + 17.0));
        }
    }
    const double kepler_rate = rate(kepler_jobs.size(), [&] {
        double acc = 0.0;
        for (const auto& [r, t] : kepler_jobs) acc += kepler_position(*r, t).x;
        sink = sink + acc;
    });
    std::printf("%-58s %8.2f M/s\n", "kepler_position", kepler_rate / 1e6);

    // The analysis path: identifier lookup, record choice among the day's records, position.
    std::vector<std::pair<std::string, EpochTime>> lookup_jobs;
    for (const auto& sat : nav.gps_ephemerides) {
        const EpochTime day_start{2023, 1, 1, 0, 0, 0.0};
        for (int k = 0; k < 48; ++k)
            lookup_jobs.emplace_back(sat.id, shifted(day_start, k * 1800.0 + 15.0));
    }
    const double lookup_rate = rate(lookup_jobs.size(), [&] {
        double acc = 0.0;
        for (const auto& [id, t] : lookup_jobs) {
            if (auto p = satellite_position(nav, id, t)) acc += p->x;
        }
        sink = sink + acc;
    });
    std::printf("%-58s %8.2f M/s\n", "satellite_position (GPS, by identifier, day's records)",
                lookup_rate / 1e6);
    std::vector<std::pair<SatelliteEphemerides, EpochTime>> handle_jobs;
    for (const auto& [id, t] : lookup_jobs)
        handle_jobs.emplace_back(find_satellite_ephemerides(nav, id), t);
    const double handle_rate = rate(handle_jobs.size(), [&] {
        double acc = 0.0;
        for (const auto& [sat, t] : handle_jobs) {
            if (auto p = satellite_position(sat, t)) acc += p->x;
        }
        sink = sink + acc;
    });
    std::printf("%-58s %8.2f M/s\n", "satellite_position (GPS, looked-up records)",
                handle_rate / 1e6);

    // GLONASS through the analysis path: records every 30 minutes, so every instant of the day
    // is within 15 minutes of the record chosen for it.
    std::vector<std::pair<SatelliteEphemerides, EpochTime>> glonass_jobs;
    for (const auto& sat : nav.glonass_ephemerides) {
        const SatelliteEphemerides handle = find_satellite_ephemerides(nav, sat.id);
        for (int k = 0; k < 96; ++k)
            glonass_jobs.emplace_back(handle, shifted({2023, 1, 1, 0, 0, 0.0}, k * 900.0 + 7.0));
    }
    std::size_t glonass_found = 0;
    const double glonass_rate = rate(glonass_jobs.size(), [&] {
        double acc = 0.0;
        glonass_found = 0;
        for (const auto& [sat, t] : glonass_jobs) {
            if (auto p = satellite_position(sat, t)) acc += p->x, ++glonass_found;
        }
        sink = sink + acc;
    });
    std::printf("%-58s %8.3f M/s (%zu of %zu found)\n",
                "satellite_position (GLONASS, looked-up records)", glonass_rate / 1e6,
                glonass_found, glonass_jobs.size());

    // Look angles from a receiver frame built once.
    const LocalFrame frame = local_frame(Ecef{4627851.0, 119640.0, 4372993.0});
    std::vector<Ecef> sats;
    for (const auto& [r, t] : kepler_jobs) sats.push_back(kepler_position(*r, t));
    const double look_rate = rate(sats.size(), [&] {
        double acc = 0.0;
        for (const auto& s : sats) acc += look_angles(frame, s).elevation;
        sink = sink + acc;
    });
    std::printf("%-58s %8.2f M/s\n", "look_angles (frame built once)", look_rate / 1e6);
    return 0;
}
