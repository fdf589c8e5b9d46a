#include "navigation/navigation_reader.hpp"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/file_io.hpp"
#include "core/lines.hpp"
#include "core/text.hpp"
#include "navigation/nav_number.hpp"
#include "navigation/utf8_repair.hpp"

namespace qcn0 {

namespace {

// Lines of a Keplerian record (epoch line and seven orbit lines) and of a GLONASS record as
// read here (epoch line and three orbit lines; later versions add a fourth, which is not used).
constexpr std::size_t kKeplerLines = 8;
constexpr std::size_t kGlonassLines = 4;

// The lines a reader looks at at once: a version 4 record line and the eight lines after it.
using NavLines = LineWindow<kKeplerLines + 1>;

enum class Layout { Rinex2, Rinex3 };

// Column cuts of an epoch line (start inclusive, end exclusive).
struct EpochColumns {
    std::size_t number[2], year[2], month[2], day[2], hour[2], minute[2], second[2];
    std::size_t clock[3];
    std::size_t orbit;  // first column of the orbit-line fields
};

// RINEX 2: I2 number, two-digit year, then 1X,I2 per field and F5.1 seconds; orbit lines 3X.
constexpr EpochColumns kRinex2Columns{{0, 2},   {3, 5},   {6, 8},       {9, 11}, {12, 14},
                                      {15, 17}, {17, 22}, {22, 41, 60}, 3};
// RINEX 3: system letter, I2 number, four-digit year; orbit lines 4X.
constexpr EpochColumns kRinex3Columns{{1, 3},   {4, 8},   {9, 11},      {12, 14}, {15, 17},
                                      {18, 20}, {21, 23}, {23, 42, 61}, 4};

struct EpochLine {
    std::uint32_t number = 0;
    EpochTime epoch;
    double clock[3] = {0.0, 0.0, 0.0};
};

std::string_view cut(std::string_view line, const std::size_t (&c)[2]) {
    return trim(columns(line, c[0], c[1]));
}

std::optional<EpochLine> read_epoch_line(std::string_view line, Layout layout) {
    const EpochColumns& c = layout == Layout::Rinex2 ? kRinex2Columns : kRinex3Columns;
    EpochLine out;
    auto number = parse_u32(cut(line, c.number));
    auto year = parse_i32(cut(line, c.year));
    auto month = parse_u32(cut(line, c.month));
    auto day = parse_u32(cut(line, c.day));
    auto hour = parse_u32(cut(line, c.hour));
    auto minute = parse_u32(cut(line, c.minute));
    auto second = parse_float(cut(line, c.second));
    if (!number || !year || !month || !day || !hour || !minute || !second) return std::nullopt;
    out.number = *number;
    out.epoch.year = layout == Layout::Rinex2 ? expand_two_digit_year(*year) : *year;
    out.epoch.month = *month;
    out.epoch.day = *day;
    out.epoch.hour = *hour;
    out.epoch.minute = *minute;
    out.epoch.second = *second;
    for (int k = 0; k < 3; ++k) out.clock[k] = nav_field(line, c.clock[k]);
    return out;
}

// Week and channel numbers are written as floats; they are truncated toward zero, NaN giving 0
// and values beyond the 32-bit range the nearest bound.
std::int32_t truncate_to_i32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

// Satellite identifier: letter and number with at least two digits ("G05", "C123").
struct SatelliteKey {
    char text[16];
    std::size_t size = 0;
    SatelliteKey(char letter, std::uint32_t number) {
        char digits[12];
        std::size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        text[size++] = letter;
        if (n < 2) text[size++] = '0';
        while (n > 0) text[size++] = digits[--n];
    }
    std::string_view view() const { return {text, size}; }
};

std::string slot_text(std::uint32_t slot) {
    return std::to_string(slot);
}

// Orbit-line fields: four 19-byte numbers from column c.
std::array<double, 4> orbit_fields(std::string_view line, std::size_t c) {
    return {nav_field(line, c), nav_field(line, c + kNavFieldWidth),
            nav_field(line, c + 2 * kNavFieldWidth), nav_field(line, c + 3 * kNavFieldWidth)};
}

class RecordReader {
  public:
    RecordReader(const NavLines& lines, NavigationData& nav) : lines_(lines), nav_(nav) {}

