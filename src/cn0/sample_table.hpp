// The accepted samples as the result keeps them.
#pragma once

#include "cn0/cn0_sample.hpp"
#include "results/sample_table.hpp"

namespace qcn0 {

SampleTable make_sample_table(const SampleSet& set);

}  // namespace qcn0
