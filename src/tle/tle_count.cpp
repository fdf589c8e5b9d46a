#include "tle/tle_count.hpp"

#include <cstdio>
#include <vector>

#include "core/lines.hpp"
#include "core/text.hpp"

namespace qcn0 {

namespace {

// Shortest complete lines of an element set: line 1 runs to its element-set number, line 2 to
// the end of its mean motion.
constexpr std::size_t kLine1Length = 61;
constexpr std::size_t kLine2Length = 63;
// Mean motion, revolutions per day: columns 52..63 of line 2.
constexpr std::size_t kMeanMotionStart = 52;
constexpr std::size_t kMeanMotionEnd = 63;

// Letters whose Unicode upper case holds Latin capitals: a name written "gpſ" or with a
// ligature reads as "GPS" or "FI" once upper-cased. Every other non-ASCII character stays
// outside the ASCII range when upper-cased, so it is kept as it is.
struct SpecialUpper {
    std::string_view from;
    std::string_view to;
};
constexpr SpecialUpper kSpecialUpper[] = {
    {"\xC3\x9F", "SS"},             // sharp s
    {"\xC4\xB1", "I"},              // dotless i
    {"\xC5\xBF", "S"},              // long s
    {"\xC5\x89", "\xCA\xBCN"},      // n preceded by apostrophe
    {"\xC7\xB0", "J\xCC\x8C"},      // j with caron
    {"\xE1\xBA\x96", "H\xCC\xB1"},  // h with line below
    {"\xE1\xBA\x97", "T\xCC\x88"},  // t with diaeresis
    {"\xE1\xBA\x98", "W\xCC\x8A"},  // w with ring above
    {"\xE1\xBA\x99", "Y\xCC\x8A"},  // y with ring above
    {"\xE1\xBA\x9A", "A\xCA\xBE"},  // a with right half ring
    {"\xEF\xAC\x80", "FF"},         // ligatures ff, fi, fl, ffi, ffl, long s t, st
    {"\xEF\xAC\x81", "FI"},
    {"\xEF\xAC\x82", "FL"},
    {"\xEF\xAC\x83", "FFI"},
    {"\xEF\xAC\x84", "FFL"},
    {"\xEF\xAC\x85", "ST"},
    {"\xEF\xAC\x86", "ST"},
};

std::string upper_case(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        const char c = name[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
            ++i;
            continue;
        }
        bool replaced = false;
        for (const auto& s : kSpecialUpper) {
            if (name.substr(i, s.from.size()) == s.from) {
                out += s.to;
                i += s.from.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out.push_back(name[i++]);
    }
    return out;
}

bool contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

// The run of digits starting at `from` as an unsigned 32-bit number; none when there is no
// digit there or the run is too long for the type.
std::optional<std::uint32_t> digits_at(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && is_digit(text[end])) ++end;
    if (end == from) return std::nullopt;
    return parse_u32(text.substr(from, end - from));
}

// First digit at or after `from`.
std::size_t next_digit(std::string_view text, std::size_t from) {
    while (from < text.size() && !is_digit(text[from])) ++from;
    return from;
}

std::string identifier(char letter, std::uint32_t number) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02u", letter, number);
    return buf;
}

}  // namespace

std::optional<std::string> tle_satellite_id(std::string_view raw_name) {
    const std::string upper = upper_case(raw_name);
    const std::string_view name = upper;
    constexpr auto npos = std::string_view::npos;

    // GPS: the PRN written after "PRN".
    if (contains(name, "GPS") || contains(name, "NAVSTAR")) {
        const std::size_t at = name.find("PRN");
        if (at != npos) {
            if (auto prn = digits_at(name, next_digit(name, at + 3))) return identifier('G', *prn);
        }
    }
    // GLONASS element sets are named after the Cosmos launch, which says nothing of the slot.
    if (contains(name, "GLONASS") || contains(name, "COSMOS 2")) return std::nullopt;
    // Galileo: the PRN in "(E11)"; otherwise the GSAT build number folded onto 36 PRNs.
    if (contains(name, "GALILEO") || contains(name, "GSAT")) {
        const std::size_t paren = name.find("(E");
        if (paren != npos) {
            if (auto prn = digits_at(name, paren + 2)) return identifier('E', *prn);
        }
        const std::size_t gsat = name.find("GSAT");
        if (gsat != npos) {
            if (auto n = digits_at(name, gsat + 4)) return identifier('E', *n % 36 + 1);
        }
    }
    if (contains(name, "BEIDOU")) return std::nullopt;
    // QZSS: the first number of the name is the spacecraft number (QZS-1, QZS-2, ...).
    if (contains(name, "QZS") || contains(name, "MICHIBIKI")) {
        const std::size_t first = next_digit(name, 0);
        if (auto n = digits_at(name, first)) return identifier('J', *n);
    }
    return std::nullopt;
}

std::uint64_t parse_tle_content(std::string_view content) {
    // Three lines at a time: a name line followed by line 1 and line 2.
    LineWindow<3> lines{LineCursor(content)};
    std::uint64_t count = 0;
    while (lines.has(2)) {
        const std::string_view line1 = trim(lines[1]);
        const std::string_view line2 = trim(lines[2]);
        if (line1.empty() || line1[0] != '1' || line2.empty() || line2[0] != '2') {
            lines.advance();
            continue;
        }
        // A set cut short has no mean motion to read; it is not counted.
        if (line1.size() >= kLine1Length && line2.size() >= kLine2Length) {
            const std::string_view motion_text =
                trim(line2.substr(kMeanMotionStart, kMeanMotionEnd - kMeanMotionStart));
            const double mean_motion = parse_float(motion_text).value_or(0.0);
            if (mean_motion > 0.0 && tle_satellite_id(trim(lines[0]))) ++count;
        }
        lines.advance(3);
    }
    return count;
}

}  // namespace qcn0
