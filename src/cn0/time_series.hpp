// C/N0 over time, built from the accepted samples: the whole receiver per epoch, each satellite
// per sample and each constellation per epoch.
#pragma once

#include <vector>

#include "cn0/cn0_sample.hpp"
#include "results/time_series.hpp"

namespace qcn0 {

// One point per epoch with samples, in time order: the mean of every value of the epoch (all
// satellites and signals) and the number of distinct satellites. There is no time binning: the
// configured time bin is carried by the settings but never applied here.
//
// Per satellite (keyed by identifier, in order of first collection): constellation name and
// observation code of its first collected sample, and one point per sample (every signal, so an
// epoch appears once per signal), stably sorted by time.
//
// Per constellation name (in order of first collection): one point per epoch at which it has
// samples, holding the means of value, elevation and azimuth (azimuths averaged as plain numbers).
TimeSeriesData build_time_series(const SampleSet& set);

// Population standard deviation (divisor n) of a series of epoch means; 0.0 for an empty series.
double cn0_std_dev(const std::vector<double>& mean_cn0);

}  // namespace qcn0
