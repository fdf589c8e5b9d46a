// Where in the sky the accepted samples came from: satellite tracks, occupied azimuth/elevation
// cells with the sky coverage they add up to, and the fixed 10-by-5-degree heatmap grid.
#pragma once

#include "cn0/cn0_sample.hpp"
#include "results/sky_products.hpp"

namespace qcn0 {

// Number of 10-degree azimuth by 5-degree elevation cells over the sky hemisphere (36 x 18).
inline constexpr double kSkyCells = 648.0;

struct SkyProducts {
    SkyplotData skyplot;
    HeatmapData heatmap;
};

// Skyplot: one trace per satellite, in order of first collection, its points in collection
// order. The trace's system is the group name (GPS, GLONASS, Galileo, BeiDou, else Other), so
// QZSS and SBAS tracks show "Other" although their samples are named.
//
// Heat points: a sample lies in cell (floor(azimuth / 10), floor(elevation / 5)), without any
// limit, so an elevation of exactly 90 degrees opens a cell above the top row and a negative one
// a cell below the horizon. One point per occupied cell, in order of first occupation, at the
// cell's centre. The coverage is the share of the 648 sky cells that are occupied, in percent; the
// cells outside the sky still count.
//
// Heatmap: the 18 x 36 grid, rows by elevation from the horizon up, columns by azimuth clockwise
// from north. Unlike the heat points, a sample outside the grid is placed in the nearest edge row
// or column: 90 degrees of elevation belongs to the top row. Cells without samples hold 0.0 and 0.
//
// Both come from one walk over the samples, as they share the cell of each sample.
SkyProducts build_sky_products(const SampleSet& set);

// Either product alone, for a caller that needs only one of them.
SkyplotData build_skyplot(const SampleSet& set);
HeatmapData build_heatmap(const SampleSet& set);

}  // namespace qcn0
