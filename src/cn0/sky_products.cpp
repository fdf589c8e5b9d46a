#include "cn0/sky_products.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/systems.hpp"

namespace qcn0 {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr int kAzimuthCells = 36;
constexpr int kElevationCells = 18;

// floor(x) as a signed 32-bit cell number. Values beyond that range saturate and a value that is
// not a number gives cell 0, so a degenerate look angle still lands somewhere defined. Done by
// truncation rather than std::floor, which is a library call on the per-sample path.
std::int32_t cell_number(double x) {
    constexpr double kLimit = 2147483648.0;  // 2^31
    if (x > -kLimit && x < kLimit) {
        const auto t = static_cast<std::int64_t>(x);  // towards zero
        return static_cast<std::int32_t>(t - (x < static_cast<double>(t) ? 1 : 0));
    }
    if (std::isnan(x)) return 0;
    return x < 0 ? std::numeric_limits<std::int32_t>::min()
                 : std::numeric_limits<std::int32_t>::max();
}

int clamped(std::int32_t cell, int cells) {
    if (cell < 0) return 0;
    if (cell >= cells) return cells - 1;
    return static_cast<int>(cell);
}

// Cell look-up for the heat points. Real look angles fall in a small window around the sky
// (azimuth 0..360, elevation -90..90), which a flat table covers; anything else goes to a hash.
class CellIndex {
public:
    CellIndex() : dense_(static_cast<std::size_t>(kWidth) * kHeight, kNone) {}

    std::uint32_t& slot(std::int32_t i, std::int32_t j) {
        const std::int64_t di = static_cast<std::int64_t>(i) - kLowI;
        const std::int64_t dj = static_cast<std::int64_t>(j) - kLowJ;
        if (di >= 0 && di < kWidth && dj >= 0 && dj < kHeight) {
            return dense_[static_cast<std::size_t>(dj * kWidth + di)];
        }
        const auto key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(i)) << 32) |
                         static_cast<std::uint32_t>(j);
        return sparse_.try_emplace(key, kNone).first->second;
    }

private:
    static constexpr std::int32_t kLowI = -40, kLowJ = -24;
    static constexpr std::int32_t kWidth = 120, kHeight = 48;
    std::vector<std::uint32_t> dense_;
    std::unordered_map<std::uint64_t, std::uint32_t> sparse_;
};

// Fills whichever of the two products is asked for.
void build(const SampleSet& set, SkyplotData* sky, HeatmapData* grid) {
    const auto& samples = set.samples;

    std::vector<std::uint32_t> trace_of;
    std::vector<std::size_t> points_of;
    CellIndex cells;
    std::vector<double> cell_sums;
    double sums[kElevationCells][kAzimuthCells] = {};
    std::uint64_t counts[kElevationCells][kAzimuthCells] = {};

    if (sky) trace_of.assign(set.satellites.size(), kNone);
    for (const Cn0Sample& s : samples) {
        const std::int32_t i = cell_number(s.azimuth / 10.0);
        const std::int32_t j = cell_number(s.elevation / 5.0);
        if (grid) {
            const int row = clamped(j, kElevationCells), col = clamped(i, kAzimuthCells);
            sums[row][col] += s.cn0;
            ++counts[row][col];
        }
        if (!sky) continue;

        std::uint32_t& trace = trace_of[s.satellite];
        if (trace == kNone) {
            trace = static_cast<std::uint32_t>(sky->traces.size());
            sky->traces.push_back(
                {set.satellites[s.satellite], std::string(system_group_name(s.system)), {}});
            points_of.push_back(0);
        }
        ++points_of[trace];

        std::uint32_t& cell = cells.slot(i, j);
        if (cell == kNone) {
            cell = static_cast<std::uint32_t>(sky->heatmap_points.size());
            sky->heatmap_points.push_back(
                {static_cast<double>(i) * 10.0 + 5.0, static_cast<double>(j) * 5.0 + 2.5, 0.0, 0});
            cell_sums.push_back(0.0);
        }
        cell_sums[cell] += s.cn0;
        ++sky->heatmap_points[cell].count;
    }

    if (sky) {
        for (std::size_t k = 0; k < sky->heatmap_points.size(); ++k) {
            HeatmapPoint& p = sky->heatmap_points[k];
            p.mean_cn0 = cell_sums[k] / static_cast<double>(p.count);
        }
        sky->coverage_percent = static_cast<double>(sky->heatmap_points.size()) / kSkyCells * 100.0;

        // The points, once every track's length is known.
        for (std::size_t t = 0; t < sky->traces.size(); ++t) {
            sky->traces[t].points.reserve(points_of[t]);
        }
        for (const Cn0Sample& s : samples) {
            sky->traces[trace_of[s.satellite]].points.push_back(
                {s.azimuth, s.elevation, s.cn0, set.satellites[s.satellite]});
        }
    }

    if (grid) {
        grid->azimuth_bins.reserve(kAzimuthCells);
        for (int c = 0; c < kAzimuthCells; ++c) grid->azimuth_bins.push_back(c * 10.0 + 5.0);
        grid->elevation_bins.reserve(kElevationCells);
        for (int r = 0; r < kElevationCells; ++r) grid->elevation_bins.push_back(r * 5.0 + 2.5);
        grid->cn0_matrix.assign(kElevationCells, std::vector<double>(kAzimuthCells, 0.0));
        grid->count_matrix.assign(kElevationCells, std::vector<std::uint64_t>(kAzimuthCells, 0));
        for (int r = 0; r < kElevationCells; ++r) {
            for (int c = 0; c < kAzimuthCells; ++c) {
                grid->count_matrix[r][c] = counts[r][c];
                if (counts[r][c] > 0) {
                    grid->cn0_matrix[r][c] = sums[r][c] / static_cast<double>(counts[r][c]);
                }
            }
        }
    }
}

}  // namespace

SkyProducts build_sky_products(const SampleSet& set) {
    SkyProducts out;
    build(set, &out.skyplot, &out.heatmap);
    return out;
}

SkyplotData build_skyplot(const SampleSet& set) {
    SkyplotData out;
    build(set, &out, nullptr);
    return out;
}

HeatmapData build_heatmap(const SampleSet& set) {
    HeatmapData out;
    build(set, nullptr, &out);
    return out;
}

}  // namespace qcn0
