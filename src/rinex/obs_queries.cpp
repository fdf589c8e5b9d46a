#include "rinex/obs_queries.hpp"

#include "core/text.hpp"

namespace qcn0 {

std::vector<SystemSatellites> satellites_by_system(const RinexObsData& obs) {
    // Satellites are interned in order of first appearance over the stored epochs, which is
    // exactly the walk over epochs and their satellites.
    std::vector<SystemSatellites> out;
    for (const std::string& id : obs.satellites) {
        if (id.empty()) continue;
        SystemSatellites* group = nullptr;
        for (auto& g : out) {
            if (g.system == id[0]) group = &g;
        }
        if (group == nullptr) {
            out.push_back(SystemSatellites{id[0], {}});
            group = &out.back();
        }
        group->satellites.push_back(id);
    }
    return out;
}

std::vector<std::pair<char, bool>> snr_availability(const RinexObsData& obs) {
    std::vector<std::pair<char, bool>> out;
    for (const auto& t : obs.obs_types) {
        bool any = false;
        for (const auto& code : t.codes) any = any || (!code.empty() && code[0] == 'S');
        out.emplace_back(t.system, any);
    }
    return out;
}

std::vector<SatelliteSnrStats> snr_stats_by_satellite(const RinexObsData& obs) {
    struct Tally {
        std::uint64_t count = 0;
        std::uint64_t valid = 0;
        double sum = 0.0;
        bool seen = false;
    };
    std::vector<Tally> tally(obs.satellites.size());
    std::vector<std::uint32_t> order;
    for (const auto& epoch : obs.epochs) {
        for (const auto& sat : obs.satellites_of(epoch)) {
            for (const auto& v : obs.values_of(sat)) {
                if (!obs.is_snr_code(v.code)) continue;
                Tally& t = tally[sat.satellite];
                if (!t.seen) {
                    t.seen = true;
                    order.push_back(sat.satellite);
                }
                ++t.count;
                if (v.value > 0.0 && v.value < 100.0) {
                    ++t.valid;
                    t.sum += v.value;
                }
            }
        }
    }
    std::vector<SatelliteSnrStats> out;
    out.reserve(order.size());
    for (std::uint32_t s : order) {
        const Tally& t = tally[s];
        out.push_back(SatelliteSnrStats{obs.satellites[s], static_cast<double>(t.count),
                                        static_cast<double>(t.valid),
                                        t.valid > 0 ? t.sum / static_cast<double>(t.valid) : 0.0});
    }
    return out;
}

namespace {

std::string join(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(',');
        out += items[i];
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> debug_info(const RinexObsData& obs) {
    std::vector<std::pair<std::string, std::string>> out;
    out.emplace_back("version", format_fixed(obs.version, 2));
    out.emplace_back("num_epochs", std::to_string(obs.epochs.size()));
    out.emplace_back("num_satellites", std::to_string(obs.satellites.size()));
    for (const auto& group : satellites_by_system(obs)) {
        std::string letter(1, group.system);
        out.emplace_back(letter + "_satellites", std::to_string(group.satellites.size()));
        out.emplace_back(letter + "_sat_list", join(group.satellites));
    }
    for (const auto& t : obs.obs_types) {
        std::string letter(1, t.system);
        std::vector<std::string> snr;
        for (const auto& code : t.codes) {
            if (!code.empty() && code[0] == 'S') snr.push_back(code);
        }
        out.emplace_back(letter + "_obs_types_count", std::to_string(t.codes.size()));
        out.emplace_back(letter + "_obs_types", join(t.codes));
        out.emplace_back(letter + "_snr_types", join(snr));
    }
    return out;
}

std::string describe(const RinexObsData& obs) {
    return "RinexObsData(version=" + format_fixed(obs.version, 2) +
           ", epochs=" + std::to_string(obs.epochs.size()) +
           ", satellites=" + std::to_string(obs.satellites.size()) + ")";
}

}  // namespace qcn0
