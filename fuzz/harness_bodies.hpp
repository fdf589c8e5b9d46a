// What each fuzz target does with one input, shared by the libFuzzer harnesses and the test that
// replays the inputs they once failed on, so both run exactly the same code.
//
// Every body returns an empty text when the input was handled as it must be, otherwise a
// description of the broken promise (the harness aborts with it, the test reports it). Crashes,
// out-of-bounds reads, undefined behaviour and leaks are found by the sanitizers the code is
// built with, hangs by the fuzzer's time limit.
#pragma once

#include <zlib.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cn0/analysis.hpp"
#include "cn0/analysis_config.hpp"
#include "cn0/quality_score.hpp"
#include "cn0/verdicts.hpp"
#include "compression/decode_input.hpp"
#include "compression/gzip_stream.hpp"
#include "compression/input_format.hpp"
#include "navigation/geodetic.hpp"
#include "navigation/look_angles.hpp"
#include "navigation/navigation_input.hpp"
#include "navigation/orbit_tracker.hpp"
#include "navigation/satellite_position.hpp"
#include "results/json_writer.hpp"
#include "rinex/obs_input.hpp"
#include "rinex/obs_queries.hpp"
#include "rinex/obs_reader.hpp"
#include "tle/tle_count.hpp"

namespace qcn0::fuzz {

// The file name every fuzzed observation file is read under.
inline constexpr std::string_view kFileName = "fuzz.rnx";

// Decoded text a fuzzed input may unpack to. The readers accept up to several gigabytes, as a
// day of 1 Hz data needs; a fuzzer that keeps a few of those in memory would only measure the
// machine, so inputs that unpack to more are left out of the reader targets.
inline constexpr std::size_t kDecodeBudget = std::size_t{64} << 20;

// ---------------------------------------------------------------------------------------------
// A strict JSON checker: RFC 8259 grammar, strings of valid UTF-8 without raw control characters,
// no text after the value.

class JsonChecker {
  public:
    explicit JsonChecker(std::string_view text) : s_(text) {}

    // Empty when the text is one valid JSON document, else what is wrong and where.
    std::string check() {
        skip_space();
        if (!value(0)) return failure();
        skip_space();
        if (i_ != s_.size()) return fail("text after the value"), failure();
        return {};
    }

  private:
    static constexpr int kMaxDepth = 64;

