// Builds small SampleSets by hand: samples are added by timestamp text, satellite identifier and
// value, and build() numbers the timestamps in ascending text order as the analysis does.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cn0/cn0_sample.hpp"

namespace qcn0::testing {

// A timestamp at the given second of a fixed day ("2024-03-05T00:00:30.000Z" for 30), for tests
// that need many epochs.
inline std::string stamp(int second) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "2024-03-05T%02d:%02d:%02d.000Z", second / 3600,
                  (second / 60) % 60, second % 60);
    return buf;
}

class SampleSetBuilder {
public:
    SampleSetBuilder& add(const std::string& timestamp, const std::string& satellite, double cn0,
                          const std::string& signal = "S1C", double elevation = 45.0,
                          double azimuth = 0.0) {
        pending_.push_back({timestamp, satellite, signal, cn0, elevation, azimuth});
        return *this;
    }

    SampleSet build() const {
        SampleSet set;
        for (const auto& p : pending_) set.timestamps.push_back(p.timestamp);
        std::sort(set.timestamps.begin(), set.timestamps.end());
        set.timestamps.erase(std::unique(set.timestamps.begin(), set.timestamps.end()),
                             set.timestamps.end());
        for (const auto& p : pending_) {
            Cn0Sample s{};
            s.time = static_cast<std::uint32_t>(
                std::lower_bound(set.timestamps.begin(), set.timestamps.end(), p.timestamp) -
                set.timestamps.begin());
            s.satellite = intern(set.satellites, p.satellite);
            s.signal = static_cast<std::uint16_t>(intern(set.signals, p.signal));
            s.system = p.satellite.empty() ? 'G' : p.satellite[0];
            s.cn0 = p.cn0;
            s.elevation = p.elevation;
            s.azimuth = p.azimuth;
            set.samples.push_back(s);
        }
        return set;
    }

private:
    struct Pending {
        std::string timestamp, satellite, signal;
        double cn0, elevation, azimuth;
    };

    static std::uint32_t intern(std::vector<std::string>& table, const std::string& text) {
        auto it = std::find(table.begin(), table.end(), text);
        if (it != table.end()) return static_cast<std::uint32_t>(it - table.begin());
        table.push_back(text);
        return static_cast<std::uint32_t>(table.size() - 1);
    }

    std::vector<Pending> pending_;
};

}  // namespace qcn0::testing
