// The two kinds of broadcast ephemeris record a navigation file holds.
#pragma once

#include <cstdint>

#include "core/epoch_time.hpp"

namespace qcn0 {

// One broadcast record of GPS, QZSS, Galileo or BeiDou: the Keplerian orbit elements and the
// clock polynomial, in the units of the file (seconds, radians, metres).
struct KeplerEphemeris {
    char system = 'G';  // constellation letter; RINEX 2 GPS files have none and read as 'G'
    std::uint32_t prn = 0;
    EpochTime epoch;         // time of clock, as written
    double af0 = 0.0;        // clock bias, s
    double af1 = 0.0;        // clock drift, s/s
    double af2 = 0.0;        // clock drift rate, s/s^2
    double iode = 0.0;       // issue of data
    double crs = 0.0;        // m
    double delta_n = 0.0;    // rad/s
    double m0 = 0.0;         // rad
    double cuc = 0.0;        // rad
    double e = 0.0;          // eccentricity
    double cus = 0.0;        // rad
    double sqrt_a = 0.0;     // m^1/2
    double toe = 0.0;        // time of ephemeris, s of week
    double cic = 0.0;        // rad
    double omega0 = 0.0;     // rad
    double cis = 0.0;        // rad
    double i0 = 0.0;         // rad
    double crc = 0.0;        // m
    double omega = 0.0;      // argument of perigee, rad
    double omega_dot = 0.0;  // rad/s
    double idot = 0.0;       // rad/s
    std::int32_t week = 0;

    bool operator==(const KeplerEphemeris&) const = default;
};

// One GLONASS record: the state vector at the time of clock, in metres (the file writes
// kilometres; the reader converts).
struct GlonassEphemeris {
    std::uint32_t slot = 0;
    EpochTime epoch;                     // time of clock, as written
    double clock_bias = 0.0;             // -TauN, s
    double freq_bias = 0.0;              // +GammaN
    double message_time = 0.0;           // message frame time, s
    double x = 0.0, vx = 0.0, ax = 0.0;  // m, m/s, m/s^2
    double y = 0.0, vy = 0.0, ay = 0.0;
    double z = 0.0, vz = 0.0, az = 0.0;
    std::int32_t frequency_channel = 0;  // channel number k

    bool operator==(const GlonassEphemeris&) const = default;
};

}  // namespace qcn0
