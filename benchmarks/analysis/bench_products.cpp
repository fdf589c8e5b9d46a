// What the analysis products (time series, sky products, C/N0 anomalies, the interference monitor
// and the health figures) cost next to the rest of one analysis, on a real observation file with
// its navigation file and without it.
//
//   g++ -O2 -std=c++20 -fno-math-errno -Isrc benchmarks/analysis/bench_products.cpp \
//       src/{core,compression,rinex,navigation,results,visibility,cn0}/*.cpp -lz -o /tmp/bench_products
//   /tmp/bench_products ../shared/data/ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz ../shared/data/ESBC00DNK_R_20201770000_01D_MN.rnx
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "cn0/analysis.hpp"
#include "cn0/cn0_anomalies.hpp"
#include "cn0/interference_events.hpp"
#include "cn0/station_health.hpp"
#include "cn0/sky_products.hpp"
#include "cn0/time_series.hpp"
#include "navigation/navigation_input.hpp"
#include "rinex/obs_input.hpp"

namespace {

double best_ms(int repeats, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (ms < best) best = ms;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OBS NAV [repeats]\n", argv[0]);
        return 2;
    }
    auto obs = qcn0::read_observation_file(argv[1]);
    auto nav = qcn0::read_navigation_file(argv[2]);
    if (!obs || !nav) {
        std::fprintf(stderr, "cannot read the files\n");
        return 1;
    }
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 15;
    const auto settings = qcn0::analyze_cn0_settings(5.0, std::nullopt);

    // analyze_cn0 reads the file, then analyses it.
    const double read = best_ms(repeats, [&] { (void)qcn0::read_observation_file(argv[1]); });
    std::printf("reading the observation file:     %8.2f ms\n\n", read);
    const qcn0::NavigationData* modes[] = {&*nav, nullptr};
    for (const qcn0::NavigationData* navigation : modes) {
        const double whole = best_ms(repeats, [&] { (void)qcn0::analyse(*obs, settings, navigation); });
        const qcn0::SampleSet set = qcn0::collect_samples(*obs, settings, navigation);
        const double series = best_ms(repeats, [&] { (void)qcn0::build_time_series(set); });
        const double sky = best_ms(repeats, [&] { (void)qcn0::build_sky_products(set); });
        const double anomalies = best_ms(repeats, [&] { (void)qcn0::detect_cn0_anomalies(set, settings); });
        const double monitor = best_ms(repeats, [&] { (void)qcn0::detect_interference_events(set, obs->interval); });
        const double health = best_ms(repeats, [&] { (void)qcn0::assess_health(set, nullptr, obs->interval); });
        const double products = series + sky + anomalies;
        const double rest = whole - products - monitor - health;
        std::printf("%s navigation data, %zu samples\n", navigation ? "with" : "without", set.samples.size());
        std::printf("analysis, whole:                  %8.2f ms\n", whole);
        std::printf("  time series:                    %8.2f ms\n", series);
        std::printf("  sky products:                   %8.2f ms\n", sky);
        std::printf("  C/N0 anomalies:                 %8.2f ms\n", anomalies);
        std::printf("  interference monitor:           %8.2f ms\n", monitor);
        std::printf("  health figures:                 %8.2f ms\n", health);
        std::printf("  everything else:                %8.2f ms\n", rest);
        std::printf("products add %.0f %% to the rest of the analysis; monitor and health add %.1f %% to the "
                    "analysis without them, %.1f %% to reading and analysing (analyze_cn0)\n\n",
                    100.0 * products / rest, 100.0 * (monitor + health) / (whole - monitor - health),
                    100.0 * (monitor + health) / (read + whole - monitor - health));
    }
}
