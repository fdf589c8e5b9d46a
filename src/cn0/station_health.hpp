// Station health figures that a network operator reads beside the verdicts: how complete the
// tracking was against what the orbits put in the sky, how often tracking broke inside a
// satellite's pass, and the station's C/N0 against elevation per band.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "cn0/cn0_sample.hpp"
#include "results/interference.hpp"

namespace qcn0 {

// What sample collection counts on the way when a visibility prediction runs beside it.
struct PredictedSky {
    std::uint64_t predicted_per_letter[128] = {};  // satellite-epochs above the mask
    std::uint64_t observed_signal_epochs = 0;      // samples of satellites predicted above the mask
    // Per observation satellite and epoch (in time order): above the mask, bit-packed.
    std::vector<std::uint64_t> above_mask;
    std::size_t satellites = 0;
    bool in_view(std::size_t time, std::size_t satellite) const {
        const std::size_t i = time * satellites + satellite;
        return (above_mask[i / 64] >> (i % 64)) & 1U;
    }
};

// `sky` is null without a visibility prediction; `interval` is the nominal epoch spacing (0 when
// unknown).
StationHealth assess_health(const SampleSet& set, const PredictedSky* sky, double interval);

}  // namespace qcn0
