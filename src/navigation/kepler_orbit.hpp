// Broadcast Keplerian orbits of GPS, QZSS, Galileo and BeiDou: choosing the record for an epoch
// and evaluating it. One model with the GPS constants serves all four systems; there are no
// clock, relativistic or light-time corrections.
#pragma once

#include <span>

#include "core/epoch_time.hpp"
#include "navigation/coordinates.hpp"
#include "navigation/ephemeris.hpp"

namespace qcn0 {

// Records are chosen within this many days (4 hours) of their time of clock.
constexpr double kKeplerSelectionWindow = 1.0 / 6.0;

// The record whose time of clock is nearest to the epoch, among those less than 4 hours away;
// of equally near records the earlier in the list. Null when none is that close.
const KeplerEphemeris* select_kepler_ephemeris(std::span<const KeplerEphemeris> records,
                                               const EpochTime& epoch);

// Position of the satellite at the epoch, the epoch read as a time of the record's own system.
// The record's week is not used: the epoch's second of week is compared with toe, and a
// difference of more than half a week is taken across the week boundary.
Ecef kepler_position(const KeplerEphemeris& record, const EpochTime& epoch);
// The same with the epoch given as its julian_day_number.
Ecef kepler_position_on_day(const KeplerEphemeris& record, double day_number);

}  // namespace qcn0
