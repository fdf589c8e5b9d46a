#include "navigation/look_angles.hpp"

#include <cmath>

#include "navigation/geodetic.hpp"

namespace qcn0 {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kDegreesPerRadian = 57.29577951308232;

}  // namespace

LocalFrame local_frame(const Ecef& receiver) {
    // The frame's angles are the geodetic degrees converted back to radians, so a frame built
    // once gives exactly what a conversion per call would.
    const Geodetic g = ecef_to_geodetic(receiver);
    const double lat = g.latitude * kRadiansPerDegree;
    const double lon = g.longitude * kRadiansPerDegree;
    return LocalFrame{receiver, std::sin(lat), std::cos(lat), std::sin(lon), std::cos(lon)};
}

namespace {

struct Enu {
    double east, north, up;
};

// The satellite's offset from the receiver in the receiver's east-north-up frame.
Enu to_enu(const LocalFrame& f, const Ecef& sat) {
    const double dx = sat.x - f.origin.x;
    const double dy = sat.y - f.origin.y;
    const double dz = sat.z - f.origin.z;
    return Enu{-f.sin_lon * dx + f.cos_lon * dy,
               -f.sin_lat * f.cos_lon * dx - f.sin_lat * f.sin_lon * dy + f.cos_lat * dz,
               f.cos_lat * f.cos_lon * dx + f.cos_lat * f.sin_lon * dy + f.sin_lat * dz};
}

double elevation_of(const Enu& v) {
    return std::atan2(v.up, std::sqrt(v.east * v.east + v.north * v.north)) * kDegreesPerRadian;
}

}  // namespace

LookAngles look_angles(const LocalFrame& f, const Ecef& sat) {
    const Enu v = to_enu(f, sat);
    double azimuth = std::atan2(v.east, v.north) * kDegreesPerRadian;
    if (azimuth < 0.0) azimuth += 360.0;
    return LookAngles{azimuth, elevation_of(v)};
}

double elevation_angle(const LocalFrame& f, const Ecef& sat) { return elevation_of(to_enu(f, sat)); }

LookAngles look_angles(const Ecef& receiver, const Ecef& satellite) {
    return look_angles(local_frame(receiver), satellite);
}

}  // namespace qcn0
