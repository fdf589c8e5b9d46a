// libFuzzer target: see run_analysis in harness_bodies.hpp.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "harness_bodies.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem =
        qcn0::fuzz::run_analysis(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_analysis: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

// The navigation file is read once, before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const auto& nav = qcn0::fuzz::reference_navigation();
    std::fprintf(stderr, "fuzz_analysis: reference navigation with %zu satellites\n",
                 nav.satellite_count());
    return 0;
}
