// Splitting a file's text into lines: at each line feed, dropping one carriage return before it.
// A final line without a line feed is a line; the empty remainder after a final line feed is not.
#pragma once

#include <cstring>
#include <string_view>
#include <vector>

namespace qcn0 {

inline std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 64 + 1);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (nl == nullptr) {
            lines.emplace_back(p, static_cast<std::size_t>(end - p));
            break;
        }
        const char* stop = nl;
        if (stop > p && stop[-1] == '\r') --stop;
        lines.emplace_back(p, static_cast<std::size_t>(stop - p));
        p = nl + 1;
    }
    return lines;
}

}  // namespace qcn0

namespace qcn0 {

// Walks the lines of a text one by one without building a list of them.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool at_end() const { return p_ >= end_; }

    // The line at the cursor, without moving on. Only valid when !at_end().
    std::string_view peek() {
        if (!cached_) load();
        return line_;
    }
    // Moves past the line at the cursor.
    void advance() {
        if (!cached_) load();
        p_ = next_;
        cached_ = false;
    }
    // The line at the cursor, moving past it.
    std::string_view take() {
        std::string_view line = peek();
        advance();
        return line;
    }

private:
    void load() {
        const char* nl = static_cast<const char*>(std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_)));
        const char* stop = nl ? nl : end_;
        next_ = nl ? nl + 1 : end_;
        if (nl && stop > p_ && stop[-1] == '\r') --stop;
        line_ = std::string_view(p_, static_cast<std::size_t>(stop - p_));
        cached_ = true;
    }

    const char* p_;
    const char* end_;
    const char* next_ = nullptr;
    std::string_view line_;
    bool cached_ = false;
};

// Number of line feeds in a text.
inline std::size_t count_line_feeds(std::string_view text) {
    std::size_t n = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
        ++n;
        ++p;
    }
    return n;
}

}  // namespace qcn0
