// Speed of writing the JSON document of a full-day result.
//
// Build and run from the repository root:
//   c++ -O2 -std=c++20 -Isrc benchmarks/json/*.cpp src/results/*.cpp -o /tmp/bj && /tmp/bj
//
// The synthetic result is shaped like a 24-hour file at 30 s with 50 satellites on two signals:
// 2880 epochs, 288000 points in the satellite series, as many skyplot points, a constellation
// series per system and the full 18 x 36 heatmap. Values vary so the digit writer sees realistic
// shortest forms (12.25, 43.87500000000001, ...), not a few repeated constants.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "results/json_writer.hpp"

using namespace qcn0;

namespace {

std::string timestamp(int epoch) {
    const int s = epoch * 30;
    char buf[32];
    std::snprintf(buf, sizeof buf, "2024-03-05T%02d:%02d:%02d.000Z", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

AnalysisResult synthetic_result() {
    constexpr int kEpochs = 2880, kSatellites = 50, kSignals = 2;
    const char* systems[] = {"GPS", "GLONASS", "Galileo", "BeiDou"};
    const char letters[] = {'G', 'R', 'E', 'C'};
    AnalysisResult r;
    r.file_info = {"", "BENCH", "RECEIVER", "ANTENNA", timestamp(0), timestamp(kEpochs - 1),
                   23.991666666666667, 30.0, 52.21, 21.01, 110.5};
    std::vector<std::string> times;
    for (int e = 0; e < kEpochs; ++e) times.push_back(timestamp(e));
    for (int e = 0; e < kEpochs; ++e) {
        r.timeseries.timestamps.push_back(times[e]);
        r.timeseries.mean_cn0.push_back(42.0 + std::sin(e * 0.01) * 3.1);
        r.timeseries.satellite_count.push_back(kSatellites);
    }
    for (int s = 0; s < kSatellites; ++s) {
        char id[8];
        std::snprintf(id, sizeof id, "%c%02d", letters[s % 4], s / 4 + 1);
        SatelliteTimeSeries series{id, systems[s % 4], "S1C", {}};
        SkyplotTrace trace{id, systems[s % 4], {}};
        series.cn0_series.reserve(kEpochs * kSignals);
        for (int e = 0; e < kEpochs; ++e) {
            for (int k = 0; k < kSignals; ++k) {
                const double cn0 = 30.0 + (e * 7 + s * 13 + k * 5) % 97 * 0.25;
                const double el = 5.0 + (e + s * 37) % 850 * 0.1;
                const double az = (e * 3 + s * 71) % 3600 * 0.1;
                series.cn0_series.push_back({times[e], cn0, el, az});
                trace.points.push_back({az, el, cn0, id});
            }
        }
        r.timeseries.satellite_timeseries.append_new(id, std::move(series));
        r.skyplot.traces.push_back(std::move(trace));
    }
    for (const char* name : systems) {
        auto& list = r.timeseries.constellation_timeseries[name];
        for (int e = 0; e < kEpochs; ++e) {
            list.push_back({times[e], 41.0 + e % 40 / 3.0, 44.5, 180.25});
        }
    }
    for (int i = 0; i < 36; ++i) r.heatmap.azimuth_bins.push_back(i * 10 + 5.0);
    for (int j = 0; j < 18; ++j) r.heatmap.elevation_bins.push_back(j * 5 + 2.5);
    r.heatmap.cn0_matrix.assign(18, std::vector<double>(36, 43.333333333333336));
    r.heatmap.count_matrix.assign(18, std::vector<std::uint64_t>(36, 812));
    for (int j = 0; j < 18; ++j) {
        for (int i = 0; i < 36; ++i) {
            r.skyplot.heatmap_points.push_back({i * 10 + 5.0, j * 5 + 2.5, 43.1, 812});
        }
    }
    return r;
}

template <typename F>
void measure(const char* label, const AnalysisResult& r, F&& write) {
    std::vector<double> seconds;
    std::size_t bytes = 0;
    for (int run = 0; run < 7; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::string doc = write(r);
        const auto t1 = std::chrono::steady_clock::now();
        bytes = doc.size();
        seconds.push_back(std::chrono::duration<double>(t1 - t0).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    std::printf("%-8s %8.1f MB  %8.1f ms  %8.1f MB/s\n", label, bytes / 1e6, median * 1e3,
                bytes / 1e6 / median);
}

}  // namespace

int main() {
    const AnalysisResult r = synthetic_result();
    std::printf("synthetic full-day result: 288000 series points, 288000 skyplot points\n");
    measure("compact", r, [](const AnalysisResult& x) { return to_json(x); });
    measure("pretty", r, [](const AnalysisResult& x) { return to_json_pretty(x); });
}
