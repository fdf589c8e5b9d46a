#include "compression/observation_type_counts.hpp"

#include "core/text.hpp"

namespace qcn0 {

namespace {

bool label_is(std::string_view line, std::string_view label) {
    return trim(columns_from(line, 60)).substr(0, label.size()) == label;
}

// A count field: blank-padded decimal digits within 0..kMaxTypes; -1 when malformed.
int parse_count(std::string_view field) {
    std::string_view digits = trim(field);
    if (digits.empty() || digits.size() > 3) return -1;
    int n = 0;
    for (char c : digits) {
        if (!is_digit(c)) return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

bool ObservationTypeCounts::read_header_line(std::string_view line) {
    if (rinex3_) {
        if (!label_is(line, "SYS / # / OBS TYPES")) return true;
        // Column 0 names the system; a blank there marks a continuation of the codes.
        if (line.empty() || line[0] == ' ') return true;
        const int n = parse_count(columns(line, 1, 6));
        if (n < 0) return false;
        counts_[static_cast<unsigned char>(line[0])] = n;
        return true;
    }
    if (!label_is(line, "# / TYPES OF OBSERV")) return true;
    // Continuation lines leave the count field (columns 0..6) blank.
    if (trim(columns(line, 0, 6)).empty()) return true;
    const int n = parse_count(columns(line, 0, 6));
    if (n < 0) return false;
    common_ = n;
    return true;
}

}  // namespace qcn0
