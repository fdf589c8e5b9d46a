// An observation file laid out as a dense grid for array libraries: one layer per observation
// code, one row per stored epoch, one column per satellite, NaN where nothing is stored.
//
// Columns are the satellites in ascending identifier order and layers the header's codes in
// order of first appearance over the constellations, so the grid of a file is the same on every
// run. Rows are the stored epochs in file order: times are neither sorted nor merged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rinex/obs_data.hpp"

namespace qcn0 {

struct ObsGridLayout {
    std::vector<std::uint32_t> satellites;  // interned satellite of each column
    std::vector<std::string> codes;         // code of each layer
    std::vector<std::int32_t> column_of;    // per interned satellite: its column, or -1
    std::vector<std::int32_t> layer_of;     // per interned code: its layer, or -1

    std::size_t rows(const RinexObsData& obs) const { return obs.epochs.size(); }
};

struct ObsGridFilter {
    // System letters whose satellites are kept; all when absent.
    std::optional<std::vector<std::string>> systems;
    // A code is kept when it starts with one of these texts; all when absent. In a RINEX 2 file
    // a two-character code as written there (P1, S2, ...) selects exactly the code it was read
    // as (C1P, S2C, ...).
    std::optional<std::vector<std::string>> codes;
    // Keep signal-strength (S) codes only.
    bool snr_only = false;
};

ObsGridLayout plan_obs_grid(const RinexObsData& obs, const ObsGridFilter& filter);

// Distances, in elements, between neighbouring layers, rows and columns of the output.
struct GridStrides {
    std::size_t layer;
    std::size_t row;
    std::size_t column;
};

// Writes NaN everywhere, then every stored value of a kept satellite and code at its place, in
// one pass over the storage. `out` holds layers * rows * columns elements. Allocates nothing.
void fill_obs_grid(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides strides,
                   std::span<double> out);
void fill_obs_grid(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides strides,
                   std::span<float> out);

}  // namespace qcn0
