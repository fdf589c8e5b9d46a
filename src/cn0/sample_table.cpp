#include "cn0/sample_table.hpp"

namespace qcn0 {

SampleTable make_sample_table(const SampleSet& set) {
    SampleTable t;
    t.timestamps = set.timestamps;
    t.satellites = set.satellites;
    t.codes = set.signals;
    const std::size_t n = set.samples.size();
    t.time.reserve(n);
    t.satellite.reserve(n);
    t.code.reserve(n);
    t.cn0.reserve(n);
    t.elevation.reserve(n);
    t.azimuth.reserve(n);
    for (const Cn0Sample& s : set.samples) {
        t.time.push_back(s.time);
        t.satellite.push_back(s.satellite);
        t.code.push_back(s.signal);
        t.cn0.push_back(s.cn0);
        t.elevation.push_back(s.elevation);
        t.azimuth.push_back(s.azimuth);
    }
    return t;
}

}  // namespace qcn0
