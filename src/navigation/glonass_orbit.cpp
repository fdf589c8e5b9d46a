#include "navigation/glonass_orbit.hpp"

#include <cmath>

#include "navigation/record_choice.hpp"

namespace qcn0 {

namespace {

constexpr double kGm = 3.9860044e14;                      // m^3/s^2
constexpr double kJ2Term = 66062825163.19413;             // 1.5 * J2 * ae^2, m^2
constexpr double kRotationSquared = 5.3174941173225e-09;  // rad^2/s^2
constexpr double kTwiceRotation = 1.458423e-4;            // rad/s
constexpr double kLongestInterval = 7200.0;               // s
constexpr double kStep = 60.0;                            // s

struct State {
    double x, y, z, vx, vy, vz;
};

struct Acceleration {
    double ax, ay, az;
};

// Derivative of the state: velocity, and the acceleration in the Earth-fixed frame.
inline State derivative(const State& s, const Acceleration& extra) {
    const double r = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    const double r2 = r * r;
    const double k = -kGm / (r2 * r);
    const double p = kJ2Term / r2;
    const double q = s.z * s.z / r2;
    const double radial = k * (1.0 + p * (1.0 - 5.0 * q));
    return State{s.vx,
                 s.vy,
                 s.vz,
                 radial * s.x + kRotationSquared * s.x + kTwiceRotation * s.vy + extra.ax,
                 radial * s.y + kRotationSquared * s.y - kTwiceRotation * s.vx + extra.ay,
                 k * s.z * (1.0 + p * (3.0 - 5.0 * q)) + extra.az};
}

inline State advance(const State& s, const State& d, double h) {
    return State{s.x + h * d.x,   s.y + h * d.y,   s.z + h * d.z,
                 s.vx + h * d.vx, s.vy + h * d.vy, s.vz + h * d.vz};
}

// One classical fourth-order Runge-Kutta step of length h.
inline State runge_kutta_step(const State& s, const Acceleration& extra, double h) {
    const double half = h / 2.0;
    const State k1 = derivative(s, extra);
    const State k2 = derivative(advance(s, k1, half), extra);
    const State k3 = derivative(advance(s, k2, half), extra);
    const State k4 = derivative(advance(s, k3, h), extra);
    const double w = h / 6.0;
    return State{s.x + w * (k1.x + 2.0 * k2.x + 2.0 * k3.x + k4.x),
                 s.y + w * (k1.y + 2.0 * k2.y + 2.0 * k3.y + k4.y),
                 s.z + w * (k1.z + 2.0 * k2.z + 2.0 * k3.z + k4.z),
                 s.vx + w * (k1.vx + 2.0 * k2.vx + 2.0 * k3.vx + k4.vx),
                 s.vy + w * (k1.vy + 2.0 * k2.vy + 2.0 * k3.vy + k4.vy),
                 s.vz + w * (k1.vz + 2.0 * k2.vz + 2.0 * k3.vz + k4.vz)};
}

}  // namespace

const GlonassEphemeris* select_glonass_ephemeris(std::span<const GlonassEphemeris> records,
                                                 const EpochTime& epoch) {
    const std::size_t i =
        nearest_record(records.size(), julian_day_number(epoch), kGlonassSelectionWindow,
                       [&](std::size_t k) { return julian_day_number(records[k].epoch); });
    return i == kNoRecord ? nullptr : &records[i];
}

std::optional<Ecef> glonass_propagate(const GlonassEphemeris& r, const EpochTime& epoch) {
    return glonass_propagate_on_day(r, julian_day_number(r.epoch), julian_day_number(epoch));
}

namespace {

// The integration from the record to dt seconds after it, reusing and extending the whole-step
// states of `cache` when one is given. Both paths run the same steps in the same order.
std::optional<Ecef> propagate(const GlonassEphemeris& r, double record_day, double day_number,
                              GlonassStepCache* cache) {
    // As seconds_between: target minus record, in seconds.
    const double dt = 86400.0 * (day_number - record_day);
    if (std::fabs(dt) > kLongestInterval) return std::nullopt;
    if (dt == 0.0 || std::isnan(dt)) return Ecef{r.x, r.y, r.z};
    const Acceleration extra{r.ax, r.ay, r.az};
    State s{r.x, r.y, r.z, r.vx, r.vy, r.vz};
    const double full_step = std::copysign(kStep, dt);
    std::vector<std::array<double, 6>>* steps = nullptr;
    if (cache != nullptr) steps = dt > 0.0 ? &cache->after : &cache->before;
    std::size_t k = 0;
    double elapsed = 0.0;
    while (std::fabs(elapsed) < std::fabs(dt)) {
        // elapsed is a whole number of full steps within a factor of two of dt, so dt - elapsed
        // is exact and the last step lands on dt; the bound only guards that reasoning.
        const double remaining = dt - elapsed;
        const bool whole = !(std::fabs(remaining) < kStep);
        const double h = whole ? full_step : remaining;
        if (whole && steps != nullptr && k < steps->size()) {
            const auto& c = (*steps)[k];
            s = State{c[0], c[1], c[2], c[3], c[4], c[5]};
        } else {
            s = runge_kutta_step(s, extra, h);
            if (whole && steps != nullptr) steps->push_back({s.x, s.y, s.z, s.vx, s.vy, s.vz});
        }
        if (whole) ++k;
        const double next = elapsed + h;
        if (next == elapsed) break;
        elapsed = next;
    }
    return Ecef{s.x, s.y, s.z};
}

}  // namespace

std::optional<Ecef> glonass_propagate_on_day(const GlonassEphemeris& r, double record_day,
                                             double day_number) {
    return propagate(r, record_day, day_number, nullptr);
}

std::optional<Ecef> glonass_propagate_on_day(const GlonassEphemeris& r, double record_day,
                                             double day_number, GlonassStepCache& cache) {
    return propagate(r, record_day, day_number, &cache);
}

std::optional<Ecef> glonass_position(std::span<const GlonassEphemeris> records,
                                     const EpochTime& epoch) {
    const GlonassEphemeris* r = select_glonass_ephemeris(records, epoch);
    if (r == nullptr) return std::nullopt;
    return glonass_propagate(*r, epoch);
}

}  // namespace qcn0
