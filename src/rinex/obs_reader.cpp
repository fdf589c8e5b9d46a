#include "rinex/obs_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <optional>
#include <unordered_map>
#include <vector>

#include "compression/huge_pages.hpp"
#include "core/lines.hpp"
#include "core/text.hpp"

namespace qcn0 {

std::string_view convert_rinex2_code(std::string_view code) {
    static constexpr std::string_view table[][2] = {
        {"C1", "C1C"}, {"P1", "C1P"}, {"L1", "L1C"}, {"S1", "S1C"}, {"C2", "C2C"}, {"P2", "C2P"},
        {"L2", "L2C"}, {"S2", "S2C"}, {"C5", "C5Q"}, {"L5", "L5Q"}, {"S5", "S5Q"},
    };
    for (const auto& row : table) {
        if (row[0] == code) return row[1];
    }
    return code;
}

namespace {

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Identifier -> index of first appearance. Identifiers are at most three bytes, so each packs
// into one integer key; an open-addressing table keeps lookups cheap on every satellite line.
class SatelliteInterner {
public:
    explicit SatelliteInterner(std::vector<std::string>& names) : names_(names) {
        slots_.assign(256, kEmpty);
    }

    std::uint32_t intern(std::string_view raw) {
        // The key is the identifier as stored: bytes of 128 or more read as '?', and a number
        // written with a blank ("G 7") zero-padded.
        char id[3];
        const std::size_t len = raw.size() < 3 ? raw.size() : 3;
        for (std::size_t i = 0; i < len; ++i) {
            id[i] = static_cast<unsigned char>(raw[i]) >= 128 ? '?' : raw[i];
        }
        if (len == 3 && id[1] == ' ' && is_digit(id[2])) id[1] = '0';
        std::uint32_t key = pack(std::string_view(id, len));
        std::size_t mask = slots_.size() - 1;
        std::size_t h = hash(key) & mask;
        while (true) {
            std::uint64_t slot = slots_[h];
            if (slot == kEmpty) break;
            if (static_cast<std::uint32_t>(slot >> 32) == key) return static_cast<std::uint32_t>(slot);
            h = (h + 1) & mask;
        }
        auto index = static_cast<std::uint32_t>(names_.size());
        names_.emplace_back(id, len);
        slots_[h] = (static_cast<std::uint64_t>(key) << 32) | index;
        if (names_.size() * 2 > slots_.size()) grow();
        return index;
    }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    static std::uint32_t pack(std::string_view id) {
        std::uint32_t key = static_cast<std::uint32_t>(id.size()) << 24;
        for (std::size_t i = 0; i < id.size() && i < 3; ++i) {
            key |= static_cast<std::uint32_t>(static_cast<unsigned char>(id[i])) << (8 * i);
        }
        return key;
    }
    static std::size_t hash(std::uint32_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B1u) >> 8);
    }
    void grow() {
        std::vector<std::uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.size() * 2, kEmpty);
        std::size_t mask = slots_.size() - 1;
        for (std::uint64_t slot : old) {
            if (slot == kEmpty) continue;
            std::size_t h = hash(static_cast<std::uint32_t>(slot >> 32)) & mask;
            while (slots_[h] != kEmpty) h = (h + 1) & mask;
            slots_[h] = slot;
        }
    }

    std::vector<std::string>& names_;
    std::vector<std::uint64_t> slots_;
};

// The header, line by line: fills the header fields until "END OF HEADER".
class HeaderReader {
public:
    explicit HeaderReader(RinexObsData& obs) : obs_(obs) {}

