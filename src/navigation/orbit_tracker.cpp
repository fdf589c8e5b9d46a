#include "navigation/orbit_tracker.hpp"

#include <algorithm>
#include <cmath>

#include "navigation/kepler_orbit.hpp"
#include "navigation/record_choice.hpp"

namespace qcn0 {

OrbitTracker::OrbitTracker(SatelliteEphemerides satellite) : satellite_(satellite) {
    const std::vector<double>* days = nullptr;
    if (satellite_.kepler != nullptr) days = &satellite_.kepler->day_numbers;
    if (satellite_.glonass != nullptr) {
        days = &satellite_.glonass->day_numbers;
        steps_.resize(days->size());
    }
    if (days == nullptr) return;
    by_day_.resize(days->size());
    for (std::size_t i = 0; i < days->size(); ++i) by_day_[i] = static_cast<std::uint32_t>(i);
    // NaN day numbers (unreadable epochs never make records, but be safe) sort last and are never
    // within a window, as in the scan.
    std::stable_sort(by_day_.begin(), by_day_.end(), [days](std::uint32_t a, std::uint32_t b) {
        const double x = (*days)[a], y = (*days)[b];
        if (std::isnan(y)) return !std::isnan(x);
        return x < y;
    });
    sorted_days_.resize(days->size());
    for (std::size_t i = 0; i < by_day_.size(); ++i) sorted_days_[i] = (*days)[by_day_[i]];
}

std::size_t OrbitTracker::nearest(const std::vector<double>& days, double day, double window) const {
    (void)days;
    const std::size_t n = sorted_days_.size();
    if (n == 0 || std::isnan(day)) return kNoRecord;
    // Records before the first NaN day number are ordered; the distance |d - day| falls towards
    // the insertion point from both sides (floating-point subtraction is monotonic), so the
    // least distance is at one of its two neighbours.
    std::size_t valid = n;
    while (valid > 0 && std::isnan(sorted_days_[valid - 1])) --valid;
    const auto begin = sorted_days_.begin();
    const std::size_t pos = static_cast<std::size_t>(std::lower_bound(begin, begin + static_cast<std::ptrdiff_t>(valid), day) - begin);
    double best = 0.0;
    bool found = false;
    if (pos < valid) {
        best = std::fabs(sorted_days_[pos] - day);
        found = true;
    }
    if (pos > 0) {
        const double d = std::fabs(sorted_days_[pos - 1] - day);
        if (!found || d < best) best = d;
        found = true;
    }
    if (!found || !(best < window)) return kNoRecord;
    // Every record at exactly that distance lies next to the insertion point; the scan would keep
    // the earliest of them in file order.
    std::size_t choice = kNoRecord;
    for (std::size_t i = pos; i < valid && std::fabs(sorted_days_[i] - day) == best; ++i) {
        choice = std::min<std::size_t>(choice, by_day_[i]);
    }
    for (std::size_t i = pos; i > 0 && std::fabs(sorted_days_[i - 1] - day) == best; --i) {
        choice = std::min<std::size_t>(choice, by_day_[i - 1]);
    }
    return choice;
}

std::optional<Ecef> OrbitTracker::position_on_day(double day) {
    if (const auto* s = satellite_.kepler) {
        const std::size_t i = nearest(s->day_numbers, day, kKeplerSelectionWindow);
        if (i == kNoRecord) return std::nullopt;
        return kepler_position_on_day(s->records[i], day);
    }
    if (const auto* s = satellite_.glonass) {
        const std::size_t i = nearest(s->day_numbers, day, kGlonassSelectionWindow);
        if (i == kNoRecord) return std::nullopt;
        return glonass_propagate_on_day(s->records[i], s->day_numbers[i], day, steps_[i]);
    }
    return std::nullopt;
}

}  // namespace qcn0
