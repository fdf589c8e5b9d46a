#include "rinex/obs_grid.hpp"

#include <algorithm>
#include <limits>
#include <string_view>

#include "rinex/obs_reader.hpp"

namespace qcn0 {

namespace {

bool wanted_system(const ObsGridFilter& f, char letter) {
    if (!f.systems) return true;
    return std::any_of(f.systems->begin(), f.systems->end(), [&](const std::string& s) {
        return s.size() == 1 && s[0] == letter;
    });
}

bool wanted_code(const ObsGridFilter& f, std::string_view code, bool rinex2) {
    if (f.snr_only && (code.empty() || code[0] != 'S')) return false;
    if (!f.codes) return true;
    for (const std::string& m : *f.codes) {
        if (rinex2 && m.size() == 2) {
            const std::string_view converted = convert_rinex2_code(m);
            if (converted != m) {
                if (converted == code) return true;
                continue;
            }
        }
        if (code.substr(0, m.size()) == m) return true;
    }
    return false;
}

template <typename T>
void fill(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides st, std::span<T> out) {
    std::fill(out.begin(), out.end(), std::numeric_limits<T>::quiet_NaN());
    if (layout.satellites.empty() || layout.codes.empty()) return;
    for (std::size_t e = 0; e < obs.epochs.size(); ++e) {
        T* row = out.data() + e * st.row;
        for (const SatelliteObservations& entry : obs.satellites_of(obs.epochs[e])) {
            const std::int32_t column = layout.column_of[entry.satellite];
            if (column < 0) continue;
            T* cell = row + static_cast<std::size_t>(column) * st.column;
            for (const StoredValue& v : obs.values_of(entry)) {
                const std::int32_t layer = layout.layer_of[v.code];
                if (layer >= 0) cell[static_cast<std::size_t>(layer) * st.layer] = static_cast<T>(v.value);
            }
        }
    }
}

}  // namespace

ObsGridLayout plan_obs_grid(const RinexObsData& obs, const ObsGridFilter& filter) {
    ObsGridLayout layout;
    const bool rinex2 = obs.version < 3.0;

    for (std::uint32_t s = 0; s < obs.satellites.size(); ++s) {
        if (wanted_system(filter, obs.system_of(s))) layout.satellites.push_back(s);
    }
    std::sort(layout.satellites.begin(), layout.satellites.end(),
              [&](std::uint32_t a, std::uint32_t b) { return obs.satellites[a] < obs.satellites[b]; });
    layout.column_of.assign(obs.satellites.size(), -1);
    for (std::size_t c = 0; c < layout.satellites.size(); ++c) {
        layout.column_of[layout.satellites[c]] = static_cast<std::int32_t>(c);
    }

    // Every satellite of a RINEX 2 file is read with the G list, whatever its system; in RINEX 3
    // each kept system brings its own list.
    auto add_codes = [&](const std::vector<std::string>& codes) {
        for (const std::string& code : codes) {
            if (wanted_code(filter, code, rinex2) &&
                std::find(layout.codes.begin(), layout.codes.end(), code) == layout.codes.end()) {
                layout.codes.push_back(code);
            }
        }
    };
    if (rinex2) {
        if (const auto* g = obs.obs_types_of('G')) add_codes(*g);
    } else {
        for (const SystemObsTypes& t : obs.obs_types) {
            if (wanted_system(filter, t.system)) add_codes(t.codes);
        }
    }
    layout.layer_of.assign(obs.codes.size(), -1);
    for (std::size_t c = 0; c < obs.codes.size(); ++c) {
        const auto it = std::find(layout.codes.begin(), layout.codes.end(), obs.codes[c]);
        if (it != layout.codes.end()) layout.layer_of[c] = static_cast<std::int32_t>(it - layout.codes.begin());
    }
    return layout;
}

void fill_obs_grid(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides strides,
                   std::span<double> out) {
    fill(obs, layout, strides, out);
}
void fill_obs_grid(const RinexObsData& obs, const ObsGridLayout& layout, GridStrides strides,
                   std::span<float> out) {
    fill(obs, layout, strides, out);
}

}  // namespace qcn0