    // Takes one header line; true when it ends the header.
    bool line(std::string_view line) {
        RinexObsData& obs = obs_;
        if (line.size() < 60) return false;
        std::string_view label = trim(line.substr(60));
        if (contains(label, "RINEX VERSION")) {
            if (auto v = parse_float(trim(columns(line, 0, 9)))) obs.version = *v;
        } else if (contains(label, "MARKER NAME")) {
            obs.marker_name = ascii_text(trim(columns(line, 0, 60)));
        } else if (contains(label, "REC # / TYPE")) {
            obs.receiver_type = ascii_text(trim(columns(line, 20, 40)));
        } else if (contains(label, "ANT # / TYPE")) {
            obs.antenna_type = ascii_text(trim(columns(line, 20, 40)));
        } else if (contains(label, "APPROX POSITION XYZ")) {
            double xyz[3];
            std::size_t kept = 0;
            for_each_word(columns(line, 0, 60), [&](std::string_view w) {
                if (auto v = parse_float(w)) {
                    if (kept < 3) xyz[kept] = *v;
                    ++kept;
                }
            });
            if (kept >= 3) obs.approx_position = std::array<double, 3>{xyz[0], xyz[1], xyz[2]};
        } else if (contains(label, "INTERVAL")) {
            if (auto v = parse_float(trim(columns(line, 0, 10)))) obs.interval = *v;
        } else if (contains(label, "SYS / # / OBS TYPES")) {
            char c = line[0];
            if (c == 'C' || c == 'E' || c == 'G' || c == 'I' || c == 'J' || c == 'R' || c == 'S') {
                current_system_ = c;
            }
            if (current_system_ == 0) return false;
            std::vector<std::string> found;
            // Every code names a field of the data records, so every code is kept, two-character
            // ones too (receivers write "X1", the channel number, as a code): dropping one would
            // shift every following field of the system onto the wrong code.
            for_each_word(columns(line, 6, 60), [&](std::string_view w) {
                if (w.size() >= 2 && is_ascii_letter(w[0])) found.push_back(ascii_text(w));
            });
            if (!found.empty()) {
                store_rinex2_codes();
                auto& list = list_of(current_system_);
                for (auto& code : found) list.push_back(std::move(code));
            }
        } else if (contains(label, "# / TYPES OF OBSERV")) {
            for_each_word(columns(line, 0, 60), [&](std::string_view w) {
                if (w.size() < 2 || is_digit(w[0])) return;
                rinex2_codes_.push_back(ascii_text(w.size() == 2 ? convert_rinex2_code(w) : w));
            });
            for (char system : {'G', 'R', 'E', 'C'}) list_of(system);
            rinex2_pending_ = true;
        } else if (contains(label, "GLONASS SLOT / FRQ") || contains(label, "GLONASS COD/PHS/BIS")) {
            std::vector<std::string_view> pieces;
            for_each_word(columns(line, 0, 60), [&](std::string_view w) { pieces.push_back(w); });
            std::size_t k = 0;
            while (k + 1 < pieces.size()) {
                std::string_view p = pieces[k];
                if (p.size() >= 3 && p[0] == 'R') {
                    auto slot = parse_u32(p.substr(1));
                    auto channel = parse_i32(pieces[k + 1]);
                    if (slot && channel) {
                        auto [known, added] = slot_index_.try_emplace(*slot, obs.glonass_slots.size());
                        if (added) {
                            obs.glonass_slots.emplace_back(std::to_string(*slot), *channel);
                        } else {
                            obs.glonass_slots[known->second].second = *channel;
                        }
                        k += 2;
                        continue;
                    }
                }
                k += 1;
            }
        } else if (contains(label, "END OF HEADER")) {
            store_rinex2_codes();
            return true;
        }
        return false;
    }

private:
    std::vector<std::string>& list_of(char system) {
        for (auto& t : obs_.obs_types) {
            if (t.system == system) return t.codes;
        }
        obs_.obs_types.push_back(SystemObsTypes{system, {}});
        return obs_.obs_types.back().codes;
    }
    // The RINEX 2 list grows line by line and is the list of G, R, E and C after each line.
    // Copying it to them after every line would cost the square of its length on a long header,
    // so the copy waits until another code line or the end of the header needs it.
    void store_rinex2_codes() {
        if (!rinex2_pending_) return;
        for (char system : {'G', 'R', 'E', 'C'}) list_of(system) = rinex2_codes_;
        rinex2_pending_ = false;
    }

    RinexObsData& obs_;
    char current_system_ = 0;
    std::vector<std::string> rinex2_codes_;
    bool rinex2_pending_ = false;
    std::unordered_map<std::uint32_t, std::size_t> slot_index_;  // slot -> glonass_slots entry
};

