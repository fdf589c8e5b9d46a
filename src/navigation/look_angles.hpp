// Azimuth and elevation of a satellite seen from a receiver.
#pragma once

#include "navigation/coordinates.hpp"

namespace qcn0 {

// The receiver's local east-north-up frame. Building it costs a geodetic conversion, so an
// analysis builds it once per receiver and reuses it for every satellite and epoch.
struct LocalFrame {
    Ecef origin;
    double sin_lat = 0.0, cos_lat = 0.0;
    double sin_lon = 0.0, cos_lon = 0.0;
};

LocalFrame local_frame(const Ecef& receiver);

// Azimuth in [0, 360) and elevation, both in degrees.
LookAngles look_angles(const LocalFrame& frame, const Ecef& satellite);
LookAngles look_angles(const Ecef& receiver, const Ecef& satellite);

// The elevation alone, exactly as look_angles computes it (degrees).
double elevation_angle(const LocalFrame& frame, const Ecef& satellite);

}  // namespace qcn0
