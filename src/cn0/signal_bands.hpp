// Carrier bands: which signals a broadband interferer hits together.
//
// A jammer raises the noise floor of a frequency band, so every signal whose carrier lies in that
// band loses the same number of dB at once, whatever its constellation. Signals are therefore
// grouped by band, under the names network monitors use:
//
//   L1   1575.42 MHz  GPS L1, QZSS L1, SBAS L1, Galileo E1, BeiDou B1C (1) and B1I (2), NavIC L1
//   G1   1602 MHz     GLONASS G1, and its CDMA L1OC (4) at 1600.995 MHz
//   L2   1227.60 MHz  GPS L2, QZSS L2
//   G2   1246 MHz     GLONASS G2, and its CDMA L2OC (6) at 1248.06 MHz
//   L5   1176.45 MHz  GPS L5, QZSS L5, SBAS L5, Galileo E5a (5) and E5 AltBOC (8), BeiDou B2a (5)
//                     and B2a+b (8), NavIC L5
//   E5b  1207.14 MHz  Galileo E5b (7), BeiDou B2I/B2b (7), GLONASS G3 (3) at 1202.025 MHz
//   E6   1278.75 MHz  Galileo E6 (6), BeiDou B3 (6), QZSS L6 (6)
//
// The full E5 AltBOC signals (code digit 8) span E5a and E5b; they are counted with L5, where
// their centre frequency (1191.795 MHz) sits closer to the wider E5a lobe's receivers.
// NavIC S band (9) and anything unknown has no band and takes no part in band tests.
#pragma once

#include <array>
#include <string_view>

namespace qcn0 {

inline constexpr std::array<std::string_view, 7> kBandNames = {"L1", "G1", "L2", "G2", "L5", "E5b", "E6"};
inline constexpr int kNoBand = -1;

// Index into kBandNames of an observation code ("S1C", or "S1" in RINEX 2) of a constellation
// (system letter), or kNoBand.
int band_of(char system, std::string_view code);

}  // namespace qcn0