    // A Keplerian record whose epoch line is lines[i] (the window holds all its lines); false
    // when its epoch line does not parse.
    bool kepler(std::size_t i, char letter, Layout layout) {
        auto head = read_epoch_line(lines_[i], layout);
        if (!head) return false;
        const std::size_t c =
            layout == Layout::Rinex2 ? kRinex2Columns.orbit : kRinex3Columns.orbit;
        KeplerEphemeris r;
        r.system = letter;
        r.prn = head->number;
        r.epoch = head->epoch;
        r.af0 = head->clock[0];
        r.af1 = head->clock[1];
        r.af2 = head->clock[2];
        const auto o1 = orbit_fields(lines_[i + 1], c);
        const auto o2 = orbit_fields(lines_[i + 2], c);
        const auto o3 = orbit_fields(lines_[i + 3], c);
        const auto o4 = orbit_fields(lines_[i + 4], c);
        r.iode = o1[0], r.crs = o1[1], r.delta_n = o1[2], r.m0 = o1[3];
        r.cuc = o2[0], r.e = o2[1], r.cus = o2[2], r.sqrt_a = o2[3];
        r.toe = o3[0], r.cic = o3[1], r.omega0 = o3[2], r.cis = o3[3];
        r.i0 = o4[0], r.crc = o4[1], r.omega = o4[2], r.omega_dot = o4[3];
        // Orbit line 5: IDOT, L2 codes, week, L2 P flag; only IDOT and the week are used.
        r.idot = nav_field(lines_[i + 5], c);
        r.week = truncate_to_i32(nav_field(lines_[i + 5], c + 2 * kNavFieldWidth));
        const SatelliteKey key(letter, r.prn);
        map_of(letter).add(key.view(), r);
        return true;
    }

    // A GLONASS record whose epoch line is lines[i] (the window holds all its lines).
    bool glonass(std::size_t i, Layout layout) {
        auto head = read_epoch_line(lines_[i], layout);
        if (!head) return false;
        const std::size_t c =
            layout == Layout::Rinex2 ? kRinex2Columns.orbit : kRinex3Columns.orbit;
        GlonassEphemeris r;
        r.slot = head->number;
        r.epoch = head->epoch;
        r.clock_bias = head->clock[0];
        r.freq_bias = head->clock[1];
        r.message_time = head->clock[2];
        // Kilometres, km/s and km/s^2 in the file; metres here.
        const auto o1 = orbit_fields(lines_[i + 1], c);
        const auto o2 = orbit_fields(lines_[i + 2], c);
        const auto o3 = orbit_fields(lines_[i + 3], c);
        r.x = o1[0] * 1000.0, r.vx = o1[1] * 1000.0, r.ax = o1[2] * 1000.0;
        r.y = o2[0] * 1000.0, r.vy = o2[1] * 1000.0, r.ay = o2[2] * 1000.0;
        r.z = o3[0] * 1000.0, r.vz = o3[1] * 1000.0, r.az = o3[2] * 1000.0;
        r.frequency_channel = truncate_to_i32(o2[3]);
        const SatelliteKey key('R', r.slot);
        nav_.glonass_ephemerides.add(key.view(), r);
        // Channel 0 is also what an unreadable field gives, so only other values are recorded.
        if (r.frequency_channel != 0)
            nav_.set_glonass_channel(slot_text(r.slot), r.frequency_channel);
        return true;
    }

  private:
    EphemerisMap<KeplerEphemeris>& map_of(char letter) {
        if (letter == 'E') return nav_.galileo_ephemerides;
        if (letter == 'C') return nav_.beidou_ephemerides;
        return nav_.gps_ephemerides;
    }

