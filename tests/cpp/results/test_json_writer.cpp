// The result written as a JSON document, compact and indented.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "../../../fuzz/harness_bodies.hpp"
#include "json_reader.hpp"
#include "results/json_writer.hpp"

using namespace qcn0;
using qcn0::testing::JsonReader;
using qcn0::testing::JsonValue;

namespace {

TimePoint point(const char* t, double cn0, double el, double az) { return {t, cn0, el, az}; }

// A result with every kind of record, list and map filled, small enough to read.
AnalysisResult filled_result() {
    AnalysisResult r;
    r.file_info = {"", "MARK", "SEPT POLARX5", "TRM59800.00 NONE", "2024-03-05T00:00:00.000Z",
                   "2024-03-05T23:59:30.000Z", 23.991666666666667, 30.0, 52.5, -1.25, 120.0};
    r.quality_score = {87.5, 90.0, 0.15432098765432098, 80.0, "B", "Good signal quality"};
    r.summary = {6, 3, 2, {"GPS", "Galileo"}, 45.0, 38.25, 51.0, 1, 0, 1, 0};
    r.constellation_stats["GPS"] = {"GPS", 2, 4, 44.5, 38.25, 51.0, 4.5, 12, 1.0 / 6.0, 1, 0};
    r.constellation_stats["Galileo"] = {"Galileo", 1, 2, 46.0, 45.0, 47.0, 1.0, 10, 0.1, 0, 0};
    r.satellite_stats["G05"] = {"G05", "GPS", 2, 44.5, 38.25, 51.0, 6.375, 45.0};
    r.satellite_stats["E11"] = {"E11", "Galileo", 2, 46.0, 45.0, 47.0, 1.0, 45.0};
    r.satellite_stats["G\"9"] = {"G\"9", "GPS", 2, 44.5, 44.0, 45.0, 0.5, 45.0};
    r.timeseries.timestamps = {"2024-03-05T00:00:00.000Z", "2024-03-05T00:00:30.000Z"};
    r.timeseries.mean_cn0 = {45.0, std::numeric_limits<double>::quiet_NaN()};
    r.timeseries.satellite_count = {3, 3};
    r.timeseries.satellite_timeseries["G05"] = {
        "G05", "GPS", "S1C",
        {point("2024-03-05T00:00:00.000Z", 51.0, 45.0, 0.0),
         point("2024-03-05T00:00:30.000Z", 38.25, 45.0, 0.0)}};
    r.timeseries.constellation_timeseries["GPS"] = {
        point("2024-03-05T00:00:00.000Z", 47.5, 45.0, 0.0)};
    r.timeseries.constellation_timeseries["Galileo"] = {};
    r.skyplot.traces = {{"J02", "Other", {{0.0, 45.0, 40.0, "J02"}}}, {"E11", "Galileo", {}}};
    r.skyplot.heatmap_points = {{5.0, 47.5, 45.0, 6}, {355.0, 92.5, 30.5, 1}};
    r.skyplot.coverage_percent = 100.0 / 648.0;
    r.heatmap.azimuth_bins = {5.0, 15.0};
    r.heatmap.elevation_bins = {2.5};
    r.heatmap.cn0_matrix = {{41.5, 0.0}};
    r.heatmap.count_matrix = {{2, 0}};
    r.anomalies = {{"2024-03-05T00:00:30.000Z", "high", "cn0_drop",
                    "C/N0 drop of 6.8 dB\non 2 satellites", 6.75, {"G05", "E11"},
                    {"GPS", "Galileo"}}};
    r.spoofing_unexpected_threshold = 0.5;
    r.spoofing_min_unexpected_count = 8.0;
    return r;
}

VisibilitySummary filled_visibility() {
    VisibilitySummary v;
    v.has_prediction = true;
    v.prediction_source = "BRDC Navigation (31 satellites)";
    v.confirmation_rate = 0.9;
    v.mean_predicted = 10.0;
    v.mean_observed = 9.0;
    v.mean_missing = 1.0;
    v.mean_unexpected = 0.0;
    v.frequently_missing = {"G12"};
    v.by_system["GPS"] = {"GPS", 10, 9, 0.9, {"G12"}, {}};
    v.anomalies = {{"2024-03-05T01:00:00.000Z", "2024-03-05T01:05:00.000Z", 300.0,
                    "missing_satellites", "low", {"G12"}, {"GPS"},
                    "1 predicted satellite not observed"}};
    return v;
}

// The document with every space, tab and line break outside strings removed: the fuzz
// harness checks the two layouts with the same function.
using qcn0::fuzz::without_layout;

const char* const kEmptyCompact =
    R"({"file_info":{"filename":"","marker_name":"","receiver_type":"","antenna_type":"",)"
    R"("start_time":"","end_time":"","duration_hours":0.0,"interval":0.0,"position_lat":0.0,)"
    R"("position_lon":0.0,"position_height":0.0},)"
    R"("quality_score":{"overall":0.0,"cn0_score":0.0,"coverage_score":0.0,)"
    R"("consistency_score":0.0,)"
    R"("grade":"N/A","interpretation":"No data"},)"
    R"("summary":{"total_observations":0,"total_satellites":0,"total_epochs":0,)"
    R"("systems_observed":[],)"
    R"("mean_cn0":0.0,"min_cn0":0.0,"max_cn0":0.0,"anomaly_count":0,"critical_count":0,)"
    R"("high_count":0,"low_count":0},)"
    R"("constellation_stats":{},"satellite_stats":{},)"
    R"("timeseries":{"timestamps":[],"mean_cn0":[],"satellite_count":[],"satellite_timeseries":{},)"
    R"("constellation_timeseries":{}},)"
    R"("skyplot":{"traces":[],"heatmap_points":[],"coverage_percent":0.0},)"
    R"("heatmap":{"azimuth_bins":[],"elevation_bins":[],"cn0_matrix":[],"count_matrix":[]},)"
    R"("anomalies":[],"visibility":null,"spoofing_unexpected_threshold":0.4,)"
    R"("spoofing_min_unexpected_count":8.0})";

const char* const kEmptyPretty = R"({
  "file_info": {
    "filename": "",
    "marker_name": "",
    "receiver_type": "",
    "antenna_type": "",
    "start_time": "",
    "end_time": "",
    "duration_hours": 0.0,
    "interval": 0.0,
    "position_lat": 0.0,
    "position_lon": 0.0,
    "position_height": 0.0
  },
  "quality_score": {
    "overall": 0.0,
    "cn0_score": 0.0,
    "coverage_score": 0.0,
    "consistency_score": 0.0,
    "grade": "N/A",
    "interpretation": "No data"
  },
  "summary": {
    "total_observations": 0,
    "total_satellites": 0,
    "total_epochs": 0,
    "systems_observed": [],
    "mean_cn0": 0.0,
    "min_cn0": 0.0,
    "max_cn0": 0.0,
    "anomaly_count": 0,
    "critical_count": 0,
    "high_count": 0,
    "low_count": 0
  },
  "constellation_stats": {},
  "satellite_stats": {},
  "timeseries": {
    "timestamps": [],
    "mean_cn0": [],
    "satellite_count": [],
    "satellite_timeseries": {},
    "constellation_timeseries": {}
  },
  "skyplot": {
    "traces": [],
    "heatmap_points": [],
    "coverage_percent": 0.0
  },
  "heatmap": {
    "azimuth_bins": [],
    "elevation_bins": [],
    "cn0_matrix": [],
    "count_matrix": []
  },
  "anomalies": [],
  "visibility": null,
  "spoofing_unexpected_threshold": 0.4,
  "spoofing_min_unexpected_count": 8.0
})";

}  // namespace

