#include "cn0/cn0_sample.hpp"

#include "core/systems.hpp"

namespace qcn0 {

std::string_view SampleSet::constellation_of(const Cn0Sample& s) { return system_name(s.system); }

}  // namespace qcn0
