// libFuzzer target: see run_observation in harness_bodies.hpp.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "harness_bodies.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem =
        qcn0::fuzz::run_observation(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_obs: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
