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

LookAngles look_angles(const LocalFrame& f, const Ecef& sat) {
    const double dx = sat.x - f.origin.x;
    const double dy = sat.y - f.origin.y;
    const double dz = sat.z - f.origin.z;
    const double east = -f.sin_lon * dx + f.cos_lon * dy;
    const double north = -f.sin_lat * f.cos_lon * dx - f.sin_lat * f.sin_lon * dy + f.cos_lat * dz;
    const double up = f.cos_lat * f.cos_lon * dx + f.cos_lat * f.sin_lon * dy + f.sin_lat * dz;
    double azimuth = std::atan2(east, north) * kDegreesPerRadian;
    if (azimuth < 0.0) azimuth += 360.0;
    const double elevation =
        std::atan2(up, std::sqrt(east * east + north * north)) * kDegreesPerRadian;
    return LookAngles{azimuth, elevation};
}

double elevation_angle(const LocalFrame& f, const Ecef& sat) {
    const double dx = sat.x - f.origin.x;
    const double dy = sat.y - f.origin.y;
    const double dz = sat.z - f.origin.z;
    const double east = -f.sin_lon * dx + f.cos_lon * dy;
    const double north = -f.sin_lat * f.cos_lon * dx - f.sin_lat * f.sin_lon * dy + f.cos_lat * dz;
    const double up = f.cos_lat * f.cos_lon * dx + f.cos_lat * f.sin_lon * dy + f.sin_lat * dz;
    return std::atan2(up, std::sqrt(east * east + north * north)) * kDegreesPerRadian;
}

LookAngles look_angles(const Ecef& receiver, const Ecef& satellite) {
    return look_angles(local_frame(receiver), satellite);
}

}  // namespace qcn0