    std::string failure() const {
        return "invalid JSON at byte " + std::to_string(i_) + ": " + why_;
    }
    bool fail(const char* why) {
        if (why_.empty()) why_ = why;
        return false;
    }
    bool at_end() const { return i_ >= s_.size(); }
    char peek() const { return s_[i_]; }
    void skip_space() {
        while (!at_end() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++i_;
    }
    bool literal(std::string_view word) {
        if (s_.substr(i_, word.size()) != word) return fail("unknown word");
        i_ += word.size();
        return true;
    }
    bool value(int depth) {
        if (depth > kMaxDepth) return fail("nested too deeply");
        if (at_end()) return fail("value expected");
        switch (peek()) {
            case '{':
                return object(depth + 1);
            case '[':
                return array(depth + 1);
            case '"':
                return string();
            case 't':
                return literal("true");
            case 'f':
                return literal("false");
            case 'n':
                return literal("null");
            default:
                return number();
        }
    }
    bool object(int depth) {
        ++i_;
        skip_space();
        if (!at_end() && peek() == '}') return ++i_, true;
        while (true) {
            skip_space();
            if (at_end() || peek() != '"') return fail("member name expected");
            if (!string()) return false;
            skip_space();
            if (at_end() || peek() != ':') return fail("':' expected");
            ++i_;
            skip_space();
            if (!value(depth)) return false;
            skip_space();
            if (at_end()) return fail("object not closed");
            if (peek() == ',') {
                ++i_;
                continue;
            }
            if (peek() == '}') return ++i_, true;
            return fail("',' or '}' expected");
        }
    }
    bool array(int depth) {
        ++i_;
        skip_space();
        if (!at_end() && peek() == ']') return ++i_, true;
        while (true) {
            skip_space();
            if (!value(depth)) return false;
            skip_space();
            if (at_end()) return fail("array not closed");
            if (peek() == ',') {
                ++i_;
                continue;
            }
            if (peek() == ']') return ++i_, true;
            return fail("',' or ']' expected");
        }
    }
    static bool hex(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    static unsigned hex_value(char c) {
        if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
        return static_cast<unsigned>(c - 'A' + 10);
    }
    // Four hex digits after "\u"; the cursor is on the first digit.
    bool unicode_escape(unsigned& unit) {
        if (s_.size() - i_ < 4) return fail("short \\u escape");
        unit = 0;
        for (int k = 0; k < 4; ++k) {
            if (!hex(s_[i_])) return fail("bad \\u escape");
            unit = unit * 16 + hex_value(s_[i_++]);
        }
        return true;
    }
    // One UTF-8 encoded character of two or more bytes; the cursor is on its first byte.
    bool utf8_sequence() {
        const auto b = static_cast<unsigned char>(s_[i_]);
        std::size_t need;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return fail("invalid UTF-8 lead byte in a string");
        }
        ++i_;
        for (std::size_t k = 0; k < need; ++k, ++i_) {
            if (at_end()) return fail("UTF-8 sequence cut short");
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c < (k == 0 ? lo : 0x80) || c > (k == 0 ? hi : 0xBF)) {
                return fail("invalid UTF-8 continuation byte in a string");
            }
        }
        return true;
    }
    bool string() {
        ++i_;  // opening quote
        while (true) {
            if (at_end()) return fail("string not closed");
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') return ++i_, true;
            if (c < 0x20) return fail("raw control character in a string");
            if (c >= 0x80) {
                if (!utf8_sequence()) return false;
                continue;
            }
            ++i_;
            if (c != '\\') continue;
            if (at_end()) return fail("escape cut short");
            const char e = s_[i_++];
            if (e == '"' || e == '\\' || e == '/' || e == 'b' || e == 'f' || e == 'n' || e == 'r' ||
                e == 't') {
                continue;
            }
            if (e != 'u') return fail("unknown escape");
            unsigned unit;
            if (!unicode_escape(unit)) return false;
            if (unit >= 0xDC00 && unit <= 0xDFFF) return fail("lone low surrogate");
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (s_.substr(i_, 2) != "\\u") return fail("lone high surrogate");
                i_ += 2;
                unsigned low;
                if (!unicode_escape(low)) return false;
                if (low < 0xDC00 || low > 0xDFFF) return fail("high surrogate without low");
            }
        }
    }
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    bool number() {
        if (!at_end() && peek() == '-') ++i_;
        if (at_end() || !digit(peek())) return fail("value expected");
        if (peek() == '0') {
            ++i_;
        } else {
            while (!at_end() && digit(peek())) ++i_;
        }
        if (!at_end() && peek() == '.') {
            ++i_;
            if (at_end() || !digit(peek())) return fail("digit expected after '.'");
            while (!at_end() && digit(peek())) ++i_;
        }
        if (!at_end() && (peek() == 'e' || peek() == 'E')) {
            ++i_;
            if (!at_end() && (peek() == '+' || peek() == '-')) ++i_;
            if (at_end() || !digit(peek())) return fail("digit expected in exponent");
            while (!at_end() && digit(peek())) ++i_;
        }
        return true;
    }

    std::string_view s_;
    std::size_t i_ = 0;
    std::string why_;
};

inline std::string check_json(std::string_view text) {
    return JsonChecker(text).check();
}

// The text without the whitespace that lies outside strings.
inline std::string without_layout(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool in_string = false, escaped = false;
    for (char c : text) {
        if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                in_string = false;
            }
        } else if (c == '"') {
            in_string = true;
        } else if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
            continue;
        }
        out.push_back(c);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Helpers

inline bool is_ascii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// False when the input is packed and unpacks to more than kDecodeBudget bytes or does not unpack
// at all; the readers' own decoding is then not worth running again.
inline bool decodes_within_budget(std::string_view data) {
    if (detect_input_format(data) == InputFormat::plain) return true;
    return decode_input(data, kDecodeBudget).ok();
}