// Builds epochs, satellite entries and values while the reader walks the data lines.
class EpochBuilder {
public:
    explicit EpochBuilder(RinexObsData& obs) : obs_(obs), interner_(obs.satellites) {}

    // Observation codes of each system, interned.
    std::vector<std::uint32_t> intern_codes(const std::vector<std::string>& list) {
        std::vector<std::uint32_t> out;
        out.reserve(list.size());
        for (const auto& code : list) {
            auto [it, added] = code_index_.try_emplace(code, static_cast<std::uint32_t>(obs_.codes.size()));
            if (added) obs_.codes.push_back(code);
            out.push_back(it->second);
        }
        value_of_code_.resize(obs_.codes.size());
        satellite_of_code_.resize(obs_.codes.size(), 0);
        return out;
    }

    static bool has_repeats(const std::vector<std::uint32_t>& codes) {
        std::vector<char> seen;
        for (std::uint32_t c : codes) {
            if (c >= seen.size()) seen.resize(c + 1, 0);
            if (seen[c]) return true;
            seen[c] = 1;
        }
        return false;
    }

    void begin_epoch(const EpochTime& t, std::uint8_t flag) {
        current_ = ObsEpoch{t, flag, static_cast<std::uint32_t>(obs_.entries.size()), 0};
    }

    // Values of one satellite are appended with add_value between begin_satellite and
    // end_satellite; a satellite without values leaves no trace.
    void begin_satellite() {
        sat_first_ = static_cast<std::uint32_t>(obs_.values.size());
        ++satellite_serial_;
    }

    // `may_repeat`: the code list names some code twice, and a later field of the same code
    // replaces the earlier one in place.
    void add_value(double value, std::uint32_t code, std::uint8_t lli, std::uint8_t ssi,
                   bool may_repeat) {
        if (may_repeat) {
            // Where this satellite's value of the code lies, if it has one already.
            if (satellite_of_code_[code] == satellite_serial_) {
                obs_.values[value_of_code_[code]] = StoredValue{value, code, lli, ssi};
                return;
            }
            satellite_of_code_[code] = satellite_serial_;
            value_of_code_[code] = static_cast<std::uint32_t>(obs_.values.size());
        }
        obs_.values.push_back(StoredValue{value, code, lli, ssi});
    }

    void end_satellite(std::string_view id) {
        auto count = static_cast<std::uint32_t>(obs_.values.size()) - sat_first_;
        if (count == 0) return;
        std::uint32_t sat = interner_.intern(id);
        if (sat >= last_epoch_of_.size()) {
            last_epoch_of_.resize(sat + 1, kNever);
            entry_of_.resize(sat + 1, 0);
        }
        auto epoch_index = static_cast<std::uint32_t>(obs_.epochs.size());
        if (last_epoch_of_[sat] == epoch_index) {
            // The same satellite twice in one epoch: the later line replaces the earlier one
            // and keeps its place.
            SatelliteObservations& earlier = obs_.entries[entry_of_[sat]];
            earlier.first = sat_first_;
            earlier.count = count;
            return;
        }
        last_epoch_of_[sat] = epoch_index;
        entry_of_[sat] = static_cast<std::uint32_t>(obs_.entries.size());
        obs_.entries.push_back(SatelliteObservations{sat, sat_first_, count});
        ++current_.count;
    }

    void end_epoch() {
        if (current_.count > 0) obs_.epochs.push_back(current_);
    }

private:
    static constexpr std::uint32_t kNever = ~std::uint32_t{0};
    RinexObsData& obs_;
    SatelliteInterner interner_;
    ObsEpoch current_;
    std::uint32_t sat_first_ = 0;
    std::vector<std::uint32_t> last_epoch_of_;  // per satellite: last epoch it entered
    std::vector<std::uint32_t> entry_of_;       // per satellite: its entry in that epoch
    std::unordered_map<std::string, std::uint32_t> code_index_;
    // Per code: the satellite line (by serial number) that last stored it, and where.
    std::uint64_t satellite_serial_ = 0;
    std::vector<std::uint64_t> satellite_of_code_;
    std::vector<std::uint32_t> value_of_code_;
};

