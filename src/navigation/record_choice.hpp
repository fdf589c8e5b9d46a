// Choosing the broadcast record nearest in time to an epoch.
#pragma once

#include <cmath>
#include <cstddef>

namespace qcn0 {

constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

// Index of the record whose day number (day_of(i), a julian_day_number) is nearest to `target`
// among those less than `window` days away, scanning in list order; a later record replaces the
// candidate only when strictly nearer, so ties keep the earlier one. kNoRecord when none is
// within the window.
template <typename DayOf>
std::size_t nearest_record(std::size_t count, double target, double window, DayOf&& day_of) {
    std::size_t best = kNoRecord;
    double best_distance = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double d = std::fabs(day_of(i) - target);
        if (d < window && (best == kNoRecord || d < best_distance)) {
            best = i;
            best_distance = d;
        }
    }
    return best;
}

}  // namespace qcn0
