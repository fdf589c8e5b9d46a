// GLONASS broadcast orbits: the state vector of the nearest record integrated to the epoch.
#pragma once

#include <array>
#include <vector>

#include <optional>
#include <span>

#include "core/epoch_time.hpp"
#include "navigation/coordinates.hpp"
#include "navigation/ephemeris.hpp"

namespace qcn0 {

// Records are chosen within this many days (1 hour) of their time of clock.
constexpr double kGlonassSelectionWindow = 1.0 / 24.0;

// The record whose time of clock is nearest to the epoch among those less than one hour away
// (ties keep the earlier record), or null.
const GlonassEphemeris* select_glonass_ephemeris(std::span<const GlonassEphemeris> records,
                                                 const EpochTime& epoch);

// Position of the satellite at the epoch: the chosen record's state integrated with fourth-order
// Runge-Kutta in steps of 60 s (the last step shortened to what remains) under central gravity,
// the J2 term, the rotating frame and the record's constant extra acceleration. None when no
// record is within the hour or the interval exceeds 2 hours; the stored position itself at the
// record's own time.
std::optional<Ecef> glonass_position(std::span<const GlonassEphemeris> records,
                                     const EpochTime& epoch);

// The same integration from one given record (no selection; the 2-hour limit still applies).
std::optional<Ecef> glonass_propagate(const GlonassEphemeris& record, const EpochTime& epoch);
// The same with the epoch and the record's time of clock given as julian_day_number values.
std::optional<Ecef> glonass_propagate_on_day(const GlonassEphemeris& record, double record_day,
                                             double day_number);

// The states a record's integration passes through at whole steps (60 s, 120 s, ... after and
// before its time of clock). They depend on the record alone, so an analysis that asks for one
// satellite at many nearby epochs keeps them and integrates only the last, shortened step anew;
// the positions are exactly those of the integration from the record.
struct GlonassStepCache {
    std::vector<std::array<double, 6>> after;   // state after k + 1 full steps forward
    std::vector<std::array<double, 6>> before;  // state after k + 1 full steps backward
};

std::optional<Ecef> glonass_propagate_on_day(const GlonassEphemeris& record, double record_day,
                                             double day_number, GlonassStepCache& cache);

}  // namespace qcn0