    const NavLines& lines_;
    NavigationData& nav_;
};

bool is_kepler_letter(char c) {
    return c == 'G' || c == 'J' || c == 'E' || c == 'C';
}

// Version 2 and 3 files: records follow one another without separators; a line that cannot
// start a record is passed over one at a time.
void read_plain_records(NavLines& lines, Layout layout, char rinex2_kind, NavigationData& nav) {
    RecordReader reader(lines, nav);
    while (!lines.at_end()) {
        const std::string_view line = lines[0];
        if (trim(line).empty()) {
            lines.advance();
            continue;
        }
        char letter;
        if (layout == Layout::Rinex2) {
            // RINEX 2 numbers are written without a letter; the file type names the system.
            letter = rinex2_kind;
        } else {
            letter = line[0];
        }
        std::size_t need;
        if (is_kepler_letter(letter)) {
            need = kKeplerLines;
        } else if (letter == 'R') {
            need = kGlonassLines;
        } else {
            lines.advance();
            continue;
        }
        if (!lines.has(need - 1)) {
            lines.advance();
            continue;
        }
        if (letter == 'R') {
            reader.glonass(0, layout);
        } else {
            reader.kepler(0, letter, layout);
        }
        lines.advance(need);
    }
}

// The version 4 ephemeris messages whose record is laid out as in version 3.
bool is_version3_layout(char system, std::string_view message) {
    switch (system) {
        case 'G':
        case 'J':
            return message == "LNAV";
        case 'E':
            return message == "INAV" || message == "FNAV";
        case 'C':
            return message == "D1" || message == "D2";
        case 'R':
            return message == "FDMA";
        default:
            return false;
    }
}

bool starts_record(std::string_view line) {
    return !line.empty() && line[0] == '>';
}

// Version 4 files: every record starts with a "> TYPE SAT MESSAGE" line and runs to the next
// one, so records of any length can be skipped whole.
void read_version4_records(NavLines& lines, NavigationData& nav) {
    RecordReader reader(lines, nav);
    auto skip_to_record = [&] {
        while (!lines.at_end() && !starts_record(lines[0])) lines.advance();
    };
    // Whether the record has at least `n` lines after its "> " line.
    auto body_holds = [&](std::size_t n) {
        for (std::size_t k = 1; k <= n; ++k) {
            if (!lines.has(k) || starts_record(lines[k])) return false;
        }
        return true;
    };
    skip_to_record();
    while (!lines.at_end()) {
        std::string_view words[4];
        std::size_t count = 0;
        for_each_word(lines[0].substr(1), [&](std::string_view w) {
            if (count < 4) words[count] = w;
            ++count;
        });
        const std::string_view type = words[0], satellite = words[1], message = words[2];
        if (count >= 3 && type == "EPH" && satellite.size() == 3 &&
            is_version3_layout(satellite[0], message)) {
            // The record's own epoch line must name the announced satellite.
            const bool same = body_holds(1) && lines[1].substr(0, 3) == satellite;
            if (same && satellite[0] == 'R' && body_holds(kGlonassLines)) {
                reader.glonass(1, Layout::Rinex3);
            } else if (same && satellite[0] != 'R' && body_holds(kKeplerLines)) {
                reader.kepler(1, satellite[0], Layout::Rinex3);
            }
        }
        lines.advance();
        skip_to_record();
    }
}

}  // namespace

Expected<NavigationData> parse_navigation(std::string_view bytes) {
    // Column positions count bytes of valid UTF-8 text; a file with bytes of 128 or more that
    // are not valid UTF-8 is repaired into a copy, every other file is read in place.
    std::string repaired;
    std::string_view text = bytes;
    for (char ch : bytes) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            if (!is_valid_utf8(bytes)) {
                repaired = repair_utf8(bytes);
                text = repaired;
            }
            break;
        }
    }
    LineCursor cursor(text);

    double version = 3.0;
    char file_type = ' ';
    bool header_ended = false;
    while (!cursor.at_end()) {
        const std::string_view line = cursor.take();
        if (line.size() < 60) continue;
        const std::string_view label = trim(line.substr(60));
        if (label.find("RINEX VERSION") != std::string_view::npos) {
            if (auto v = parse_float(trim(line.substr(0, 9)))) version = *v;
            file_type = line[20];
        } else if (label.find("END OF HEADER") != std::string_view::npos) {
            header_ended = true;
            break;
        }
    }
    if (!header_ended) return Error{"No END OF HEADER found"};

    // The data lines, from the one after the end of the header.
    NavLines lines(cursor);
    NavigationData nav;
    if (version < 3.0) {
        // The RINEX 2 file type: 'N' GPS navigation, 'G' GLONASS navigation. A GLONASS file read
        // as GPS would give orbits that do not exist, and other types ('H' geostationary
        // navigation, observation files) hold no records this reader uses.
        if (file_type == 'N' || file_type == ' ') {
            read_plain_records(lines, Layout::Rinex2, 'G', nav);
        } else if (file_type == 'G') {
            read_plain_records(lines, Layout::Rinex2, 'R', nav);
        }
    } else if (version >= 4.0) {
        read_version4_records(lines, nav);
    } else {
        read_plain_records(lines, Layout::Rinex3, 0, nav);
    }
    return nav;
}

}  // namespace qcn0
