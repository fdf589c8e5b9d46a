// WGS-84 geodetic coordinates of an Earth-fixed position.
#pragma once

#include "navigation/coordinates.hpp"

namespace qcn0 {

// Latitude by a fixed ten updates of the usual iteration (so the cost is constant), longitude
// from atan2, height above the ellipsoid; on the polar axis the height comes from Z.
Geodetic ecef_to_geodetic(const Ecef& position);

}  // namespace qcn0
