// C/N0 statistics of the accepted samples: the summary figures, per satellite and per
// constellation (with the expected-satellite table, availability, cycle slips and data gaps).
#pragma once

#include <optional>

#include "cn0/cn0_sample.hpp"
#include "results/analysis_result.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

// Satellites a constellation is expected to show at a time, when no prediction says otherwise.
std::uint64_t expected_satellites_table(std::string_view constellation);

// total_observations and the mean, minimum and maximum C/N0.
void fill_sample_summary(const SampleSet& set, ResultSummary& summary);

OrderedMap<SatelliteStats> satellite_statistics(const SampleSet& set);

OrderedMap<ConstellationStats> constellation_statistics(
    const RinexObsData& obs, const SampleSet& set, const std::optional<VisibilitySummary>& visibility);

}  // namespace qcn0
