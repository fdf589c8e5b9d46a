// Where decoded observation text goes when it is read at once instead of being kept.
//
// A decoder hands over the RINEX text line by line. For the satellite records of ordinary
// epochs it may hand over the numbers it holds instead of their text, saving the round trip
// through decimal digits; a receiver that cannot take them in that form says so, and the
// decoder then writes the text lines after all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qcn0 {

// A field without an observation, among the values handed to `ObservationSink::satellite`.
inline constexpr std::int64_t kBlankObservation = INT64_MIN;

class ObservationSink {
  public:
    virtual ~ObservationSink() = default;

    // The next line of text, without its line end.
    virtual void line(std::string_view text) = 0;

    // The record of one satellite in an ordinary epoch, standing for the line (RINEX 3) or
    // lines (RINEX 2, five fields a line) the decoder would write: `id` is the three characters
    // the RINEX 3 line would start with; `thousandths[i]` is field i as a count of thousandths
    // (kBlankObservation when blank) and `flags[2 i]`, `flags[2 i + 1]` its loss-of-lock and
    // signal-strength characters. Returns false when the sink needs the text lines instead.
    virtual bool satellite(const char* id, const std::int64_t* thousandths, const char* flags,
                           std::size_t fields) = 0;
};

}  // namespace qcn0