std::uint8_t indicator_at(std::string_view rest, std::size_t pos) {
    if (pos >= rest.size()) return kNoIndicator;
    char c = rest[pos];
    return is_digit(c) ? static_cast<std::uint8_t>(c - '0') : kNoIndicator;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A value field: trimmed and read as a float; blank, unreadable or 0.0 fields give nothing.
// The usual field, blanks and an optional minus around digits with one decimal point, is read
// here as an integer over a power of ten: both are exact in a double for up to 15 digits, so the
// one rounding of the division gives the nearest double to the decimal, as the general reader
// does. Anything else goes to the general reader.
bool read_value(std::string_view field, double& out) {
    const char* p = field.data();
    const std::size_t n = field.size();
    if (n == 14) {
        // Nearly every field of a file is blank or written F14.3.
        std::uint64_t head, tail;
        std::memcpy(&head, p, 8);
        std::memcpy(&tail, p + 6, 8);
        constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
        if (head == kBlanks && tail == kBlanks) return false;
        const auto f0 = static_cast<unsigned>(p[11] - '0');
        const auto f1 = static_cast<unsigned>(p[12] - '0');
        const auto f2 = static_cast<unsigned>(p[13] - '0');
        if (p[10] == '.' && f0 < 10 && f1 < 10 && f2 < 10) {
            std::uint64_t whole = 0, scale = 1;
            int k = 9;
            for (; k >= 0; --k) {
                const auto d = static_cast<unsigned>(p[k] - '0');
                if (d >= 10) break;
                whole += d * scale;
                scale *= 10;
            }
            const bool negative = k >= 0 && p[k] == '-';
            if (negative) --k;
            while (k >= 0 && p[k] == ' ') --k;
            if (k < 0) {
                const std::uint64_t thousandths = whole * 1000 + f0 * 100 + f1 * 10 + f2;
                if (thousandths == 0) return false;
                const double magnitude = static_cast<double>(thousandths) / 1000.0;
                out = negative ? -magnitude : magnitude;
                return true;
            }
        }
    }
    std::size_t i = 0;
    while (i < n && p[i] == ' ') ++i;
    if (i == n) return false;
    const bool negative = p[i] == '-';
    if (negative) ++i;
    std::uint64_t digits = 0;
    const std::size_t int_start = i;
    while (i < n && is_digit(p[i])) digits = digits * 10 + static_cast<std::uint64_t>(p[i++] - '0');
    std::size_t count = i - int_start;
    std::size_t decimals = 0;
    if (i < n && p[i] == '.') {
        const std::size_t frac_start = ++i;
        while (i < n && is_digit(p[i])) digits = digits * 10 + static_cast<std::uint64_t>(p[i++] - '0');
        decimals = i - frac_start;
        count += decimals;
    }
    std::size_t end = i;
    while (end < n && p[end] == ' ') ++end;
    if (end == n && count > 0 && count <= 15) {
        if (digits == 0) return false;
        const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[decimals];
        out = negative ? -magnitude : magnitude;
        return true;
    }
    field = trim(field);
    if (field.empty()) return false;
    auto v = parse_float(field);
    if (!v || *v == 0.0) return false;
    out = *v;
    return true;
}

// One satellite slot of a RINEX 2 epoch line: three characters, system letter optional.
bool rinex2_slot(std::string_view line, std::size_t start, std::string& id) {
    if (start + 3 > line.size()) return false;
    std::string_view slot = trim(line.substr(start, 3));
    if (slot.empty()) return false;
    if (slot.size() == 3) {
        id.assign(slot);
        return true;
    }
    auto number = parse_u32(slot);
    id = "G";
    std::string digits = std::to_string(number.value_or(0));
    if (digits.size() < 2) id.push_back('0');
    id += digits;
    return true;
}

// A loss-of-lock or signal-strength character: a digit, or nothing.
std::uint8_t indicator_of(char c) {
    return is_digit(c) ? static_cast<std::uint8_t>(c - '0') : kNoIndicator;
}

}  // namespace

