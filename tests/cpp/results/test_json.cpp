// The result as a JSON document: numbers, strings, members in field order, maps in entry order,
// and the compact and indented layouts (compared through the fuzz harness's layout stripper).
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <limits>
#include <random>

#include "../../../fuzz/harness_bodies.hpp"
#include "results/json_buffer.hpp"
#include "results/json_writer.hpp"

using namespace qcn0;

TEST(JsonText, NumbersAndStrings) {
    constexpr double kMax = std::numeric_limits<double>::max(), kInf = std::numeric_limits<double>::infinity();
    // A point and zero below 10^16, plain fractions down to 10^-5, the exponent form elsewhere.
    const std::pair<double, const char*> numbers[] = {
        {45.0, "45.0"}, {-3.0, "-3.0"}, {1e15, "1000000000000000.0"}, {9999999999999998.0, "9999999999999998.0"},
        {-12.5, "-12.5"}, {1234567890123456.8, "1234567890123456.8"}, {0.4, "0.4"}, {1e-5, "0.00001"},
        {0.00001234, "0.00001234"}, {0.1 + 0.2, "0.30000000000000004"}, {1e16, "1e16"}, {1.5e16, "1.5e16"},
        {123456789012345680.0, "1.2345678901234568e17"}, {1e-6, "1e-6"}, {0.000001234, "1.234e-6"}, {-2.5e-10, "-2.5e-10"},
        {5e-324, "5e-324"}, {-kMax, "-1.7976931348623157e308"}, {0.0, "0.0"}, {-0.0, "-0.0"}, {NAN, "null"}, {kInf, "null"},
        {-kInf, "null"}};
    for (const auto& [value, text] : numbers) EXPECT_EQ(json_number_text(value), text) << value;
    // Any finite value reads back to the same bits, in the shortest digits.
    std::mt19937_64 rng(20240305);
    for (int i = 0; i < 200000; ++i) {
        const double v = i % 2 ? std::uniform_real_distribution<double>(0.0, 60.0)(rng) : std::bit_cast<double>(rng());
        if (!std::isfinite(v)) continue;
        const std::string text = json_number_text(v);
        double back = 0.0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_TRUE(text.size() <= kJsonNumberMaxLength && res.ptr == text.data() + text.size() &&
                    std::bit_cast<std::uint64_t>(back) == std::bit_cast<std::uint64_t>(v)) << text;
    }
    EXPECT_EQ(json_string_text("G\"5 C:\\rinex a\bb\fc\nd\re\tf"), R"("G\"5 C:\\rinex a\bb\fc\nd\re\tf")");
    EXPECT_EQ(json_string_text(std::string_view("\0\x01\x0b\x1f\x7f/\xC2\xB0\xff", 9)),
              "\"\\u0000\\u0001\\u000b\\u001f\x7f/\xC2\xB0\xff\"");
    JsonBuffer b(64);  // grows past its first capacity
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        b.number(12.5), b.put(','), b.string("x\ny"), b.count(18446744073709551615ull);
        expected += "12.5,\"x\\ny\"18446744073709551615";
    }
    b.flag(true), b.flag(false), b.null();
    EXPECT_EQ(b.size(), expected.size() + 13);
    EXPECT_EQ(std::move(b).take(), expected + "truefalsenull");
    EXPECT_EQ(json_error_text("bad \"value\""), "{\"error\": \"bad \"value\"\"}");  // inserted as it is
}

TEST(JsonDocument, EveryMemberInBothLayouts) {
    AnalysisResult r;
    r.rinex_version = 3.04;  // not a member
    EXPECT_EQ(to_json(r),
              R"({"file_info":{"filename":"","marker_name":"","receiver_type":"","antenna_type":"","start_time":"",)"
              R"("end_time":"","duration_hours":0.0,"interval":0.0,"position_lat":0.0,"position_lon":0.0,"position_height":0.0},)"
              R"("quality_score":{"overall":0.0,"cn0_score":0.0,"coverage_score":0.0,"consistency_score":0.0,"grade":"N/A",)"
              R"("interpretation":"No data"},"summary":{"total_observations":0,"total_satellites":0,"total_epochs":0,)"
              R"("systems_observed":[],"mean_cn0":0.0,"min_cn0":0.0,"max_cn0":0.0,"anomaly_count":0,"critical_count":0,)"
              R"("high_count":0,"low_count":0},"constellation_stats":{},"satellite_stats":{},"timeseries":{"timestamps":[],)"
              R"("mean_cn0":[],"satellite_count":[],"satellite_timeseries":{},"constellation_timeseries":{}},)"
              R"("skyplot":{"traces":[],"heatmap_points":[],"coverage_percent":0.0},"heatmap":{"azimuth_bins":[],)"
              R"("elevation_bins":[],"cn0_matrix":[],"count_matrix":[]},"anomalies":[],"visibility":null,)"
              R"("spoofing_unexpected_threshold":0.4,"spoofing_min_unexpected_count":8.0})");
    EXPECT_EQ(qcn0::fuzz::without_layout(to_json_pretty(r)), to_json(r));
    r.file_info.marker_name = "MARK";
    r.heatmap = {{5.0, 15.0}, {2.5}, {{41.5, 0.0}}, {{2, 0}}};
    r.skyplot.traces = {{"E11", "Galileo", {}}};
    r.timeseries.mean_cn0 = {45.0, NAN};
    const std::string pretty = to_json_pretty(r);
    EXPECT_EQ(qcn0::fuzz::without_layout(pretty), to_json(r));
    for (const char* part : {"{\n  \"file_info\": {\n    \"filename\": \"\",\n    \"marker_name\": \"MARK\",\n", "\"mean_cn0\": [\n      45.0,\n      null\n    ],",
                             "\n    \"cn0_matrix\": [\n      [\n        41.5,\n        0.0\n      ]\n    ],\n",
                             "\n        \"points\": []\n      }\n    ],\n", "\n  \"spoofing_min_unexpected_count\": 8.0\n}"})
        EXPECT_NE(pretty.find(part), std::string::npos) << part;
}
