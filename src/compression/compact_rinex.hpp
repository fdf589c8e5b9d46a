// Decoding Compact RINEX (Hatanaka compression) back into RINEX observation text.
//
// Compact RINEX 1.0 holds RINEX 2 observations and 3.0 holds RINEX 3 (and 4) observations.
// The header is the RINEX header behind two lines of its own; every epoch then becomes
//   - the epoch line, differenced character by character against the previous epoch line,
//     with the whole satellite list on it ("&" or ">" in column 0 starts afresh);
//   - a line with the receiver clock offset as a differenced integer (empty when absent);
//   - one line per satellite: the observations as differenced integers separated by single
//     blanks (an empty field is a missing observation, "n&value" starts an arc of order n),
//     then the LLI and signal-strength flags differenced character by character.
// Event epochs (flags 2 to 6) are kept as they are, followed by their special records, and
// everything after them starts afresh.
#pragma once

#include <string>
#include <string_view>

#include "compression/decode_limits.hpp"
#include "core/expected.hpp"

namespace qcn0 {

class ObservationSink;
class PageBuffer;

// True when the first line carries the label "CRINEX VERS   / TYPE" in column 60.
bool is_compact_rinex(std::string_view bytes);

// The RINEX text, byte-identical to what the reference decoder CRX2RNX writes for a valid
// file. Fails with a message naming the problem and its line for anything malformed or
// truncated, or when the text would exceed `max_output` bytes.
Expected<std::string> decode_compact_rinex(std::string_view text,
                                           std::size_t max_output = kDefaultMaxDecodedBytes);

// Decodes into `sink` as decoding goes on, with the same checks and messages, so that the
// decoded text is never whole in memory; satellite records of ordinary epochs go over as numbers
// where the sink takes them. With `pages` (the buffer that holds `text`), the part of the text
// already decoded is given back to the system epoch by epoch. Against `max_output` a satellite
// record handed over as numbers counts at the longest its text can be.
Expected<bool> decode_compact_rinex_into(std::string_view text, ObservationSink& sink,
                                         std::size_t max_output = kDefaultMaxDecodedBytes,
                                         PageBuffer* pages = nullptr);

}  // namespace qcn0
