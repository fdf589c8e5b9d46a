// Replays the inputs the fuzz targets once failed on (tests/fuzz_regressions/<target>/) and the
// hand-written fuzz seeds (fuzz/seeds/<target>/) through the very code the targets run, so a fault
// found by fuzzing stays fixed; under the sanitizers a replay also catches what the fuzzer saw.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../../../fuzz/harness_bodies.hpp"

namespace fs = std::filesystem;

namespace {

void replay(std::string_view target, std::string (*body)(std::string_view)) {
    const fs::path repository = fs::path(__FILE__).parent_path() / ".." / ".." / "..";
    std::vector<fs::path> files;
    for (const fs::path& dir : {repository / "tests" / "fuzz_regressions" / target, repository / "fuzz" / "seeds" / target})
        if (fs::is_directory(dir))
            for (const auto& entry : fs::directory_iterator(dir))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    if (files.empty()) GTEST_SKIP() << "no inputs for " << target;
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(body(std::string(std::istreambuf_iterator<char>(in), {})), "") << file;
    }
}

}  // namespace

TEST(FuzzRegressions, ObservationReader) { replay("obs", qcn0::fuzz::run_observation); }
TEST(FuzzRegressions, NavigationReader) { replay("nav", qcn0::fuzz::run_navigation); }
TEST(FuzzRegressions, TleCounting) { replay("tle", qcn0::fuzz::run_tle); }
TEST(FuzzRegressions, Analysis) { replay("analysis", qcn0::fuzz::run_analysis); }
TEST(FuzzRegressions, Decoding) { replay("decode", qcn0::fuzz::run_decode); }

// The analysis replay is only as strict as its JSON checker: it must refuse what a JSON reader
// refuses, and accept both layouts of real documents.
TEST(FuzzJsonChecker, AcceptsJsonAndRefusesTheRest) {
    using qcn0::fuzz::check_json;
    for (std::string_view good : {R"({"a":[1,-0.0,2.5e-7,1e16,true,false,null],"b":{}})", "[]", R"("\u00e9\ud83d\ude00")",
                                  "{\n  \"a\": [\n    1.0\n  ]\n}", "\"caf\xC3\xA9\"", "0"})
        EXPECT_EQ(check_json(good), "") << good;
    for (std::string_view bad : {"", "{", R"({"a":1,})", "[1,]", "NaN", "[nan]", "[inf]", "01", "1.", ".5", "+1", "1e",
                                 R"({"a" 1})", "{'a':1}", "[1] x", "\"a\tb\"", "\"a\nb\"", "\"\\x\"", R"("\ud800")", R"("\udc00")",
                                 "\"\xC3\"", "\"\xC0\xAF\"", "\"\xED\xA0\x80\"", "\"\xFF\"", "\"open"})
        EXPECT_NE(check_json(bad), "") << bad;
    EXPECT_NE(check_json(std::string(100, '[') + std::string(100, ']')), "");
    EXPECT_EQ(qcn0::fuzz::without_layout("{\n  \"a b\": [\n    1.0,\n    \"x \\\" y\"\n  ]\n}"), "{\"a b\":[1.0,\"x \\\" y\"]}");
}
