// Timing of input decoding on the Compact RINEX files of ../shared/data: gzip inflation,
// Hatanaka decoding alone, the whole of decode_input, and the observation reader on the
// decoded text (the yardstick: decoding should cost less than reading what it produces).
//
// Run through benchmarks/compression/run.py, which builds this file optimised, runs it and
// times the reference decoder CRX2RNX on the same files. By hand, from the repository root:
//   g++ -O2 -std=c++20 -Isrc benchmarks/compression/bench_compression.cpp src/compression/*.cpp
//     src/rinex/*.cpp src/core/*.cpp -lz -o /tmp/bench_compression
//   /tmp/bench_compression ../shared/data/*.crx ../shared/data/*.crx.gz ../shared/data/*.??d
// Prints one tab-separated line per file: name, bytes as stored, Compact RINEX bytes, RINEX
// bytes, then the best time in milliseconds of inflate, hatanaka, decode_input, read, and
// decode_input followed by read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "compression/compact_rinex.hpp"
#include "compression/decode_input.hpp"
#include "compression/gzip_stream.hpp"
#include "rinex/obs_reader.hpp"

using namespace qcn0;
using Clock = std::chrono::steady_clock;

namespace {

std::string read_all(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Best wall time in milliseconds of `body` over at least five calls and a quarter second.
template <typename F>
double best_ms(F&& body) {
    double best = 1e300;
    const auto start = Clock::now();
    for (int i = 0; i < 5 || Clock::now() - start < std::chrono::milliseconds(250); ++i) {
        const auto t = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::printf(
        "file\tstored\tcrx\trnx\tinflate_ms\thatanaka_ms\tdecode_input_ms\tread_ms\tdecode_read_"
        "ms\n");
    for (int i = 1; i < argc; ++i) {
        const std::string stored = read_all(argv[i]);
        std::string crx = stored;
        double inflate = 0;
        if (is_gzip(stored)) {
            auto inflated = inflate_gzip(stored);
            if (!inflated) {
                std::fprintf(stderr, "%s: %s\n", argv[i], inflated.error().c_str());
                return 1;
            }
            crx = std::move(*inflated);
            inflate = best_ms([&] { (void)inflate_gzip(stored); });
        }
        auto decoded = decode_compact_rinex(crx);
        if (!decoded) {
            std::fprintf(stderr, "%s: %s\n", argv[i], decoded.error().c_str());
            return 1;
        }
        const double hatanaka = best_ms([&] { (void)decode_compact_rinex(crx); });
        const double whole = best_ms([&] { (void)decode_input(stored); });
        const double read = best_ms([&] { (void)read_observation_text(*decoded, "x"); });
        const double both = best_ms([&] {
            auto input = decode_input(stored);
            (void)read_observation_text(input->text(), "x");
        });
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        std::printf("%s\t%zu\t%zu\t%zu\t%.3f\t%.3f\t%.3f\t%.3f\t%.3f\n", name.c_str(),
                    stored.size(), crx.size(), decoded->size(), inflate, hatanaka, whole, read,
                    both);
        std::fflush(stdout);
    }
    return 0;
}