// The reader's state between lines: which part of the file the next line belongs to.
struct ObservationReader::State {
    enum class Part : std::uint8_t {
        header,
        epochs3,        // RINEX 3: between epochs
        satellites3,    // RINEX 3: the satellite lines of an epoch
        epochs2,        // RINEX 2: between epochs
        satellite_ids2, // RINEX 2: the continued satellite list of an epoch line
        values2,        // RINEX 2: the observation lines of the epoch's satellites
    };

    State(std::string_view filename, std::size_t text_bytes) : header(obs), text_bytes(text_bytes) {
        obs.filename = std::string(filename);
    }

    RinexObsData obs;
    HeaderReader header;
    std::optional<EpochBuilder> builder;
    Part part = Part::header;
    std::size_t text_bytes;

    // RINEX 3: codes of each system letter.
    std::vector<std::uint32_t> codes_of[128];
    bool has_codes[128] = {};
    bool repeats_of[128] = {};
    std::uint64_t satellites_left = 0;  // satellite lines the epoch line announced, still to come

    // RINEX 2: one code list for every system.
    std::vector<std::uint32_t> codes;
    std::size_t lines_per_satellite = 0;
    bool repeats = false;
    EpochTime epoch_time{};
    std::uint8_t epoch_flag = 0;
    std::vector<std::string> ids;
    std::uint64_t ids_left = 0;
    std::size_t satellite = 0;       // index into ids
    std::size_t satellite_line = 0;  // observation line of that satellite

    void begin_data();
    void epoch_line3(std::string_view line);
    void satellite_line3(std::string_view line);
    void end_satellite_line3();
    void epoch_line2(std::string_view line);
    void satellite_ids2(std::string_view line);
    void start_values2();
    void values_line2(std::string_view line);
    void next_satellite2();
};

void ObservationReader::State::begin_data() {
    if (obs.marker_name.empty()) obs.marker_name = obs.filename;
    // Every stored value takes a field of its own of up to 16 characters, and every satellite
    // entry and epoch a line of its own. Lines of real files are 60 to 200 characters long, so
    // the arrays are reserved for lines of 40 on average: they never move while they grow, and
    // pages never written cost no memory. A text of shorter lines lets them grow as needed.
    const std::size_t lines = text_bytes / 40 + 16;
    obs.values.reserve(text_bytes / 16 + lines);
    obs.entries.reserve(lines);
    obs.epochs.reserve(lines / 2);
    advise_huge_pages(obs.values.data(), obs.values.capacity() * sizeof(StoredValue));
    advise_huge_pages(obs.entries.data(), obs.entries.capacity() * sizeof(SatelliteObservations));

    builder.emplace(obs);
    if (obs.version >= 3.0) {
        for (const auto& t : obs.obs_types) {
            auto c = static_cast<unsigned char>(t.system);
            codes_of[c] = builder->intern_codes(t.codes);
            has_codes[c] = true;
            repeats_of[c] = EpochBuilder::has_repeats(codes_of[c]);
        }
        part = Part::epochs3;
    } else {
        if (const auto* list = obs.obs_types_of('G')) codes = builder->intern_codes(*list);
        lines_per_satellite = (codes.size() + 4) / 5;
        repeats = EpochBuilder::has_repeats(codes);
        part = Part::epochs2;
    }
}

void ObservationReader::State::epoch_line3(std::string_view line) {
    if (line.empty() || line[0] != '>') return;
    std::string_view body = line.substr(1);
    auto t = parse_epoch_text(trim(body));
    if (!t) return;
    std::uint8_t flag = 0;
    std::uint64_t count = 0;
    std::size_t piece = 0;
    std::string_view flag_text, count_text;
    for_each_word(body, [&](std::string_view w) {
        if (piece == 6) flag_text = w;
        if (piece == 7) count_text = w;
        ++piece;
    });
    flag = parse_u8(flag_text).value_or(0);
    count = parse_unsigned(count_text, UINT64_MAX).value_or(0);
    // The flag is one column wide and the count follows it directly in three, so an epoch of
    // 100 or more satellites writes them as one piece ("0123"); the one-digit flag and the
    // count are then told apart by their columns. Read as one number, such an epoch would be
    // lost with all its satellites.
    if (flag_text.size() >= 4 && (count_text.empty() || !parse_unsigned(count_text, UINT64_MAX))) {
        bool digits = true;
        for (char c : flag_text) digits = digits && is_digit(c);
        if (digits) {
            flag = static_cast<std::uint8_t>(flag_text[0] - '0');
            count = parse_unsigned(flag_text.substr(1), UINT64_MAX).value_or(0);
        }
    }
    if (count == 0) return;
    builder->begin_epoch(*t, flag);
    satellites_left = count;
    part = Part::satellites3;
}

