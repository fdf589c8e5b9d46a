#include "navigation/geodetic.hpp"

#include <cmath>

namespace qcn0 {

namespace {

constexpr double kSemiMajorAxis = 6378137.0;  // m
constexpr double kEccentricitySquared = 0.0066943799901413165;
constexpr double kOneMinusE2 = 0.9933056200098587;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kLatitudeUpdates = 10;

}  // namespace

Geodetic ecef_to_geodetic(const Ecef& pos) {
    const double lon = std::atan2(pos.y, pos.x);
    const double p = std::sqrt(pos.x * pos.x + pos.y * pos.y);
    double lat = std::atan2(pos.z, p * kOneMinusE2);
    for (int k = 0; k < kLatitudeUpdates; ++k) {
        const double sin_lat = std::sin(lat);
        const double n = kSemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * sin_lat * sin_lat);
        lat = std::atan2(pos.z + kEccentricitySquared * n * sin_lat, p);
    }
    const double sin_lat = std::sin(lat);
    const double n = kSemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * sin_lat * sin_lat);
    const double cos_lat = std::cos(lat);
    // Near the poles p / cos(lat) loses all precision; there the height is measured along Z.
    const double height =
        std::fabs(cos_lat) > 1e-10 ? p / cos_lat - n : std::fabs(pos.z) - n * kOneMinusE2;
    return Geodetic{lat * kDegreesPerRadian, lon * kDegreesPerRadian, height};
}

}  // namespace qcn0