// What the observation reader promises about every record it returns.
inline std::string check_observation_record(const RinexObsData& obs) {
    for (const auto& id : obs.satellites) {
        if (id.size() > 3 || !is_ascii(id))
            return "satellite identifier '" + id + "' is not 0-3 ASCII bytes";
    }
    for (const auto& code : obs.codes) {
        if (!is_ascii(code)) return "observation code is not ASCII";
    }
    for (const auto& t : obs.obs_types) {
        for (const auto& code : t.codes) {
            if (!is_ascii(code)) return "header observation code is not ASCII";
        }
    }
    if (!is_ascii(obs.marker_name) || !is_ascii(obs.receiver_type) || !is_ascii(obs.antenna_type)) {
        return "header text is not ASCII";
    }
    if (obs.marker_name.empty()) return "marker name is empty (the file name must stand in)";
    std::vector<std::uint32_t> code_seen(obs.codes.size(), 0);
    std::vector<std::uint32_t> satellite_seen(obs.satellites.size(), 0);
    std::uint32_t stamp = 0;
    for (const auto& epoch : obs.epochs) {
        if (epoch.count == 0) return "stored epoch without satellites";
        if (epoch.first > obs.entries.size() || obs.entries.size() - epoch.first < epoch.count) {
            return "epoch entries out of range";
        }
        ++stamp;
        for (const auto& entry : obs.satellites_of(epoch)) {
            if (entry.satellite >= obs.satellites.size()) return "satellite index out of range";
            if (satellite_seen[entry.satellite] == stamp) return "satellite twice in one epoch";
            satellite_seen[entry.satellite] = stamp;
        }
        for (const auto& entry : obs.satellites_of(epoch)) {
            if (entry.count == 0) return "satellite entry without values";
            if (entry.first > obs.values.size() || obs.values.size() - entry.first < entry.count) {
                return "satellite values out of range";
            }
            ++stamp;
            for (const auto& v : obs.values_of(entry)) {
                if (v.value == 0.0) return "a zero value was stored";
                if (v.code >= obs.codes.size()) return "code index out of range";
                if (code_seen[v.code] == stamp)
                    return "observation code twice for one satellite and epoch";
                code_seen[v.code] = stamp;
                if (v.lli != kNoIndicator && v.lli > 9)
                    return "loss-of-lock indicator is not a digit";
                if (v.ssi != kNoIndicator && v.ssi > 9)
                    return "signal-strength indicator is not a digit";
            }
        }
    }
    return {};
}

