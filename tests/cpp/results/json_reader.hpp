// A strict little JSON reader for checking written documents: it accepts only the JSON grammar
// (no trailing commas, no bare words other than true/false/null) and keeps object members in
// document order, so two documents compare equal exactly when they hold the same values in the
// same order.
#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace qcn0::testing {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;

struct JsonValue {
    // null, flag, number, string, array, object
    std::variant<std::monostate, bool, double, std::string, JsonArray, JsonObject> v;

    bool operator==(const JsonValue&) const = default;

    bool is_null() const { return v.index() == 0; }
    double number() const { return std::get<double>(v); }
    const std::string& text() const { return std::get<std::string>(v); }
    const JsonArray& array() const { return std::get<JsonArray>(v); }
    const JsonObject& object() const { return std::get<JsonObject>(v); }
    const JsonValue& operator[](std::string_view key) const {
        for (const auto& [k, value] : object()) {
            if (k == key) return value;
        }
        static const JsonValue missing;
        return missing;
    }
    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& [k, value] : object()) out.push_back(k);
        return out;
    }
};

class JsonReader {
public:
    static std::optional<JsonValue> parse(std::string_view text) {
        JsonReader r(text);
        auto v = r.value();
        r.skip_space();
        if (!v || r.pos_ != text.size()) return std::nullopt;
        return v;
    }

private:
    explicit JsonReader(std::string_view t) : t_(t) {}

    void skip_space() {
        while (pos_ < t_.size() &&
               (t_[pos_] == ' ' || t_[pos_] == '\n' || t_[pos_] == '\r' || t_[pos_] == '\t')) {
            ++pos_;
        }
    }
    bool eat(char c) {
        skip_space();
        if (pos_ < t_.size() && t_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (t_.substr(pos_, w.size()) != w) return false;
        pos_ += w.size();
        return true;
    }

    std::optional<JsonValue> value() {
        skip_space();
        if (pos_ >= t_.size()) return std::nullopt;
        char c = t_[pos_];
        if (c == '{') return object();
        if (c == '[') return array();
        if (c == '"') {
            auto s = string();
            if (!s) return std::nullopt;
            return JsonValue{*s};
        }
        if (word("null")) return JsonValue{};
        if (word("true")) return JsonValue{true};
        if (word("false")) return JsonValue{false};
        return number();
    }

    std::optional<JsonValue> number() {
        const std::size_t start = pos_;
        auto digits = [&] {
            std::size_t n = 0;
            while (pos_ < t_.size() && t_[pos_] >= '0' && t_[pos_] <= '9') ++pos_, ++n;
            return n;
        };
        if (pos_ < t_.size() && t_[pos_] == '-') ++pos_;
        const std::size_t int_start = pos_;
        const std::size_t int_digits = digits();
        if (int_digits == 0 || (int_digits > 1 && t_[int_start] == '0')) return std::nullopt;
        if (pos_ < t_.size() && t_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) return std::nullopt;
        }
        if (pos_ < t_.size() && (t_[pos_] == 'e' || t_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < t_.size() && (t_[pos_] == '+' || t_[pos_] == '-')) ++pos_;
            if (digits() == 0) return std::nullopt;
        }
        std::string copy(t_.substr(start, pos_ - start));
        return JsonValue{std::strtod(copy.c_str(), nullptr)};
    }

    std::optional<std::string> string() {
        ++pos_;  // opening quote
        std::string out;
        while (pos_ < t_.size()) {
            const char c = t_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= t_.size()) return std::nullopt;
            const char e = t_[pos_++];
            switch (e) {
                case '"': out.push_back('"'); break;
                case '\\': out.push_back('\\'); break;
                case '/': out.push_back('/'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case 'n': out.push_back('\n'); break;
                case 'r': out.push_back('\r'); break;
                case 't': out.push_back('\t'); break;
                case 'u': {
                    // Only the escapes a writer of UTF-8 text needs: code points below 0x80.
                    if (pos_ + 4 > t_.size()) return std::nullopt;
                    std::string hex(t_.substr(pos_, 4));
                    pos_ += 4;
                    char* end = nullptr;
                    long cp = std::strtol(hex.c_str(), &end, 16);
                    if (end != hex.c_str() + 4 || cp >= 0x80) return std::nullopt;
                    out.push_back(static_cast<char>(cp));
                    break;
                }
                default: return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<JsonValue> array() {
        ++pos_;
        JsonArray items;
        if (eat(']')) return JsonValue{std::move(items)};
        do {
            auto v = value();
            if (!v) return std::nullopt;
            items.push_back(std::move(*v));
        } while (eat(','));
        if (!eat(']')) return std::nullopt;
        return JsonValue{std::move(items)};
    }

    std::optional<JsonValue> object() {
        ++pos_;
        JsonObject members;
        if (eat('}')) return JsonValue{std::move(members)};
        do {
            skip_space();
            if (pos_ >= t_.size() || t_[pos_] != '"') return std::nullopt;
            auto k = string();
            if (!k || !eat(':')) return std::nullopt;
            auto v = value();
            if (!v) return std::nullopt;
            members.emplace_back(std::move(*k), std::move(*v));
        } while (eat(','));
        if (!eat('}')) return std::nullopt;
        return JsonValue{std::move(members)};
    }

    std::string_view t_;
    std::size_t pos_ = 0;
};

}  // namespace qcn0::testing