void ObservationReader::State::satellite_line3(std::string_view sat_line) {
    if (sat_line.empty() || sat_line[0] == '>') {
        // The epoch ends early; the line is read as what follows it.
        builder->end_epoch();
        part = Part::epochs3;
        epoch_line3(sat_line);
        return;
    }
    if (sat_line.size() > 2) {
        std::string_view id = trim(sat_line.substr(0, 3));
        char system = id.empty() ? 'G' : id[0];
        auto sc = static_cast<unsigned char>(system);
        if (sc < 128 && has_codes[sc]) {
            const auto& list = codes_of[sc];
            std::string_view rest = sat_line.substr(3);
            builder->begin_satellite();
            for (std::size_t k = 0; k < list.size(); ++k) {
                std::size_t start = 16 * k;
                if (start >= rest.size()) break;
                double v;
                if (!read_value(columns(rest, start, start + 14), v)) continue;
                builder->add_value(v, list[k], indicator_at(rest, start + 14),
                                   indicator_at(rest, start + 15), repeats_of[sc]);
            }
            builder->end_satellite(id);
        }
    }
    end_satellite_line3();
}

void ObservationReader::State::end_satellite_line3() {
    if (--satellites_left == 0) {
        builder->end_epoch();
        part = Part::epochs3;
    }
}

void ObservationReader::State::epoch_line2(std::string_view line) {
    if (line.size() < 26) return;
    auto year = parse_i32(trim(columns(line, 1, 3)));
    auto month = parse_u32(trim(columns(line, 4, 6)));
    auto day = parse_u32(trim(columns(line, 7, 9)));
    auto hour = parse_u32(trim(columns(line, 10, 12)));
    auto minute = parse_u32(trim(columns(line, 13, 15)));
    auto second = parse_float(trim(columns(line, 15, 26)));
    if (!year || !month || !day || !hour || !minute || !second || line.size() < 32) return;
    epoch_time = EpochTime{expand_two_digit_year(*year), *month, *day, *hour, *minute, *second};
    epoch_flag = parse_u8(trim(columns(line, 26, 29))).value_or(0);
    auto count = parse_unsigned(trim(columns(line, 29, 32)), UINT64_MAX);
    if (!count || *count == 0) return;
    ids.clear();
    ids_left = *count;
    satellite_ids2(line);
}

// Satellite list: 12 slots per line, continued on following lines.
void ObservationReader::State::satellite_ids2(std::string_view line) {
    std::uint64_t slots = ids_left < 12 ? ids_left : 12;
    std::string id;
    for (std::uint64_t s = 0; s < slots; ++s) {
        if (rinex2_slot(line, 32 + 3 * s, id)) ids.push_back(id);
    }
    ids_left -= slots;
    if (ids_left == 0) {
        start_values2();
    } else {
        part = Part::satellite_ids2;
    }
}

void ObservationReader::State::start_values2() {
    builder->begin_epoch(epoch_time, epoch_flag);
    if (lines_per_satellite == 0 || ids.empty()) {
        builder->end_epoch();
        part = Part::epochs2;
        return;
    }
    satellite = 0;
    satellite_line = 0;
    builder->begin_satellite();
    part = Part::values2;
}

void ObservationReader::State::values_line2(std::string_view obs_line) {
    for (std::size_t m = 0; m < 5; ++m) {
        std::size_t k = 5 * satellite_line + m;
        if (k >= codes.size()) break;
        if (obs_line.size() <= 16 * m) break;
        double v;
        if (!read_value(columns(obs_line, 16 * m, 16 * m + 14), v)) continue;
        builder->add_value(v, codes[k], kNoIndicator, kNoIndicator, repeats);
    }
    if (++satellite_line == lines_per_satellite) next_satellite2();
}

