#include "navigation/kepler_orbit.hpp"

#include <cmath>

#include "navigation/record_choice.hpp"

namespace qcn0 {

namespace {

constexpr double kGm = 3.986005e14;                 // m^3/s^2
constexpr double kEarthRotation = 7.2921151467e-5;  // rad/s
constexpr double kWeekStartDay = 2444244.5;         // Julian date of 1980-01-06 00:00
constexpr double kHalfWeek = 302400.0;
constexpr double kWeek = 604800.0;
constexpr int kKeplerSteps = 10;

}  // namespace

const KeplerEphemeris* select_kepler_ephemeris(std::span<const KeplerEphemeris> records,
                                               const EpochTime& epoch) {
    const std::size_t i =
        nearest_record(records.size(), julian_day_number(epoch), kKeplerSelectionWindow,
                       [&](std::size_t k) { return julian_day_number(records[k].epoch); });
    return i == kNoRecord ? nullptr : &records[i];
}

Ecef kepler_position(const KeplerEphemeris& r, const EpochTime& epoch) {
    return kepler_position_on_day(r, julian_day_number(epoch));
}

Ecef kepler_position_on_day(const KeplerEphemeris& r, double day_number) {
    // Seconds into the week of the epoch, from its Julian date.
    const double jd = day_number - 0.5;
    const double days = jd - kWeekStartDay;
    const double t = (days - 7.0 * std::floor(days / 7.0)) * 86400.0;
    double tk = t - r.toe;
    if (tk > kHalfWeek) {
        tk -= kWeek;
    } else if (tk < -kHalfWeek) {
        tk += kWeek;
    }

    const double a = r.sqrt_a * r.sqrt_a;
    const double n = std::sqrt(kGm / (a * a * a)) + r.delta_n;
    const double m = r.m0 + n * tk;

    // Ten Newton steps on Kepler's equation. Once a step leaves E unchanged (to the bit, sign of
    // zero included) every later step would too, so stopping there gives the ten-step value.
    // The sine and cosine of the fixed point are those its last step computed, so they are kept.
    double ecc = m;
    double sin_e = 0.0, cos_e = 0.0;
    bool have_trig = false;
    for (int k = 0; k < kKeplerSteps; ++k) {
        sin_e = std::sin(ecc);
        cos_e = std::cos(ecc);
        const double next = ecc - (ecc - r.e * sin_e - m) / (1.0 - r.e * cos_e);
        if (next == ecc && std::signbit(next) == std::signbit(ecc)) {
            have_trig = true;
            break;
        }
        ecc = next;
    }
    if (!have_trig) {
        sin_e = std::sin(ecc);
        cos_e = std::cos(ecc);
    }

    const double nu = std::atan2(std::sqrt(1.0 - r.e * r.e) * sin_e, cos_e - r.e);
    const double phi = nu + r.omega;
    const double s = std::sin(2.0 * phi);
    const double c = std::cos(2.0 * phi);
    const double u = phi + r.cus * s + r.cuc * c;
    const double radius = a * (1.0 - r.e * cos_e) + r.crs * s + r.crc * c;
    const double inc = r.i0 + r.idot * tk + r.cis * s + r.cic * c;

    const double xp = radius * std::cos(u);
    const double yp = radius * std::sin(u);
    const double node = r.omega0 + (r.omega_dot - kEarthRotation) * tk - kEarthRotation * r.toe;
    const double cos_node = std::cos(node);
    const double sin_node = std::sin(node);
    const double cos_i = std::cos(inc);
    return Ecef{xp * cos_node - yp * cos_i * sin_node, xp * sin_node + yp * cos_i * cos_node,
                yp * std::sin(inc)};
}

}  // namespace qcn0
