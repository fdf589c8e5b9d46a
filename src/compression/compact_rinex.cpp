#include "compression/compact_rinex.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "compression/character_difference.hpp"
#include "compression/difference_arc.hpp"
#include "compression/growing_text.hpp"
#include "compression/observation_sink.hpp"
#include "compression/page_buffer.hpp"
#include "compression/observation_type_counts.hpp"
#include "compression/rinex_decimal_text.hpp"
#include "core/digits.hpp"
#include "core/lines.hpp"
#include "core/text.hpp"

namespace qcn0 {

namespace {

constexpr std::string_view kVersionLabel = "CRINEX VERS   / TYPE";

// Every observation field of a decoded line: F14.3 value, LLI flag, signal-strength flag.
constexpr std::size_t kFieldWidth = 16;
constexpr std::size_t kValueWidth = 14;
// RINEX 2 wraps observations after five fields and satellites after twelve per line.
constexpr std::size_t kRinex2FieldsPerLine = 5;
constexpr std::size_t kRinex2SatellitesPerLine = 12;

bool label_contains(std::string_view line, std::string_view label) {
    return columns_from(line, 60).find(label) != std::string_view::npos;
}

std::string_view trim_trailing_blanks(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

// Header lines and the lines of event epochs are copied without their trailing blanks, but a
// blank line keeps one blank, as CRX2RNX writes them.
std::string_view trim_copied_line(std::string_view s) {
    std::size_t n = s.size();
    while (n > 1 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

// The lines of the compact text with their 1-based numbers. A carriage return before a line
// feed belongs to the line end.
class CompactLineCursor {
  public:
    explicit CompactLineCursor(std::string_view text) : text_(text) {}

    // The next line, or false at the end of the text. `terminated` tells whether a line feed
    // ended it: a file cut short loses the line feed of its last line.
    bool next(std::string_view& line, bool& terminated) {
        if (pos_ >= text_.size()) return false;
        const char* start = text_.data() + pos_;
        const std::size_t rest = text_.size() - pos_;
        const void* feed = std::memchr(start, '\n', rest);
        std::size_t length = rest;
        terminated = feed != nullptr;
        if (terminated) {
            length = static_cast<std::size_t>(static_cast<const char*>(feed) - start);
            pos_ += length + 1;
            if (length > 0 && start[length - 1] == '\r') --length;
        } else {
            pos_ = text_.size();
        }
        line = std::string_view(start, length);
        ++number_;
        return true;
    }

    std::size_t number() const { return number_; }
    // Where the next line starts, as an offset from `start`, the first byte of the text.
    std::size_t position_in(const char* start) const {
        return static_cast<std::size_t>(text_.data() + pos_ - start);
    }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// One item of a differenced series: "[n&][sign]digits".
struct SeriesItem {
    bool starts_arc;
    int order;
    std::int64_t value;
};

// Reads one item from `p` up to the next blank or `end`. The character at `end` must be the
// line feed or carriage return that ended the line: it stops the scans without a bounds
// check on every digit. Eighteen digits are more than any RINEX field needs and keep the value
// within 64 bits.
// `text_end`, the end of the whole text, lets eight digits at a time be read where eight bytes
// remain.
inline bool parse_series_item(const char*& p, const char* end, const char* text_end,
                              SeriesItem& item) {
    item.starts_arc = p + 1 < end && p[1] == '&';
    item.order = 0;
    if (item.starts_arc) {
        if (!is_digit(p[0])) return false;
        item.order = p[0] - '0';
        p += 2;
    }
    const bool negative = *p == '-';
    if (negative || *p == '+') ++p;
    const char* digits = p;
    std::uint64_t magnitude = 0;
    if (text_end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        const int count = leading_digits(word);
        if (count > 0) {
            magnitude = digits_value(word, count);
            p += count;
        }
        if (count < 8) goto digits_done;
    }
    while (is_digit(*p)) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*p - '0');
        ++p;
    }
digits_done:
    const auto count = p - digits;
    if (count == 0 || count > 18 || p > end) return false;
    if (p != end && *p != ' ') return false;
    item.value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

struct ObservationField {
    DifferenceArc arc;
    bool active = false;  // false: the field was blank last time, a new arc must start
};

struct SatelliteState {
    std::vector<ObservationField> fields;
    std::string flags;  // LLI and signal-strength characters, two per field
};

// Satellite identifiers packed into one integer for quick comparison.
std::uint32_t pack_satellite(const char* id) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(id[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(id[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(id[2])) << 16;
}

class CompactRinexDecoder {
  public:
    CompactRinexDecoder(std::string_view text, std::size_t max_output)
        : lines_(text), max_output_(max_output), out_(expected_size(text.size(), max_output)),
          text_end_(text.data() + text.size()) {}

    // Hands the text to `sink` as it is decoded instead of keeping it. With `pages`, the buffer
    // that holds `text`, the pages already decoded are given back to the system as decoding
    // goes on.
    CompactRinexDecoder(std::string_view text, std::size_t max_output, ObservationSink& sink,
                        PageBuffer* pages)
        : lines_(text), max_output_(max_output), out_(1 << 16), text_end_(text.data() + text.size()),
          sink_(&sink), pages_(pages), text_start_(text.data()) {}

    Expected<std::string> run() {
        if (!read_header() || !read_body()) return Error{std::move(error_)};
        return std::move(out_).take();
    }

    Expected<bool> run_into_sink() {
        if (!read_header()) return Error{std::move(error_)};
        flush();
        if (!read_body()) return Error{std::move(error_)};
        flush();
        return true;
    }

  private:
    // Decoded files are three to four and a half times their compact size; reserving that
    // once avoids regrowing the text, and pages never written cost nothing.
    static std::size_t expected_size(std::size_t compact_size, std::size_t max_output) {
        const std::size_t guess = compact_size / 2 * 9 + 4096;
        return guess < max_output ? guess : max_output;
    }

    bool fail(std::string_view problem) {
        error_ = "compact RINEX: ";
        error_ += problem;
        error_ += " (line ";
        error_ += std::to_string(lines_.number());
        error_ += ")";
        return false;
    }

    // Sink mode: the lines written so far go to the sink.
    void flush() {
        if (sink_ == nullptr) return;
        std::string_view text = out_.view();
        emitted_ += text.size();
        for_each_line(text, [this](std::string_view line) { sink_->line(line); });
        out_.clear();
    }

    // The length of the text decoded so far, handed on or kept.
    std::size_t decoded_size() const { return emitted_ + out_.size(); }

    bool fail_too_large() {
        error_ = "compact RINEX: decoded text exceeds the limit of " + std::to_string(max_output_) +
                 " bytes";
        return false;
    }

    void write_line(std::string_view line) {
        char* o = out_.room(line.size() + 1);
        std::memcpy(o, line.data(), line.size());
        o[line.size()] = '\n';
        out_.commit(o + line.size() + 1);
    }

    // A line that must exist and be complete: anything else means the file was cut short.
    bool next_body_line(std::string_view& line, std::string_view inside) {
        bool terminated = false;
        if (!lines_.next(line, terminated)) {
            std::string problem = "file ends inside ";
            problem += inside;
            return fail(problem);
        }
        if (!terminated) return fail("file is truncated: its last line has no line end");
        return true;
    }

    bool read_header() {
        std::string_view line;
        bool terminated = false;
        if (!lines_.next(line, terminated) || !label_contains(line, kVersionLabel)) {
            return fail("first line is not a \"CRINEX VERS   / TYPE\" line");
        }
        const std::string_view version = trim(columns(line, 0, 20));
        if (version != "1.0" && version != "3.0") {
            return fail("format version \"" + std::string(version) + "\" is not 1.0 or 3.0");
        }
        // The second line names the program that compressed the file; it is not RINEX.
        if (!lines_.next(line, terminated) || !lines_.next(line, terminated)) {
            return fail("header ends before the RINEX header starts");
        }
        if (!label_contains(line, "RINEX VERSION / TYPE")) {
            return fail("RINEX header does not start with \"RINEX VERSION / TYPE\"");
        }
        const std::string_view rinex_version = trim(columns(line, 0, 9));
        const char major = rinex_version.empty() ? ' ' : rinex_version[0];
        if (major != '2' && major != '3' && major != '4') {
            return fail("RINEX version \"" + std::string(rinex_version) + "\" is not 2, 3 or 4");
        }
        rinex3_ = major != '2';
        if (version == "3.0" && !rinex3_) {
            return fail("format version 3.0 cannot hold RINEX 2 observations");
        }
        types_ = ObservationTypeCounts(rinex3_);
        satellite_column_ = rinex3_ ? 41 : 32;
        flag_column_ = rinex3_ ? 31 : 28;
        clock_layout_ = rinex3_ ? kRinex3Clock : kRinex2Clock;
        while (true) {
            write_line(trim_copied_line(line));
            if (!types_.read_header_line(line)) {
                return fail("observation type count is not a number from 0 to 999");
            }
            if (label_contains(line, "END OF HEADER")) return true;
            if (!lines_.next(line, terminated)) {
                return fail("no END OF HEADER found");
            }
        }
    }

    bool read_body() {
        std::string_view line;
        bool terminated = false;
        while (lines_.next(line, terminated)) {
            if (!terminated) return fail("file is truncated: its last line has no line end");
            if (!read_epoch(line)) return false;
            if (sink_ != nullptr) {
                flush();
                if (pages_ != nullptr) pages_->release_before(lines_.position_in(text_start_));
            }
            if (decoded_size() > max_output_) return fail_too_large();
        }
        return true;
    }

    bool read_epoch(std::string_view line) {
        // A line starting afresh is the difference against nothing: "&" stands for a blank there
        // too, which turns the marker of a RINEX 2 line into its blank column 0.
        const char fresh_start = rinex3_ ? '>' : '&';
        const bool fresh = !line.empty() && line[0] == fresh_start;
        if (fresh) {
            // The satellites start afresh; the clock offset keeps its arc, as in CRX2RNX.
            epoch_.clear();
            release_all_satellites();
            have_epoch_ = true;
        } else if (!have_epoch_) {
            return fail("epoch after an event epoch does not start afresh");
        }
        apply_character_difference(epoch_, line);
        std::size_t count = 0;
        if (!check_epoch_line(count)) return false;
        const char flag = epoch_[flag_column_];
        if (flag >= '2' && flag <= '6') return read_event(fresh ? line : epoch_, count);
        return read_observations(count);
    }

    // The columns every epoch line has: the leading character, the blanks before the flag, the
    // flag and the count. A line damaged elsewhere (a lost or doubled line shifts everything
    // after it) fails here rather than being decoded into nonsense.
    bool check_epoch_line(std::size_t& count) {
        const std::size_t flag = flag_column_;
        if (epoch_.size() <= flag + 1) return fail("epoch line is too short");
        if (epoch_[0] != (rinex3_ ? '>' : ' ')) {
            return fail(rinex3_ ? "epoch line does not start with '>'"
                                : "epoch line does not start with a blank");
        }
        if (epoch_[flag - 2] != ' ' || epoch_[flag - 1] != ' ') {
            return fail("epoch line has no blanks before its epoch flag");
        }
        if (epoch_[flag] < '0' || epoch_[flag] > '6') {
            return fail("epoch flag is not a digit from 0 to 6");
        }
        const std::string_view count_text = trim(columns(epoch_, flag + 1, flag + 4));
        if (count_text.empty()) return fail("epoch line has no count of satellites or records");
        for (char c : count_text) {
            if (!is_digit(c)) return fail("epoch line has no count of satellites or records");
            count = count * 10 + static_cast<std::size_t>(c - '0');
        }
        return true;
    }

    // Event epochs are stored as written, followed by `count` special records. They may
    // redefine the observation types, and the epoch after them starts afresh. CRX2RNX copies an
    // event line written afresh as it stands, "&" and all, but for the marker of RINEX 2.
    bool read_event(std::string_view epoch_line, std::size_t count) {
        if (rinex3_) {
            write_line(trim_copied_line(epoch_line));
        } else {
            out_.push_back(' ');
            write_line(trim_copied_line(epoch_line.substr(1)));
        }
        std::string_view line;
        for (std::size_t i = 0; i < count; ++i) {
            if (!next_body_line(line, "the special records of an event epoch")) return false;
            if (!types_.read_header_line(line)) {
                return fail("observation type count is not a number from 0 to 999");
            }
            write_line(trim_copied_line(line));
        }
        release_all_satellites();
        have_epoch_ = false;
        return true;
    }

    bool read_observations(std::size_t count) {
        if (epoch_.size() < satellite_column_ + 3 * count) {
            return fail("epoch line is too short for its count of " + std::to_string(count) +
                        " satellites");
        }
        if (!map_satellites(count)) return false;
        std::string_view line;
        if (!next_body_line(line, "an epoch, before its clock offset line")) return false;
        if (!read_clock(line)) return false;
        write_epoch_line(count);
        flush();
        for (std::size_t i = 0; i < count; ++i) {
            if (!next_body_line(line, "the satellite lines of an epoch")) return false;
            if (!decode_satellite_line(i, line)) return false;
        }
        return true;
    }

    bool read_clock(std::string_view line) {
        if (line.empty()) {
            clock_present_ = false;
            clock_continues_ = false;
            return true;
        }
        SeriesItem item;
        const char* p = line.data();
        const char* end = p + line.size();
        if (!parse_series_item(p, end, text_end_, item) || p != end) {
            return fail("clock offset line is not a number");
        }
        if (item.starts_arc) {
            if (item.order > DifferenceArc::kMaxOrder) {
                return fail("order of differences is higher than 5");
            }
            clock_.start(item.order, item.value);
        } else if (clock_continues_) {
            clock_.add(item.value);
        } else {
            // The clock offset restarts after a gap without "n&"; CRX2RNX takes the number as
            // the first value of a new arc of the previous order, and so does this decoder.
            clock_.restart(item.value);
        }
        const std::int64_t v = clock_.value();
        if (v < clock_layout_.min_value || v > clock_layout_.max_value) {
            return fail("receiver clock offset is out of the range RINEX can hold");
        }
        clock_present_ = true;
        clock_continues_ = true;
        return true;
    }

    // Gives each satellite of the epoch line its state: the one it had in the previous epoch,
    // or a fresh one when it was absent there (its observations must then start new arcs).
    bool map_satellites(std::size_t count) {
        const char* list = epoch_.data() + satellite_column_;
        next_keys_.resize(count);
        for (std::size_t i = 0; i < count; ++i) next_keys_[i] = pack_satellite(list + 3 * i);
        if (next_keys_ == keys_) return true;
        // A satellite listed twice cannot be told apart from itself in the next epoch.
        sorted_keys_.assign(next_keys_.begin(), next_keys_.end());
        std::sort(sorted_keys_.begin(), sorted_keys_.end());
        const auto twice = std::adjacent_find(sorted_keys_.begin(), sorted_keys_.end());
        if (twice != sorted_keys_.end()) {
            const char id[3] = {static_cast<char>(*twice & 0xff),
                                static_cast<char>(*twice >> 8 & 0xff),
                                static_cast<char>(*twice >> 16 & 0xff)};
            return fail("satellite \"" + std::string(id, 3) + "\" is listed twice in the epoch");
        }

        // Previous satellites by identifier, in an open-addressing table of indices + 1.
        std::size_t size = 64;
        while (size < 2 * keys_.size()) size *= 2;
        table_.assign(size, 0);
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            std::size_t h = (keys_[i] * 0x9E3779B1u) & (size - 1);
            while (table_[h] != 0) h = (h + 1) & (size - 1);
            table_[h] = static_cast<std::uint32_t>(i + 1);
        }
        claimed_.assign(keys_.size(), 0);
        next_slots_.assign(count, kNoSlot);
        for (std::size_t j = 0; j < count; ++j) {
            std::size_t h = (next_keys_[j] * 0x9E3779B1u) & (size - 1);
            while (table_[h] != 0) {
                const std::uint32_t i = table_[h] - 1;
                if (keys_[i] == next_keys_[j] && !claimed_[i]) {
                    claimed_[i] = 1;
                    next_slots_[j] = slots_[i];
                    break;
                }
                h = (h + 1) & (size - 1);
            }
        }
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            if (!claimed_[i]) free_slots_.push_back(slots_[i]);
        }
        for (std::size_t j = 0; j < count; ++j) {
            if (next_slots_[j] != kNoSlot) continue;
            const char* id = list + 3 * j;
            if (!new_satellite(id, next_slots_[j])) return false;
        }
        keys_.swap(next_keys_);
        slots_.swap(next_slots_);
        return true;
    }

    bool new_satellite(const char* id, std::uint32_t& slot) {
        const int types = types_.count_for(id[0]);
        if (types < 0) {
            std::string problem = "satellite \"";
            problem.append(id, 3);
            problem += rinex3_ ? "\" belongs to a system without \"SYS / # / OBS TYPES\""
                               : "\" is observed but the header has no \"# / TYPES OF OBSERV\"";
            return fail(problem);
        }
        if (free_slots_.empty()) {
            slot = static_cast<std::uint32_t>(pool_.size());
            pool_.emplace_back();
        } else {
            slot = free_slots_.back();
            free_slots_.pop_back();
        }
        SatelliteState& state = pool_[slot];
        state.fields.assign(static_cast<std::size_t>(types), ObservationField{});
        // A new satellite has blank flags until its line gives some. (RNX2CRX writes the
        // flags of every field of a new RINEX 3 satellite, and CRX2RNX cuts the satellite's
        // line short where given flags end; a file without them decodes here with blanks.)
        state.flags.assign(2 * static_cast<std::size_t>(types), ' ');
        return true;
    }

    void release_all_satellites() {
        free_slots_.insert(free_slots_.end(), slots_.begin(), slots_.end());
        keys_.clear();
        slots_.clear();
    }

    // The epoch line as RINEX writes it. RINEX 3 keeps the first 41 columns (the satellites
    // go on the satellite lines) and puts the clock offset after them. RINEX 2 keeps the first
    // 68 columns, puts the clock offset in columns 68 to 79 and continues the satellite list on
    // lines of twelve, indented by 32 blanks; the columns are cut from the compact line as they
    // are, the way CRX2RNX cuts them.
    void write_epoch_line(std::size_t count) {
        const std::size_t head_width = rinex3_ ? 41 : 68;
        std::string_view head = columns(epoch_, 0, head_width);
        if (clock_present_) {
            char clock_text[16];
            write_clock_offset(clock_text, clock_.value(), clock_layout_);
            out_.append(head);
            out_.append(head_width - head.size(), ' ');
            out_.append(
                std::string_view(clock_text, static_cast<std::size_t>(clock_layout_.width)));
            out_.push_back('\n');
        } else {
            write_line(trim_trailing_blanks(head));
        }
        if (rinex3_) return;
        const std::size_t chunk = 3 * kRinex2SatellitesPerLine;
        for (std::size_t k = kRinex2SatellitesPerLine; k < count; k += kRinex2SatellitesPerLine) {
            const std::size_t from = head_width + chunk * (k / kRinex2SatellitesPerLine - 1);
            out_.append(satellite_column_, ' ');
            write_line(trim_trailing_blanks(columns(epoch_, from, from + chunk)));
        }
    }

    bool decode_satellite_line(std::size_t index, std::string_view line) {
        SatelliteState& state = pool_[slots_[index]];
        const std::size_t types = state.fields.size();
        if (values_.size() < types) values_.resize(types);
        std::int64_t* values = values_.data();

        // The observations: blank-separated items, the line possibly ending early.
        const char* p = line.data();
        const char* end = p + line.size();
        bool ended = false;  // the line stopped before all fields: the rest are blank
        for (std::size_t i = 0; i < types; ++i) {
            ObservationField& field = state.fields[i];
            if (ended || p == end) {
                ended = true;
                field.active = false;
                values[i] = kBlank;
                continue;
            }
            if (*p == ' ') {
                ++p;
                field.active = false;
                values[i] = kBlank;
                continue;
            }
            SeriesItem item;
            if (!parse_series_item(p, end, text_end_, item)) {
                return fail("observation field is not a number");
            }
            std::int64_t value;
            if (item.starts_arc) {
                if (item.order > DifferenceArc::kMaxOrder) {
                    return fail("order of differences is higher than 5");
                }
                field.arc.start(item.order, item.value);
                field.active = true;
                value = item.value;
            } else {
                if (!field.active) {
                    return fail("observation continues an arc that was never started");
                }
                value = field.arc.add(item.value);
            }
            if (value < kMinObservationValue || value > kMaxObservationValue) {
                return fail("observation value is out of the range RINEX can hold");
            }
            values[i] = value;
            if (p == end) {
                ended = true;
            } else {
                ++p;  // the blank after the field
            }
        }

        // The flags after the observations, differenced against the satellite's last ones.
        if (!ended) {
            apply_character_difference(state.flags,
                                       std::string_view(p, static_cast<std::size_t>(end - p)));
        }
        char* flags = state.flags.data();
        if (!rinex3_) {
            // RINEX 2 flags belong to their observation: a missing one loses its flags, and
            // they are blank again when it returns.
            for (std::size_t i = 0; i < types; ++i) {
                if (values[i] == kBlank) {
                    flags[2 * i] = ' ';
                    flags[2 * i + 1] = ' ';
                }
            }
        }

        if (sink_ != nullptr) {
            // The text this record stands for counts at its longest against the limit.
            const char* id = epoch_.data() + satellite_column_ + 3 * index;
            if (sink_->satellite(id, values, flags, types)) {
                emitted_ += 3 + types * (kFieldWidth + 1) + 1;
                return true;
            }
        }

        // The RINEX line(s): "Xnn" and every field in RINEX 3; in RINEX 2 five fields a line.
        const std::size_t per_line = rinex3_ ? types : kRinex2FieldsPerLine;
        char* o = out_.room(3 + types * (kFieldWidth + 1) + 1);
        char* line_start = o;
        if (rinex3_) {
            std::memcpy(o, epoch_.data() + satellite_column_ + 3 * index, 3);
            o += 3;
        }
        std::size_t i = 0;
        while (true) {
            const std::size_t stop = std::min(types, i + per_line);
            for (; i < stop; ++i) {
                if (values[i] == kBlank) {
                    std::memcpy(o, "              ", kValueWidth);
                } else {
                    write_observation_value(o, values[i]);
                }
                o[kValueWidth] = flags[2 * i];
                o[kValueWidth + 1] = flags[2 * i + 1];
                o += kFieldWidth;
            }
            while (o > line_start && o[-1] == ' ') --o;
            *o++ = '\n';
            if (i >= types) break;
            line_start = o;
        }
        out_.commit(o);
        flush();
        return true;
    }

    static constexpr std::uint32_t kNoSlot = ~std::uint32_t{0};
    static constexpr std::int64_t kBlank = kBlankObservation;  // outside every observation's range

    CompactLineCursor lines_;
    std::size_t max_output_;
    GrowingText out_;
    const char* text_end_;
    std::string error_;

    bool rinex3_ = false;
    ObservationTypeCounts types_{false};
    std::size_t satellite_column_ = 32;
    std::size_t flag_column_ = 28;
    ClockLayout clock_layout_ = kRinex2Clock;

    // The current epoch line, differences applied. The first one may be a difference against
    // an empty line, as CRX2RNX allows; after an event epoch it must start afresh.
    std::string epoch_;
    bool have_epoch_ = true;
    DifferenceArc clock_;
    bool clock_present_ = false;
    bool clock_continues_ = false;

    std::vector<SatelliteState> pool_;
    std::vector<std::uint32_t> free_slots_;
    std::vector<std::uint32_t> keys_, slots_;  // satellites of the previous epoch
    std::vector<std::uint32_t> next_keys_, next_slots_, sorted_keys_, table_;
    std::vector<std::uint8_t> claimed_;
    std::vector<std::int64_t> values_;  // one satellite's observations, or kBlank

    ObservationSink* sink_ = nullptr;
    PageBuffer* pages_ = nullptr;
    const char* text_start_ = nullptr;
    std::size_t emitted_ = 0;  // sink mode: length of the text handed on
};

}  // namespace

bool is_compact_rinex(std::string_view bytes) {
    // The label sits in columns 60 to 79 of the first line; a longer look is never needed.
    const std::string_view head = bytes.substr(0, 128);
    return label_contains(head.substr(0, head.find('\n')), kVersionLabel);
}

Expected<std::string> decode_compact_rinex(std::string_view text, std::size_t max_output) {
    return CompactRinexDecoder(text, max_output).run();
}

Expected<bool> decode_compact_rinex_into(std::string_view text, ObservationSink& sink,
                                         std::size_t max_output, PageBuffer* pages) {
    return CompactRinexDecoder(text, max_output, sink, pages).run_into_sink();
}

}  // namespace qcn0
