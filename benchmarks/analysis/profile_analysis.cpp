// Runs one analysis of an observation file with its navigation file many times, for profilers.
//   g++ -O2 -g -std=c++20 -fno-math-errno -Isrc benchmarks/analysis/profile_analysis.cpp \
//       src/{core,rinex,navigation,results,visibility,cn0,compression}/*.cpp -lz -o /tmp/profile_analysis
//   /tmp/profile_analysis OBS NAV [repeats]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cn0/analysis.hpp"
#include "navigation/navigation_input.hpp"
#include "rinex/obs_input.hpp"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    auto obs = qcn0::read_observation_file(argv[1]);
    auto nav = qcn0::read_navigation_file(argv[2]);
    if (!obs || !nav) return 1;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 10;
    const qcn0::AnalysisSettings settings = qcn0::analyze_cn0_settings(5.0, std::nullopt);
    double best = 1e9;
    for (int i = 0; i < repeats; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        auto result = qcn0::analyse(*obs, settings, &*nav);
        double dt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (dt < best) best = dt;
        if (result.summary.total_observations == 0) std::puts("no samples");
    }
    std::printf("best analysis: %.2f ms\n", best * 1e3);
}