// The same double to the bit (so a NaN equals itself).
inline bool same_bits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// Two parsed observation files hold the same header, epochs and values.
inline bool same_record(const RinexObsData& a, const RinexObsData& b) {
    if (!same_bits(a.version, b.version) || !same_bits(a.interval, b.interval) ||
        a.marker_name != b.marker_name || a.receiver_type != b.receiver_type ||
        a.antenna_type != b.antenna_type || a.glonass_slots != b.glonass_slots ||
        a.satellites != b.satellites || a.codes != b.codes ||
        a.approx_position.has_value() != b.approx_position.has_value() ||
        a.obs_types.size() != b.obs_types.size() || a.epochs.size() != b.epochs.size() ||
        a.entries.size() != b.entries.size() || a.values.size() != b.values.size()) {
        return false;
    }
    if (a.approx_position) {
        for (int k = 0; k < 3; ++k) {
            if (!same_bits((*a.approx_position)[k], (*b.approx_position)[k])) return false;
        }
    }
    for (std::size_t k = 0; k < a.obs_types.size(); ++k) {
        if (a.obs_types[k].system != b.obs_types[k].system ||
            a.obs_types[k].codes != b.obs_types[k].codes)
            return false;
    }
    for (std::size_t k = 0; k < a.epochs.size(); ++k) {
        const ObsEpoch &x = a.epochs[k], &y = b.epochs[k];
        if (x.time.year != y.time.year || x.time.month != y.time.month ||
            x.time.day != y.time.day || x.time.hour != y.time.hour ||
            x.time.minute != y.time.minute || !same_bits(x.time.second, y.time.second) ||
            x.flag != y.flag || x.first != y.first || x.count != y.count) {
            return false;
        }
    }
    for (std::size_t k = 0; k < a.entries.size(); ++k) {
        const auto &x = a.entries[k], &y = b.entries[k];
        if (x.satellite != y.satellite || x.first != y.first || x.count != y.count) return false;
    }
    for (std::size_t k = 0; k < a.values.size(); ++k) {
        const auto &x = a.values[k], &y = b.values[k];
        if (!same_bits(x.value, y.value) || x.code != y.code || x.lli != y.lli || x.ssi != y.ssi)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The bodies

// Observation reader and every query of a parsed file.
inline std::string run_observation(std::string_view data) {
    if (!decodes_within_budget(data)) return {};
    auto read = read_observation_bytes(data, kFileName);
    // Packed input is read as it is decoded, Compact RINEX records straight into the arrays;
    // the outcome must be that of decoding the whole text first and reading that.
    if (detect_input_format(data) != InputFormat::plain) {
        auto text = decode_input(data);
        auto whole = text ? read_observation_text(text->text(), kFileName)
                          : Expected<RinexObsData>(text.failure());
        if (read.ok() != whole.ok()) {
            return "packed input read as it decodes " +
                   std::string(read ? "succeeds" : "fails: " + read.error()) +
                   ", read from its whole text " +
                   (whole ? "succeeds" : "fails: " + whole.error());
        }
        if (!read && read.error() != whole.error()) {
            return "packed input read as it decodes fails with '" + read.error() +
                   "', read from its whole text with '" + whole.error() + "'";
        }
        if (read && !same_record(*read, *whole))
            return "packed input read as it decodes differs from its whole text read";
    }
    if (!read) return read.error().empty() ? "observation reader failed without a message" : "";
    const RinexObsData& obs = *read;
    if (auto problem = check_observation_record(obs); !problem.empty()) return problem;

    std::size_t listed = 0;
    for (const auto& group : satellites_by_system(obs)) {
        for (const auto& id : group.satellites) {
            if (id.empty() || id[0] != group.system)
                return "satellite listed under the wrong system";
        }
        listed += group.satellites.size();
    }
    if (listed > obs.satellites.size()) return "more satellites listed than the file holds";
    if (snr_availability(obs).size() != obs.obs_types.size()) return "snr availability per system";
    for (const auto& s : snr_stats_by_satellite(obs)) {
        if (s.valid_count > s.obs_count) return "more valid S values than S values";
        // A mean of values below 100 may round up to 100 itself.
        if (s.valid_count > 0 && !(s.mean_snr > 0.0 && s.mean_snr <= 100.0))
            return "mean S value outside (0, 100]";
    }
    for (const auto& [key, value] : debug_info(obs)) {
        if (key.empty()) return "debug entry without a key";
        (void)value;
    }
    if (describe(obs).rfind("RinexObsData(version=", 0) != 0) return "text form";

    // Files written on Windows end their lines with CR LF and must read exactly as with LF
    // alone. Only plain text without carriage returns of its own is turned around.
    if (detect_input_format(data) == InputFormat::plain &&
        data.find('\r') == std::string_view::npos && data.size() < (std::size_t{1} << 20)) {
        std::string crlf;
        crlf.reserve(data.size() + data.size() / 16);
        for (char c : data) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        auto again = read_observation_bytes(crlf, kFileName);
        if (!again) return "the file with CR LF line ends is refused: " + again.error();
        if (!same_record(obs, *again)) return "the file with CR LF line ends reads differently";
    }
    return {};
}

// Navigation reader, then positions and look angles from what it read.
inline std::string run_navigation(std::string_view data) {
    if (!decodes_within_budget(data)) return {};
    auto read = read_navigation_bytes(data);
    if (!read) return read.error().empty() ? "navigation reader failed without a message" : "";
    const NavigationData& nav = *read;
    const std::vector<std::string> ids = nav.all_satellite_ids();
    if (ids.size() != nav.satellite_count()) return "satellite list and counts disagree";
    if (nav.has_data() != !ids.empty()) return "has_data disagrees with the maps";

    // Every position is asked twice: from the records directly, and from the tracker the
    // analysis uses (records sorted by time, GLONASS integration steps kept between requests).
    // The two must give the same answer to the last bit.
    const LocalFrame frame = local_frame(Ecef{4331297.0, 567555.0, 4633133.0});
    std::size_t asked = 0;
    std::string mismatch;
    OrbitTracker tracker;
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    auto probe = [&](std::string_view id, const EpochTime& at) {
        const auto position = satellite_position(nav, id, at);
        const auto tracked = tracker.position_on_day(julian_day_number(at));
        if (position.has_value() != tracked.has_value() ||
            (position && !(same(position->x, tracked->x) && same(position->y, tracked->y) &&
                           same(position->z, tracked->z)))) {
            if (mismatch.empty())
                mismatch = "orbit tracker and satellite_position disagree for " + std::string(id);
        }
        if (!position) return;
        (void)ecef_to_geodetic(*position);
        (void)look_angles(frame, *position);
    };
    for (const auto& id : ids) {
        if (++asked > 64) break;
        const auto* kepler = nav.kepler_records(id);
        const auto* glonass = nav.glonass_records(id);
        if ((kepler == nullptr) == (glonass == nullptr))
            return "satellite " + id + " not found in one map";
        tracker = OrbitTracker(find_satellite_ephemerides(nav, id));
        std::vector<EpochTime> epochs;
        if (kepler != nullptr) {
            for (std::size_t k = 0; k < kepler->size() && k < 3; ++k)
                epochs.push_back((*kepler)[k].epoch);
        } else {
            for (std::size_t k = 0; k < glonass->size() && k < 3; ++k)
                epochs.push_back((*glonass)[k].epoch);
        }
        // At each record's time, inside the choice windows off it (the GLONASS one is an hour),
        // and beyond them, going back and forth in time.
        for (EpochTime at : epochs) {
            probe(id, at);
            at.minute += 17;
            at.second += 0.5;
            probe(id, at);
            at.minute += 25;
            probe(id, at);
            at.minute -= 30;
            probe(id, at);
            at.hour += 5;
            probe(id, at);
        }
        if (!mismatch.empty()) return mismatch;
    }
    for (const auto& [slot, channel] : nav.glonass_channels) {
        const std::int32_t* found = nav.glonass_channel(slot);
        if (found == nullptr || *found != channel) return "GLONASS channel lookup";
    }
    return {};
}

// TLE counting.
inline std::string run_tle(std::string_view data) {
    const std::uint64_t count = parse_tle_content(data);
    std::uint64_t lines = 1;
    for (char c : data) lines += c == '\n' ? 1 : 0;
    if (count > lines / 3) return "more element sets counted than there are line triples";
    (void)tle_satellite_id(data.substr(0, 256));
    return {};
}

// One analysis and its exports: the verdicts, the quality score and both JSON layouts, which must
// be valid JSON and differ only by layout.
inline std::string check_analysis(const AnalysisResult& result) {
    (void)jamming_detected(result);
    (void)spoofing_detected(result);
    (void)interference_detected(result);
    const QualityScore score = make_quality_score(result);
    if (quality_score_repr(score).empty()) return "empty quality score text";
    const std::string compact = to_json(result);
    if (auto problem = check_json(compact); !problem.empty()) return "to_json: " + problem;
    const std::string pretty = to_json_pretty(result);
    if (auto problem = check_json(pretty); !problem.empty()) return "to_json_pretty: " + problem;
    if (without_layout(compact) != compact) return "to_json has whitespace outside strings";
    if (without_layout(pretty) != compact)
        return "to_json and to_json_pretty differ in more than layout";
    return {};
}

// A small RINEX 2 GPS navigation file (two satellites, 2021-01-01), for when the real one is not
// at hand.
inline constexpr std::string_view kEmbeddedNavigation =
    "     2.11           N: GPS NAV DATA                         RINEX VERSION / TYPE\n"
    "                                                            END OF HEADER\n"
    " 1 21  1  1  0  0  0.0 4.691267386079D-04-1.000444171950D-11 0.000000000000D+00\n"
    "    3.900000000000D+01-1.411250000000D+02 3.988380417621D-09-6.242942382352D-01\n"
    "   -7.363036274910D-06 8.808154659346D-03 5.997717380524D-06 5.153730564117D+03\n"
    "    4.320000000000D+05 1.415610313416D-07 1.298452657335D+00 2.048909664154D-08\n"
    "    9.891145710863D-01 2.637187500000D+02 8.956416708337D-01-7.792828710380D-09\n"
    "    1.732214836379D-10 1.000000000000D+00 2.138000000000D+03 0.000000000000D+00\n"
    "    2.000000000000D+00 0.000000000000D+00 4.656612873077D-09 3.900000000000D+01\n"
    "    4.249680000000D+05 4.000000000000D+00\n"
    "12 21  1  1  2  0  0.0-1.006093807518D-04-2.387423592154D-12 0.000000000000D+00\n"
    "    1.280000000000D+02-1.590625000000D+01 4.868774218419D-09 2.710357311374D+00\n"
    "   -8.586794137955D-07 8.576009934768D-03 9.119883179665D-06 5.153706161499D+03\n"
    "    4.392000000000D+05 1.005828380585D-07-2.887007255004D+00-9.313225746155D-08\n"
    "    9.644744099346D-01 1.853437500000D+02 1.021406497218D+00-7.839969120498D-09\n"
    "   -3.603721245165D-10 1.000000000000D+00 2.138000000000D+03 0.000000000000D+00\n"
    "    2.000000000000D+00 0.000000000000D+00-1.210719347000D-08 1.280000000000D+02\n"
    "    4.320180000000D+05 4.000000000000D+00\n";

// The navigation data every fuzzed analysis runs with: a real broadcast file of 2021-01-01 when
// the shared data is at hand (the mixed one, so that GLONASS, Galileo and BeiDou satellites get
// positions too; else the GPS one), otherwise the embedded one.
inline const NavigationData& reference_navigation() {
    static const NavigationData nav = [] {
#ifdef QCN0_DATA_DIR
        for (const char* name : {"AMEL00NLD_R_20210010000_01D_MN.rnx", "brdc0010.21n"}) {
            std::ifstream in(std::string(QCN0_DATA_DIR) + "/" + name, std::ios::binary);
            if (!in) continue;
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            if (auto nav = read_navigation_bytes(bytes); nav && nav->has_data())
                return std::move(nav).value();
        }
#endif
        return std::move(read_navigation_bytes(kEmbeddedNavigation)).value();
    }();
    return nav;
}

// A fuzzed observation file analysed with navigation data and without it.
//
// An input may carry a navigation file of its own after a line "#NAV#": the observation file is
// then what comes before that line, and it is analysed with that navigation data as well, so
// that degenerate orbits (no finite position, positions inside the Earth, epochs of any year)
// meet the visibility prediction too.
inline constexpr std::string_view kNavigationSeparator = "\n#NAV#\n";

inline std::string run_analysis(std::string_view data) {
    std::string_view own_navigation;
    if (const auto split = data.find(kNavigationSeparator); split != std::string_view::npos) {
        own_navigation = data.substr(split + kNavigationSeparator.size());
        data = data.substr(0, split + 1);
    }
    if (!decodes_within_budget(data)) return {};
    auto read = read_observation_bytes(data, kFileName);
    if (!read) return {};
    const RinexObsData& obs = *read;

    if (!own_navigation.empty() && decodes_within_budget(own_navigation)) {
        if (auto nav = read_navigation_bytes(own_navigation)) {
            const AnalysisSettings settings = analyze_cn0_settings(0.0, std::nullopt);
            if (auto problem = check_analysis(analyse(obs, settings, &*nav)); !problem.empty()) {
                return "with its own navigation: " + problem;
            }
        }
    }

    const AnalysisSettings with_nav = analyze_cn0_settings(10.0, std::nullopt);
    if (auto problem = check_analysis(analyse(obs, with_nav, &reference_navigation()));
        !problem.empty()) {
        return "with navigation: " + problem;
    }
    // Every constellation, no mask and no C/N0 bounds (a caller's configuration may ask for
    // that), so that every S value of the file takes part, however extreme.
    AnalysisSettings all =
        analyze_cn0_settings(-90.0, std::vector<std::string>{"G", "R", "E", "C", "J", "S", "I"});
    all.min_cn0 = -std::numeric_limits<double>::infinity();
    all.max_cn0 = std::numeric_limits<double>::infinity();
    if (auto problem = check_analysis(analyse(obs, all, nullptr)); !problem.empty()) {
        return "without navigation: " + problem;
    }
    // Settings a caller may pass unchecked (no number is range-tested), one per input by its
    // length: a mask that is not a number, thresholds of any sign, empty and odd system lists.
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    AnalysisSettings odd = analyze_cn0_settings(5.0, std::nullopt);
    switch (data.size() % 4) {
        case 0:
            odd.min_elevation = nan;
            odd.anomaly_threshold_low = nan;
            odd.anomaly_threshold_high = nan;
            odd.anomaly_threshold_critical = nan;
            odd.spoofing_unexpected_threshold = nan;
            odd.spoofing_min_unexpected_count = nan;
            break;
        case 1:
            odd.min_elevation = -inf;
            odd.anomaly_threshold_low = -1e308;
            odd.anomaly_threshold_high = -inf;
            odd.anomaly_threshold_critical = 0.0;
            odd.spoofing_unexpected_threshold = -1.0;
            odd.spoofing_min_unexpected_count = 0.0;
            odd.min_cn0 = nan;
            break;
        case 2:
            odd.constellations.clear();
            odd.time_bin_seconds = 0;
            break;
        default:
            odd.constellations = {'G', 'G', 'x', '\0', '>', 'R'};
            odd.min_elevation = 90.0;
            odd.anomaly_threshold_low = 1e308;
            odd.time_bin_seconds = 4294967295u;
            break;
    }
    if (auto problem = check_analysis(analyse(obs, odd, &reference_navigation()));
        !problem.empty()) {
        return "with odd settings: " + problem;
    }
    return {};
}

// gzip of a text, as gzip(1) writes it.
inline std::string gzip_of(std::string_view text) {
    z_stream zs{};
    if (deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&zs, static_cast<uLong>(text.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return status == Z_STREAM_END ? out : std::string();
}

// The unpacking alone, on packed data of any kind; plain text must come back as it is, in place,
// and text gzipped here must come back unchanged.
inline std::string run_decode(std::string_view data) {
    // Whole members inflate through libdeflate where it is built in, with zlib naming faults:
    // content and messages must be zlib's alone.
    if (detect_input_format(data) == InputFormat::gzip) {
        auto fast = inflate_gzip(data, kDecodeBudget);
        auto zlib = inflate_gzip_stream(data, kDecodeBudget);
        if (fast.ok() != zlib.ok() || (fast ? *fast != *zlib : fast.error() != zlib.error())) {
            return "gzip inflates differently in whole members and in pieces: " +
                   (fast ? std::string("content") : fast.error()) + " against " +
                   (zlib ? std::string("content") : zlib.error());
        }
    }
    auto decoded = decode_input(data, kDecodeBudget);
    if (decoded) {
        const std::string_view text = decoded->text();
        if (text.size() > kDecodeBudget) return "decoded text exceeds the limit";
        if (decoded->layers().size() > 4) return "more than four layers undone";
        if (decoded->layers().empty()) {
            if (decoded->owns_text() || text.data() != data.data() || text.size() != data.size()) {
                return "plain input was not handed back in place";
            }
        }
    } else if (decoded.error().empty()) {
        return "decoding failed without a message";
    }
    if (detect_input_format(data) == InputFormat::plain && data.size() < (std::size_t{1} << 20)) {
        const std::string packed = gzip_of(data);
        if (packed.empty()) return {};
        auto round = decode_input(packed, kDecodeBudget);
        if (!round) return "gzip of plain text does not decode: " + round.error();
        if (round->text() != data) return "gzip of plain text decodes to other text";
    }
    return {};
}

}  // namespace qcn0::fuzz
