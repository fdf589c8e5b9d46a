// Time series built from the accepted samples: per epoch, per satellite and per constellation.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cn0/sample_set_builder.hpp"
#include "cn0/time_series.hpp"

using namespace qcn0;
using qcn0::testing::SampleSetBuilder;

namespace {

const std::string T1 = "2024-03-05T00:00:00.000Z";
const std::string T2 = "2024-03-05T00:00:30.000Z";
const std::string T3 = "2024-03-05T00:01:00.000Z";

std::vector<std::string> keys_of(const auto& map) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : map) keys.push_back(key);
    return keys;
}

}  // namespace

TEST(OverallSeries, OnePointPerEpochInTimeOrder) {
    // Collected out of time order, as a file with an epoch written late would give.
    const SampleSet set = SampleSetBuilder()
                              .add(T2, "G01", 40.0)
                              .add(T2, "G01", 30.0, "S2W")
                              .add(T2, "E11", 44.0)
                              .add(T1, "G01", 50.0)
                              .build();
    const TimeSeriesData ts = build_time_series(set);
    EXPECT_EQ(ts.timestamps, (std::vector<std::string>{T1, T2}));
    EXPECT_EQ(ts.mean_cn0, (std::vector<double>{50.0, 38.0}));  // every signal counts
    EXPECT_EQ(ts.satellite_count, (std::vector<std::uint64_t>{1, 2}));  // G01 once
}

TEST(SatelliteSeries, EverySignalStablySortedByTime) {
    const SampleSet set = SampleSetBuilder()
                              .add(T2, "J03", 41.0, "S2X", 30.0, 100.0)
                              .add(T2, "J03", 42.0, "S1C", 30.0, 100.0)
                              .add(T1, "J03", 43.0, "S1C", 25.0, 95.0)
                              .add(T1, "G07", 44.0)
                              .add(T1, "J03", 44.0, "S2X", 25.0, 95.0)
                              .build();
    const TimeSeriesData ts = build_time_series(set);
    EXPECT_EQ(keys_of(ts.satellite_timeseries), (std::vector<std::string>{"J03", "G07"}));

    const SatelliteTimeSeries& j03 = *ts.satellite_timeseries.find("J03");
    EXPECT_EQ(j03.satellite, "J03");
    EXPECT_EQ(j03.system, "QZSS");  // constellation name, not the skyplot group
    EXPECT_EQ(j03.signal, "S2X");   // code of the first collected sample
    const std::vector<TimePoint> expected = {
        {T1, 43.0, 25.0, 95.0}, {T1, 44.0, 25.0, 95.0},  // same epoch: collection order kept
        {T2, 41.0, 30.0, 100.0}, {T2, 42.0, 30.0, 100.0}};
    EXPECT_EQ(j03.cn0_series, expected);
}

TEST(ConstellationSeries, MeansPerEpochAndName) {
    const SampleSet set = SampleSetBuilder()
                              .add(T3, "G01", 40.0, "S1C", 20.0, 350.0)
                              .add(T3, "G02", 50.0, "S1C", 60.0, 10.0)
                              .add(T1, "I05", 30.0, "S5A", 10.0, 40.0)
                              .add(T1, "G01", 46.0, "S1C", 22.0, 348.0)
                              .add(T3, "X01", 36.0, "S1C", 30.0, 80.0)
                              .build();
    const TimeSeriesData ts = build_time_series(set);
    // IRNSS and an unknown letter share the name "Unknown" and so one series.
    EXPECT_EQ(keys_of(ts.constellation_timeseries), (std::vector<std::string>{"GPS", "Unknown"}));
    // Azimuths 350 and 10 average to 180: they are plain numbers, not angles.
    EXPECT_EQ(*ts.constellation_timeseries.find("GPS"),
              (std::vector<TimePoint>{{T1, 46.0, 22.0, 348.0}, {T3, 45.0, 40.0, 180.0}}));
    EXPECT_EQ(*ts.constellation_timeseries.find("Unknown"),
              (std::vector<TimePoint>{{T1, 30.0, 10.0, 40.0}, {T3, 36.0, 30.0, 80.0}}));
}

TEST(TimeSeries, NoSamplesGiveEmptySeries) {
    EXPECT_EQ(build_time_series(SampleSet{}), TimeSeriesData{});
}

TEST(Cn0StdDev, PopulationDeviationOfEpochMeans) {
    EXPECT_DOUBLE_EQ(cn0_std_dev({40.0, 42.0, 44.0}), std::sqrt(8.0 / 3.0));
    EXPECT_EQ(cn0_std_dev({}), 0.0);
    EXPECT_EQ(cn0_std_dev({37.5}), 0.0);
}
