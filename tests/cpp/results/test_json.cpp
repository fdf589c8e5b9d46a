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
    r.constellation_stats["GPS"] = {"GPS", 2, 4, 44.5, 38.25, 51.0, 4.5, 12, 1.0 / 6.0, 1, 0};
    r.constellation_stats["Galileo"] = {"Galileo", 1, 2, 46.0, 45.0, 47.0, 1.0, 10, 0.1, 0, 0};
    r.satellite_stats["G\"9"] = {"G\"9", "GPS", 2, 44.5, 44.0, 45.0, 0.5, 45.0};
    r.timeseries.timestamps = {"T0", "T1"};
    r.timeseries.mean_cn0 = {45.0, NAN};
    r.timeseries.satellite_count = {3, 3};
    r.timeseries.satellite_timeseries["G05"] = {"G05", "GPS", "S1C", {{"T0", 51.0, 45.0, 0.0}}};
    r.timeseries.constellation_timeseries["GPS"] = {{"T0", 47.5, 45.0, 0.0}};
    r.timeseries.constellation_timeseries["Galileo"] = {};
    r.skyplot.traces = {{"J02", "Other", {{0.0, 45.0, 40.0, "J02"}}}, {"E11", "Galileo", {}}};
    r.skyplot.heatmap_points = {{5.0, 47.5, 45.0, 6}};
    r.heatmap = {{5.0, 15.0}, {2.5}, {{41.5, 0.0}}, {{2, 0}}};
    r.anomalies = {{"T1", "high", "cn0_drop", "drop\non 2", 6.75, {"G05", "E11"}, {"GPS", "Galileo"}}};
    VisibilitySummary v;
    v.has_prediction = true, v.prediction_source = "BRDC 31", v.confirmation_rate = 0.9, v.mean_predicted = 10.0;
    v.mean_observed = 9.0, v.mean_missing = 1.0, v.frequently_missing = {"G12"};
    v.by_system["GPS"] = {"GPS", 10, 9, 0.9, {"G12"}, {}};
    v.anomalies = {{"T2", "T3", 300.0, "missing_satellites", "low", {"G12"}, {"GPS"}, "1 missing"}};
    r.visibility = v;
    const std::string doc = to_json(r);
    for (const char* part :
         {R"("constellation_stats":{"GPS":{"system":"GPS","satellite_count":2,"observation_count":4,"mean_cn0":44.5,)"
          R"("min_cn0":38.25,"max_cn0":51.0,"std_cn0":4.5,"satellites_expected":12,"availability_ratio":0.16666666666666666,)"
          R"("cycle_slips":1,"data_gaps":0},"Galileo":)",
          R"("satellite_stats":{"G\"9":{"satellite":"G\"9","system":"GPS","observation_count":2,"mean_cn0":44.5,"min_cn0":44.0,)",
          R"("mean_cn0":[45.0,null],"satellite_count":[3,3],)", R"("count_matrix":[[2,0]]},"anomalies":[{"timestamp":"T1",)"
          R"("severity":"high","event_type":"cn0_drop","description":"drop\non 2","cn0_drop":6.75,"affected_satellites":)"
          R"(["G05","E11"],"affected_systems":["GPS","Galileo"]}],"visibility":{"has_prediction":true,"prediction_source":)"
          R"("BRDC 31","confirmation_rate":0.9,"mean_predicted":10.0,"mean_observed":9.0,"mean_missing":1.0,)"
          R"("mean_unexpected":0.0,"frequently_missing":["G12"],"frequently_unexpected":[],"by_system":{"GPS":)"
          R"({"system":"GPS","predicted_satellites":10,"observed_satellites":9,"confirmation_rate":0.9,"missing_satellites":)"
          R"(["G12"],"unexpected_satellites":[]}},"anomalies":[{"start_time":"T2","end_time":"T3","duration_seconds":300.0,)"
          R"("anomaly_type":"missing_satellites","severity":"low","affected_satellites":["G12"],"affected_systems":["GPS"],)"
          R"("description":"1 missing"}]},"spoofing_unexpected_threshold":0.4,)"})
        EXPECT_NE(doc.find(part), std::string::npos) << part << "\nin\n" << doc;
    const std::string pretty = to_json_pretty(r);
    EXPECT_EQ(qcn0::fuzz::without_layout(pretty), doc);
    for (const char* part : {"{\n  \"file_info\": {\n    \"filename\": \"\",\n    \"marker_name\": \"MARK\",\n",
                             "\n    \"cn0_matrix\": [\n      [\n        41.5,\n        0.0\n      ]\n    ],\n",
                             "\n        \"points\": []\n      }\n    ],\n", "\n      \"Galileo\": []\n    }\n  },\n",
                             "\n  \"spoofing_min_unexpected_count\": 8.0\n}"})
        EXPECT_NE(pretty.find(part), std::string::npos) << part;
}
