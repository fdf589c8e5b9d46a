// The band-wise interference monitor.
//
// Broadband interference raises the noise floor of a carrier band: every signal in the band loses
// about the same number of dB at the same moment, and the weakest are lost. Multipath,
// obstructions and satellites setting move one signal at a time. So the monitor gives each signal
// (satellite + observation code) a nominal C/N0 and tests, epoch by epoch, the median deviation
// of all signals of a band from their nominal values:
//
// - with orbits, the nominal is the station's C/N0-versus-elevation curve for the band and
//   constellation, fitted on the file itself with robust bin medians, plus the signal's own
//   offset from it; the fit is repeated without the epochs of the events found, so that a long
//   event does not bend its own reference;
// - without, it is the median of the signal's last few values; during an event these references
//   are frozen, so that an event of any length is never absorbed into its own baseline.
//
// The threshold is a multiple of the band's own robust noise level (the spread of the median
// deviation over the file), kept between 1 and 2.2 dB, and a deviation must hold for two
// consecutive epochs: with a median over several signals the noise is nearly Gaussian, and two
// epochs beyond six standard deviations have a false-alarm rate far below one per hundred
// station-days (the calibration benchmark measures it on real stations).
//
// Spoofing shows differently: a simultaneous rise of a band, or a collapse of the spread of C/N0
// across one constellation's satellites (a single transmitter gives every satellite the same
// level and removes the rise of C/N0 with elevation).
#pragma once

#include <string>
#include <vector>

#include "cn0/cn0_sample.hpp"
#include "results/interference.hpp"

namespace qcn0 {

// Events in time order. `interval` is the file's nominal epoch spacing in seconds (0 when the
// header does not say; the spacing of the epochs is used then).
std::vector<InterferenceEvent> detect_interference_events(const SampleSet& set, double interval);

// "possible_spoofing" when some event is a rise or a flattening, else "interference" when some
// event is a drop, else "none".
std::string interference_verdict(const std::vector<InterferenceEvent>& events);

}  // namespace qcn0
