// Skyplot traces, heat points with the sky coverage, and the fixed heatmap grid.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cn0/sample_set_builder.hpp"
#include "cn0/sky_products.hpp"

using namespace qcn0;
using qcn0::testing::SampleSetBuilder;

namespace {

const std::string T1 = "2024-03-05T00:00:00.000Z";
const std::string T2 = "2024-03-05T00:00:30.000Z";

const HeatmapPoint* point_at(const SkyplotData& sky, double az_bin, double el_bin) {
    for (const HeatmapPoint& p : sky.heatmap_points) {
        if (p.azimuth_bin == az_bin && p.elevation_bin == el_bin) return &p;
    }
    return nullptr;
}

}  // namespace

TEST(SkyplotTraces, OnePerSatelliteWithGroupNames) {
    const SampleSet set = SampleSetBuilder()
                              .add(T2, "J02", 40.0, "S1C", 30.0, 120.0)
                              .add(T1, "C19", 38.0, "S2I", 50.0, 200.0)
                              .add(T1, "J02", 41.0, "S1C", 29.0, 119.0)
                              .build();
    const SkyplotData sky = build_sky_products(set).skyplot;
    ASSERT_EQ(sky.traces.size(), 2u);
    EXPECT_EQ(sky.traces[0].satellite, "J02");
    EXPECT_EQ(sky.traces[0].system, "Other");  // QZSS tracks are grouped as Other
    // Points keep collection order, not time order.
    EXPECT_EQ(sky.traces[0].points, (std::vector<SkyplotPoint>{{120.0, 30.0, 40.0, "J02"},
                                                               {119.0, 29.0, 41.0, "J02"}}));
    EXPECT_EQ(sky.traces[1].satellite, "C19");
    EXPECT_EQ(sky.traces[1].system, "BeiDou");
}

TEST(HeatPoints, CellsHaveNoLimits) {
    const SampleSet set = SampleSetBuilder()
                              .add(T1, "G01", 40.0, "S1C", 89.9, 359.9)
                              .add(T1, "G02", 44.0, "S1C", 90.0, 359.9)
                              .add(T1, "G03", 30.0, "S1C", -3.0, 12.0)
                              .add(T1, "G04", 31.0, "S1C", 10.0, -0.5)
                              .add(T2, "G01", 42.0, "S1C", 89.0, 355.0)
                              .build();
    const SkyplotData sky = build_sky_products(set).skyplot;
    ASSERT_EQ(sky.heatmap_points.size(), 4u);

    const HeatmapPoint* top = point_at(sky, 355.0, 87.5);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->count, 2u);
    EXPECT_EQ(top->mean_cn0, 41.0);
    // Exactly 90 degrees opens a cell above the top row; below the horizon and west of north
    // open cells of their own.
    EXPECT_NE(point_at(sky, 355.0, 92.5), nullptr);
    EXPECT_NE(point_at(sky, 15.0, -2.5), nullptr);
    EXPECT_NE(point_at(sky, -5.0, 12.5), nullptr);
    // Those cells count towards the coverage as well.
    EXPECT_DOUBLE_EQ(sky.coverage_percent, 4.0 / 648.0 * 100.0);
}

TEST(HeatPoints, FixedLookAnglesOccupyOneCell) {
    // Without navigation data every sample sits at azimuth 0, elevation 45.
    const SampleSet set =
        SampleSetBuilder().add(T1, "G01", 40.0).add(T1, "R07", 35.0).add(T2, "E11", 45.0).build();
    const SkyplotData sky = build_sky_products(set).skyplot;
    EXPECT_EQ(sky.heatmap_points, (std::vector<HeatmapPoint>{{5.0, 47.5, 40.0, 3}}));
    EXPECT_DOUBLE_EQ(sky.coverage_percent, 100.0 / 648.0);
}

TEST(HeatmapGrid, EdgesAreClampedIntoTheGrid) {
    const SampleSet set = SampleSetBuilder()
                              .add(T1, "G01", 40.0, "S1C", 89.9, 359.9)
                              .add(T1, "G02", 44.0, "S1C", 90.0, 359.9)
                              .add(T1, "G03", 30.0, "S1C", -3.0, 12.0)
                              .add(T1, "G04", 31.0, "S1C", 10.0, -0.5)
                              .add(T1, "G05", 33.0, "S1C", 12.5, 360.0)
                              .build();
    const HeatmapData grid = build_sky_products(set).heatmap;
    ASSERT_EQ(grid.azimuth_bins.size(), 36u);
    EXPECT_EQ(grid.azimuth_bins.back(), 355.0);
    ASSERT_EQ(grid.elevation_bins.size(), 18u);
    EXPECT_EQ(grid.elevation_bins.back(), 87.5);
    ASSERT_EQ(grid.count_matrix.size(), 18u);
    ASSERT_EQ(grid.count_matrix[17].size(), 36u);
    ASSERT_EQ(grid.cn0_matrix.size(), 18u);
    ASSERT_EQ(grid.cn0_matrix[17].size(), 36u);

    EXPECT_EQ(grid.count_matrix[17][35], 2u);  // 89.9 and 90 share the top row
    EXPECT_EQ(grid.cn0_matrix[17][35], 42.0);
    EXPECT_EQ(grid.count_matrix[0][1], 1u);  // below the horizon: bottom row
    EXPECT_EQ(grid.cn0_matrix[0][1], 30.0);
    EXPECT_EQ(grid.count_matrix[2][0], 1u);  // west of north: first column
    EXPECT_EQ(grid.count_matrix[2][35], 1u);  // 360 degrees: last column
    // Empty cells read 0.0 and 0.
    EXPECT_EQ(grid.cn0_matrix[9][18], 0.0);
    EXPECT_EQ(grid.count_matrix[9][18], 0u);

}

TEST(SkyProducts, EitherProductAloneMatchesTheCombinedWalk) {
    const SampleSet set = SampleSetBuilder()
                              .add(T1, "G01", 40.0, "S1C", 12.0, 200.0)
                              .add(T1, "S23", 38.0, "S1C", -1.0, 90.0)
                              .add(T2, "G01", 41.0, "S1C", 13.0, 201.0)
                              .build();
    const SkyProducts both = build_sky_products(set);
    EXPECT_EQ(build_skyplot(set), both.skyplot);
    EXPECT_EQ(build_heatmap(set), both.heatmap);
}
