// Replays the inputs the fuzz targets once failed on (tests/fuzz_regressions/<target>/) and the
// hand-written fuzz seeds (fuzz/seeds/<target>/) through the very code the targets run, so a
// fault found by fuzzing stays fixed. Built with the sanitizers, a replay also catches the
// out-of-bounds reads and undefined behaviour the fuzzer saw.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../../fuzz/harness_bodies.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kRepository = fs::path(__FILE__).parent_path() / ".." / ".." / "..";

std::vector<fs::path> inputs_of(std::string_view target) {
    std::vector<fs::path> files;
    for (const fs::path& dir : {kRepository / "tests" / "fuzz_regressions" / target,
                                kRepository / "fuzz" / "seeds" / target}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void replay(std::string_view target, std::string (*body)(std::string_view)) {
    const auto files = inputs_of(target);
    if (files.empty()) GTEST_SKIP() << "no inputs for " << target;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(body(bytes_of(file)), "");
    }
}

TEST(FuzzRegressions, ObservationReader) {
    replay("obs", qcn0::fuzz::run_observation);
}
TEST(FuzzRegressions, NavigationReader) {
    replay("nav", qcn0::fuzz::run_navigation);
}
TEST(FuzzRegressions, TleCounting) {
    replay("tle", qcn0::fuzz::run_tle);
}
TEST(FuzzRegressions, Analysis) {
    replay("analysis", qcn0::fuzz::run_analysis);
}
TEST(FuzzRegressions, Decoding) {
    replay("decode", qcn0::fuzz::run_decode);
}

// The analysis replay is only as strict as its JSON checker: it must refuse what a JSON reader
// refuses, and accept both layouts of real documents.
TEST(FuzzJsonChecker, AcceptsJsonAndRefusesTheRest) {
    using qcn0::fuzz::check_json;
    for (std::string_view good :
         {R"({"a":[1,-0.0,2.5e-7,1e16,true,false,null],"b":{}})", "[]", R"("\u00e9\ud83d\ude00")",
          "{\n  \"a\": [\n    1.0\n  ]\n}", "\"caf\xC3\xA9\"", "0"}) {
        EXPECT_EQ(check_json(good), "") << good;
    }
    for (std::string_view bad : {"",
                                 "{",
                                 R"({"a":1,})",
                                 "[1,]",
                                 "NaN",
                                 "[nan]",
                                 "[inf]",
                                 "01",
                                 "1.",
                                 ".5",
                                 "+1",
                                 "1e",
                                 R"({"a" 1})",
                                 "{'a':1}",
                                 "[1] x",
                                 "\"a\tb\"",
                                 "\"a\nb\"",
                                 "\"\\x\"",
                                 R"("\ud800")",
                                 R"("\udc00")",
                                 "\"\xC3\"",
                                 "\"\xC0\xAF\"",
                                 "\"\xED\xA0\x80\"",
                                 "\"\xFF\"",
                                 "\"open"}) {
        EXPECT_NE(check_json(bad), "") << bad;
    }
    EXPECT_NE(check_json(std::string(100, '[') + std::string(100, ']')), "");
}

TEST(FuzzJsonChecker, LayoutIsOnlyWhitespaceOutsideStrings) {
    using qcn0::fuzz::without_layout;
    EXPECT_EQ(without_layout("{\n  \"a b\": [\n    1.0,\n    \"x \\\" y\"\n  ]\n}"),
              "{\"a b\":[1.0,\"x \\\" y\"]}");
}

}  // namespace
