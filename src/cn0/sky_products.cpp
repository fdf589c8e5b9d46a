#include "cn0/sky_products.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "core/systems.hpp"

namespace qcn0 {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr int kAzimuthCells = 36;
constexpr int kElevationCells = 18;

// floor(x) as a signed 32-bit cell number. Values beyond that range saturate and a value that is
// not a number gives cell 0, so a degenerate look angle still lands somewhere defined.
std::int32_t cell_number(double x) {
    const double f = std::floor(x);
    if (std::isnan(f)) return 0;
    if (f <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (f >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(f);
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

}  // namespace

SkyplotData build_skyplot(const SampleSet& set) {
    SkyplotData out;
    const auto& samples = set.samples;

    std::vector<std::uint32_t> trace_of(set.satellites.size(), kNone);
    std::vector<std::size_t> points_of;
    for (const Cn0Sample& s : samples) {
        std::uint32_t& slot = trace_of[s.satellite];
        if (slot == kNone) {
            slot = static_cast<std::uint32_t>(out.traces.size());
            out.traces.push_back(
                {set.satellites[s.satellite], std::string(system_group_name(s.system)), {}});
            points_of.push_back(0);
        }
        ++points_of[slot];
    }
    for (std::size_t i = 0; i < out.traces.size(); ++i) out.traces[i].points.reserve(points_of[i]);

    CellIndex cells;
    std::vector<double> sums;
    for (const Cn0Sample& s : samples) {
        out.traces[trace_of[s.satellite]].points.push_back(
            {s.azimuth, s.elevation, s.cn0, set.satellites[s.satellite]});

        const std::int32_t i = cell_number(s.azimuth / 10.0);
        const std::int32_t j = cell_number(s.elevation / 5.0);
        std::uint32_t& slot = cells.slot(i, j);
        if (slot == kNone) {
            slot = static_cast<std::uint32_t>(out.heatmap_points.size());
            out.heatmap_points.push_back(
                {static_cast<double>(i) * 10.0 + 5.0, static_cast<double>(j) * 5.0 + 2.5, 0.0, 0});
            sums.push_back(0.0);
        }
        sums[slot] += s.cn0;
        ++out.heatmap_points[slot].count;
    }
    for (std::size_t k = 0; k < out.heatmap_points.size(); ++k) {
        HeatmapPoint& p = out.heatmap_points[k];
        p.mean_cn0 = sums[k] / static_cast<double>(p.count);
    }
    out.coverage_percent = static_cast<double>(out.heatmap_points.size()) / kSkyCells * 100.0;
    return out;
}

HeatmapData build_heatmap(const SampleSet& set) {
    HeatmapData out;
    out.azimuth_bins.reserve(kAzimuthCells);
    for (int c = 0; c < kAzimuthCells; ++c) out.azimuth_bins.push_back(c * 10.0 + 5.0);
    out.elevation_bins.reserve(kElevationCells);
    for (int r = 0; r < kElevationCells; ++r) out.elevation_bins.push_back(r * 5.0 + 2.5);

    double sums[kElevationCells][kAzimuthCells] = {};
    std::uint64_t counts[kElevationCells][kAzimuthCells] = {};
    for (const Cn0Sample& s : set.samples) {
        const int col = clamped(cell_number(s.azimuth / 10.0), kAzimuthCells);
        const int row = clamped(cell_number(s.elevation / 5.0), kElevationCells);
        sums[row][col] += s.cn0;
        ++counts[row][col];
    }

    out.cn0_matrix.assign(kElevationCells, std::vector<double>(kAzimuthCells, 0.0));
    out.count_matrix.assign(kElevationCells, std::vector<std::uint64_t>(kAzimuthCells, 0));
    for (int r = 0; r < kElevationCells; ++r) {
        for (int c = 0; c < kAzimuthCells; ++c) {
            out.count_matrix[r][c] = counts[r][c];
            if (counts[r][c] > 0) out.cn0_matrix[r][c] = sums[r][c] / static_cast<double>(counts[r][c]);
        }
    }
    return out;
}

}  // namespace qcn0
