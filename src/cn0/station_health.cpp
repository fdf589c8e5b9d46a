#include "cn0/station_health.hpp"

#include <algorithm>
#include <cmath>

#include "cn0/signal_bands.hpp"

namespace qcn0 {

namespace {

constexpr double kPassBreakSeconds = 600.0;  // without orbits, a longer absence ends a pass

double spacing(const std::vector<double>& seconds, double interval) {
    if (interval > 0.0) return interval;
    std::vector<double> d;
    for (std::size_t i = 1; i < seconds.size(); ++i) {
        if (seconds[i] > seconds[i - 1]) d.push_back(seconds[i] - seconds[i - 1]);
    }
    if (d.empty()) return 0.0;
    std::nth_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(d.size() / 2), d.end());
    return d[d.size() / 2];
}

}  // namespace

StationHealth assess_health(const SampleSet& set, const PredictedSky* sky, double interval) {
    StationHealth health;
    const std::size_t n_sats = set.satellites.size();

    // C/N0 against elevation, per band, in 10-degree bins.
    struct Bin {
        double sum = 0.0;
        std::uint64_t count = 0;
    };
    std::vector<std::array<Bin, 9>> bins(kBandNames.size());
    std::vector<int> band_of_signal(set.signals.size() * 128, kNoBand - 1);  // per code and letter
    // Distinct codes per system letter, for the expected signal count.
    std::vector<std::uint8_t> letter_code(128 * set.signals.size(), 0);
    std::uint64_t codes_per_letter[128] = {};
    for (const Cn0Sample& s : set.samples) {
        const auto letter = static_cast<unsigned char>(s.system) & 127U;
        int& band = band_of_signal[s.signal * 128 + letter];
        if (band == kNoBand - 1) band = band_of(s.system, set.signals[s.signal]);
        std::uint8_t& seen = letter_code[letter * set.signals.size() + s.signal];
        if (!seen) {
            seen = 1;
            ++codes_per_letter[letter];
        }
        if (band == kNoBand) continue;
        if (std::isnan(s.elevation)) continue;  // a degenerate orbit; limited before the conversion
        const int b = static_cast<int>(std::clamp(std::floor(s.elevation / 10.0), 0.0, 8.0));
        Bin& bin = bins[static_cast<std::size_t>(band)][static_cast<std::size_t>(b)];
        bin.sum += s.cn0;
        ++bin.count;
    }
    for (std::size_t b = 0; b < kBandNames.size(); ++b) {
        StationHealth::BandProfile profile{std::string(kBandNames[b]), {}};
        bool any = false;
        for (std::size_t i = 0; i < 9; ++i) {
            if (bins[b][i].count == 0) continue;
            profile.mean_cn0[i] = bins[b][i].sum / static_cast<double>(bins[b][i].count);
            any = true;
        }
        if (any) health.cn0_by_elevation.push_back(std::move(profile));
    }

    // Completeness: signal-epochs observed over those the orbits put above the mask, counting
    // for each constellation the codes this receiver tracked for it.
    if (sky != nullptr) {
        std::uint64_t expected = 0;
        for (std::size_t letter = 0; letter < 128; ++letter) {
            expected += sky->predicted_per_letter[letter] * codes_per_letter[letter];
        }
        if (expected > 0) {
            health.completeness_percent = 100.0 * static_cast<double>(sky->observed_signal_epochs) /
                                          static_cast<double>(expected);
        }
    }

    // Gaps inside passes: per satellite, the epochs missing between two epochs at which it had
    // samples, unless the pass ended between them.
    const double step = spacing(set.seconds, interval);
    if (step <= 0.0) return health;
    std::vector<std::vector<std::uint32_t>> times(n_sats);
    for (const Cn0Sample& s : set.samples) {
        auto& v = times[s.satellite];
        if (v.empty() || v.back() != s.time) v.push_back(s.time);
    }
    for (std::size_t sat = 0; sat < n_sats; ++sat) {
        auto& v = times[sat];
        if (v.size() < 2) continue;
        if (!std::is_sorted(v.begin(), v.end())) std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        bool orbit = false;
        if (sky != nullptr) {
            for (std::uint32_t t : v) orbit = orbit || sky->in_view(t, sat);
        }
        for (std::size_t i = 1; i < v.size(); ++i) {
            const double gap = set.seconds[v[i]] - set.seconds[v[i - 1]];
            const auto missing = static_cast<std::int64_t>(std::llround(gap / step)) - 1;
            if (missing <= 0) continue;
            bool same_pass = true;
            if (orbit) {
                for (std::uint32_t u = v[i - 1] + 1; u < v[i] && same_pass; ++u) same_pass = sky->in_view(u, sat);
            } else {
                same_pass = gap - step <= kPassBreakSeconds;
            }
            if (same_pass) health.in_pass_gap_epochs += static_cast<std::uint64_t>(missing);
        }
    }
    return health;
}

}  // namespace qcn0