void ObservationReader::State::next_satellite2() {
    builder->end_satellite(ids[satellite]);
    if (++satellite == ids.size()) {
        builder->end_epoch();
        part = Part::epochs2;
        return;
    }
    satellite_line = 0;
    builder->begin_satellite();
}

ObservationReader::ObservationReader(std::string_view filename, std::size_t text_bytes)
    : state_(std::make_unique<State>(filename, text_bytes)) {}

ObservationReader::~ObservationReader() = default;

void ObservationReader::line(std::string_view line) {
    State& s = *state_;
    switch (s.part) {
        case State::Part::header:
            if (s.header.line(line)) s.begin_data();
            break;
        case State::Part::epochs3:
            s.epoch_line3(line);
            break;
        case State::Part::satellites3:
            s.satellite_line3(line);
            break;
        case State::Part::epochs2:
            s.epoch_line2(line);
            break;
        case State::Part::satellite_ids2:
            s.satellite_ids2(line);
            break;
        case State::Part::values2:
            s.values_line2(line);
            break;
    }
}

bool ObservationReader::satellite(const char* id, const std::int64_t* thousandths,
                                  const char* flags, std::size_t fields) {
    State& s = *state_;
    if (s.part == State::Part::satellites3) {
        // The line "id + fields" read as text: an identifier with blanks, or one that starts
        // an epoch line, takes the text path.
        if (id[0] == '>' || is_space(id[0]) || is_space(id[1]) || is_space(id[2])) return false;
        auto sc = static_cast<unsigned char>(id[0]);
        if (sc < 128 && s.has_codes[sc]) {
            const auto& list = s.codes_of[sc];
            const std::size_t n = std::min(list.size(), fields);
            s.builder->begin_satellite();
            for (std::size_t k = 0; k < n; ++k) {
                const std::int64_t v = thousandths[k];
                if (v == kBlankObservation || v == 0) continue;
                s.builder->add_value(static_cast<double>(v) / 1000.0, list[k],
                                     indicator_of(flags[2 * k]), indicator_of(flags[2 * k + 1]),
                                     s.repeats_of[sc]);
            }
            s.builder->end_satellite(std::string_view(id, 3));
        }
        s.end_satellite_line3();
        return true;
    }
    // RINEX 2: the record stands for whole observation lines of the satellite due next, five
    // fields a line, when it has as many lines as the reader expects.
    const std::size_t lines = fields == 0 ? 1 : (fields + 4) / 5;
    if (s.part != State::Part::values2 || s.satellite_line != 0 || lines != s.lines_per_satellite) {
        return false;
    }
    const std::size_t n = std::min(s.codes.size(), fields);
    for (std::size_t k = 0; k < n; ++k) {
        const std::int64_t v = thousandths[k];
        if (v == kBlankObservation || v == 0) continue;
        s.builder->add_value(static_cast<double>(v) / 1000.0, s.codes[k], kNoIndicator,
                             kNoIndicator, s.repeats);
    }
    s.next_satellite2();
    return true;
}

Expected<RinexObsData> ObservationReader::finish() {
    State& s = *state_;
    switch (s.part) {
        case State::Part::header:
            return Error{"No END OF HEADER found"};
        case State::Part::satellites3:
            s.builder->end_epoch();
            break;
        case State::Part::values2:
            // The text ends inside a satellite's lines: what it has is kept.
            s.builder->end_satellite(s.ids[s.satellite]);
            s.builder->end_epoch();
            break;
        default:
            break;
    }
    s.part = State::Part::epochs3;
    return std::move(s.obs);
}

Expected<RinexObsData> read_observation_text(std::string_view bytes, std::string_view filename) {
    ObservationReader reader(filename, bytes.size());
    for_each_line(bytes, [&](std::string_view line) { reader.line(line); });
    return reader.finish();
}

}  // namespace qcn0