// A result of an analysis that found nothing: every member present, in field order.
TEST(JsonDocument, EmptyResultInBothLayouts) {
    const AnalysisResult empty;
    EXPECT_EQ(to_json(empty), kEmptyCompact);
    EXPECT_EQ(to_json_pretty(empty), kEmptyPretty);
}

TEST(JsonDocument, FileVersionIsNotAMember) {
    AnalysisResult r;
    r.rinex_version = 3.04;
    EXPECT_EQ(to_json(r), kEmptyCompact);
}

TEST(JsonDocument, CompactMembersInFieldOrderAndMapsInEntryOrder) {
    const AnalysisResult r = filled_result();
    const std::string doc = to_json(r);
    auto parsed = JsonReader::parse(doc);
    ASSERT_TRUE(parsed) << doc;
    using Names = std::vector<std::string>;
    EXPECT_EQ(parsed->keys(), (Names{"file_info", "quality_score", "summary", "constellation_stats",
                                     "satellite_stats", "timeseries", "skyplot", "heatmap",
                                     "anomalies", "visibility", "spoofing_unexpected_threshold",
                                     "spoofing_min_unexpected_count"}));
    EXPECT_EQ((*parsed)["satellite_stats"].keys(), (Names{"G05", "E11", "G\"9"}));
    EXPECT_EQ((*parsed)["constellation_stats"].keys(), (Names{"GPS", "Galileo"}));
    EXPECT_NE(doc.find(R"("satellite_stats":{"G05":{"satellite":"G05","system":"GPS",)"
                       R"("observation_count":2,"mean_cn0":44.5,"min_cn0":38.25,"max_cn0":51.0,)"
                       R"("std_cn0":6.375,"mean_elevation":45.0},)"),
              std::string::npos);
    EXPECT_NE(doc.find(R"("G\"9":{"satellite":"G\"9",)"), std::string::npos);
    EXPECT_NE(doc.find(R"("mean_cn0":[45.0,null],"satellite_count":[3,3],)"), std::string::npos);
    EXPECT_NE(doc.find(R"("heatmap":{"azimuth_bins":[5.0,15.0],"elevation_bins":[2.5],)"
                       R"("cn0_matrix":[[41.5,0.0]],"count_matrix":[[2,0]]})"),
              std::string::npos);
    EXPECT_NE(doc.find(R"("description":"C/N0 drop of 6.8 dB\non 2 satellites","cn0_drop":6.75,)"),
              std::string::npos);
    EXPECT_NE(doc.find(R"("Galileo":[]})"), std::string::npos);
    EXPECT_NE(doc.find(R"("visibility":null,"spoofing_unexpected_threshold":0.5,)"
                       R"("spoofing_min_unexpected_count":8.0})"),
              std::string::npos);
}

TEST(JsonDocument, NoWhitespaceOutsideStringsInCompactLayout) {
    AnalysisResult r = filled_result();
    r.visibility = filled_visibility();
    const std::string doc = to_json(r);
    EXPECT_EQ(without_layout(doc), doc);
}

TEST(JsonDocument, VisibilityWrittenWhenPresent) {
    AnalysisResult r = filled_result();
    r.visibility = filled_visibility();
    const std::string doc = to_json(r);
    EXPECT_NE(doc.find(R"("visibility":{"has_prediction":true,)"
                       R"j("prediction_source":"BRDC Navigation (31 satellites)",)j"
                       R"("confirmation_rate":0.9,"mean_predicted":10.0,"mean_observed":9.0,)"
                       R"("mean_missing":1.0,"mean_unexpected":0.0,)"
                       R"("frequently_missing":["G12"],"frequently_unexpected":[],)"
                       R"("by_system":{"GPS":{"system":"GPS","predicted_satellites":10,)"
                       R"("observed_satellites":9,"confirmation_rate":0.9,)"
                       R"("missing_satellites":["G12"],"unexpected_satellites":[]}},)"
                       R"("anomalies":[{"start_time":"2024-03-05T01:00:00.000Z",)"
                       R"("end_time":"2024-03-05T01:05:00.000Z","duration_seconds":300.0,)"
                       R"("anomaly_type":"missing_satellites","severity":"low",)"
                       R"("affected_satellites":["G12"],"affected_systems":["GPS"],)"
                       R"("description":"1 predicted satellite not observed"}]},)"
                       R"("spoofing_unexpected_threshold":0.5,)"),
              std::string::npos)
        << doc;
    EXPECT_FALSE((*JsonReader::parse(doc))["visibility"].is_null());
}

TEST(JsonDocument, PrettyLayoutOfNestedContainers) {
    AnalysisResult r = filled_result();
    const std::string doc = to_json_pretty(r);
    EXPECT_EQ(doc.rfind("{\n  \"file_info\": {\n"
                        "    \"filename\": \"\",\n    \"marker_name\": \"MARK\",",
                        0),
              0u);
    EXPECT_NE(doc.find("\n  \"heatmap\": {\n"
                       "    \"azimuth_bins\": [\n      5.0,\n      15.0\n    ],\n"
                       "    \"elevation_bins\": [\n      2.5\n    ],\n"
                       "    \"cn0_matrix\": [\n      [\n        41.5,\n        0.0\n      ]\n"
                       "    ],\n"
                       "    \"count_matrix\": [\n      [\n        2,\n        0\n      ]\n"
                       "    ]\n  },\n"),
              std::string::npos);
    EXPECT_NE(doc.find("\n    \"traces\": [\n      {\n        \"satellite\": \"J02\",\n"
                       "        \"system\": \"Other\",\n        \"points\": [\n          {\n"
                       "            \"azimuth\": 0.0,\n            \"elevation\": 45.0,\n"
                       "            \"cn0\": 40.0,\n"
                       "            \"satellite\": \"J02\"\n          }\n"
                       "        ]\n      },\n      {\n        \"satellite\": \"E11\",\n"
                       "        \"system\": \"Galileo\",\n"
                       "        \"points\": []\n      }\n    ],\n"),
              std::string::npos);
    EXPECT_NE(doc.find("\n      \"Galileo\": []\n    }\n"), std::string::npos);
    EXPECT_NE(doc.find("\n  \"visibility\": null,\n  \"spoofing_unexpected_threshold\": 0.5,\n"
                       "  \"spoofing_min_unexpected_count\": 8.0\n}"),
              std::string::npos);
    EXPECT_EQ(doc.back(), '}');

    r.anomalies.clear();
    EXPECT_NE(to_json_pretty(r).find("\n  \"anomalies\": [],\n"), std::string::npos);
}

// The two layouts differ only in whitespace outside strings and describe the same values.
TEST(JsonDocument, LayoutsHoldTheSameValues) {
    AnalysisResult r = filled_result();
    r.visibility = filled_visibility();
    const std::string compact = to_json(r);
    const std::string pretty = to_json_pretty(r);
    EXPECT_EQ(without_layout(pretty), compact);

    auto a = JsonReader::parse(compact);
    auto b = JsonReader::parse(pretty);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(*a, *b);

    // And those values are the result's own.
    const JsonValue& doc = *a;
    EXPECT_EQ(doc["file_info"]["duration_hours"].number(), r.file_info.duration_hours);
    EXPECT_EQ(doc["skyplot"]["coverage_percent"].number(), r.skyplot.coverage_percent);
    EXPECT_EQ(doc["quality_score"]["coverage_score"].number(), r.quality_score.coverage_score);
    EXPECT_EQ(doc["satellite_stats"]["G\"9"]["satellite"].text(), "G\"9");
    EXPECT_EQ(doc["anomalies"].array()[0]["description"].text(), r.anomalies[0].description);
    EXPECT_TRUE(doc["timeseries"]["mean_cn0"].array()[1].is_null());
    const JsonValue& series = doc["timeseries"]["satellite_timeseries"]["G05"]["cn0_series"];
    EXPECT_EQ(series.array()[1]["cn0"].number(), 38.25);
}

TEST(JsonDocument, ErrorTextInsertsTheMessageAsItIs) {
    EXPECT_EQ(json_error_text("bad \"value\""), "{\"error\": \"bad \"value\"\"}");
}
