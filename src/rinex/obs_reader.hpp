// Reading a RINEX observation file (versions 2 and 3) from its text.
#pragma once

#include <memory>
#include <string_view>

#include "compression/observation_sink.hpp"
#include "core/expected.hpp"
#include "rinex/obs_data.hpp"

namespace qcn0 {

// Reads the header and every usable epoch. The reader is lenient: unusable lines are skipped,
// unreadable fields store nothing, epochs without values are dropped. The only failure is
// "No END OF HEADER found". `filename` stands in for an empty marker name.
Expected<RinexObsData> read_observation_text(std::string_view bytes, std::string_view filename);

// The same reader taking the text a line at a time, so that a file need never be whole in
// memory: from a file read piece by piece, or from a decoder that hands over its lines (and
// the values of satellite records without their text) as it decodes them. The result is the
// same as reading the whole text at once.
class ObservationReader final : public ObservationSink {
  public:
    // `text_bytes`: about how long the text is, to size the arrays once.
    ObservationReader(std::string_view filename, std::size_t text_bytes);
    ~ObservationReader() override;
    ObservationReader(const ObservationReader&) = delete;
    ObservationReader& operator=(const ObservationReader&) = delete;

    void line(std::string_view text) override;
    bool satellite(const char* id, const std::int64_t* thousandths, const char* flags,
                   std::size_t fields) override;
    // The file read so far; call once, after the last line.
    Expected<RinexObsData> finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// RINEX 2 observation codes in their RINEX 3 form (C1 -> C1C, P2 -> C2P, ...); other
// two-character codes come back unchanged.
std::string_view convert_rinex2_code(std::string_view code);

}  // namespace qcn0
