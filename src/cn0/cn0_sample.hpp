// The accepted C/N0 values of one analysis. Every statistic, series and anomaly is computed from
// this list.
//
// Texts are held once in tables and referred to by index: a full day of a multi-constellation
// station yields millions of samples, and each would otherwise carry a timestamp, an identifier, a
// constellation name and a code of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qcn0 {

struct Cn0Sample {
    // Index into SampleSet::timestamps. Timestamps are numbered in ascending text order (for
    // these fixed-width texts, time order), so comparing indices compares timestamps, and two
    // epochs written with the same time share one index.
    std::uint32_t time;
    std::uint32_t satellite;  // index into SampleSet::satellites
    std::uint32_t signal;     // index into SampleSet::signals
    char system;              // first character of the identifier ('G' for an empty one)
    double cn0;               // dB-Hz
    double elevation;         // degrees
    double azimuth;           // degrees
};

struct SampleSet {
    std::vector<std::string> timestamps;  // distinct, ascending (YYYY-MM-DDTHH:MM:SS.sssZ)
    std::vector<std::string> satellites;  // identifiers, as in the observation file
    std::vector<std::string> signals;     // observation codes, e.g. "S1C"
    std::vector<Cn0Sample> samples;       // in collection order
    // Seconds of each timestamp after the first one (same numbering as timestamps).
    std::vector<double> seconds;
    // Per satellite: 1 when its samples carry look angles from an orbit, 0 when they sit at the
    // stand-in 45 degrees.
    std::vector<std::uint8_t> positioned;

    // Constellation name of a sample: "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "SBAS",
    // else "Unknown" (IRNSS included).
    static std::string_view constellation_of(const Cn0Sample& s);
};

}  // namespace qcn0
