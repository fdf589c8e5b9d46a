// How many observation fields each satellite line of a RINEX observation file carries, as
// declared by the header lines "# / TYPES OF OBSERV" (RINEX 2, one list for every system) and
// "SYS / # / OBS TYPES" (RINEX 3 and 4, one list per system letter). The same lines may appear
// again in the header records of an event epoch and then replace the earlier counts.
#pragma once

#include <array>
#include <string_view>

namespace qcn0 {

class ObservationTypeCounts {
  public:
    // Counts are capped: no receiver records this many types, and the cap bounds the state a
    // decoder keeps per satellite.
    static constexpr int kMaxTypes = 999;

    explicit ObservationTypeCounts(bool rinex3) : rinex3_(rinex3) { counts_.fill(-1); }

    // Takes the count from a header line if it declares one. Continuation lines (no count) and
    // lines with other labels change nothing. Returns false for a declaration whose count is
    // not a number from 0 to kMaxTypes.
    bool read_header_line(std::string_view line);

    // The number of fields for a satellite of the system `letter`, or -1 when none was declared.
    int count_for(char letter) const {
        if (!rinex3_) return common_;
        return counts_[static_cast<unsigned char>(letter)];
    }

  private:
    bool rinex3_;
    int common_ = -1;
    std::array<int, 256> counts_;
};

}  // namespace qcn0
