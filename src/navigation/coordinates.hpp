// Position and direction values of the orbit computations.
#pragma once

namespace qcn0 {

// Earth-centred, Earth-fixed position, metres.
struct Ecef {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    bool operator==(const Ecef&) const = default;
};

// WGS-84 latitude and longitude in degrees, ellipsoidal height in metres.
struct Geodetic {
    double latitude = 0.0;
    double longitude = 0.0;
    double height = 0.0;
};

// Direction from a receiver to a satellite, degrees: azimuth in [0, 360) clockwise from north,
// elevation above the local horizon.
struct LookAngles {
    double azimuth = 0.0;
    double elevation = 0.0;
};

}  // namespace qcn0
