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

// The lines of a text seen through a window of the next `Depth` lines. A reader that looks a
// fixed number of lines ahead walks a file of any length with it, where a list of all lines
// would cost sixteen bytes a line: a file of blank lines would take sixteen times its size.
template <std::size_t Depth>
class LineWindow {
public:
    explicit LineWindow(LineCursor cursor) : cursor_(cursor) {}

    // Whether the line `k` lines after the current one exists (k < Depth).
    bool has(std::size_t k) {
        fill(k + 1);
        return count_ > k;
    }
    bool at_end() { return !has(0); }
    // The line `k` lines after the current one. Only valid after has(k) said it exists.
    std::string_view operator[](std::size_t k) const { return ring_[(head_ + k) % Depth]; }
    // Moves `k` lines on (fewer at the end of the text).
    void advance(std::size_t k = 1) {
        for (; k > 0 && has(0); --k) {
            head_ = (head_ + 1) % Depth;
            --count_;
        }
    }

private:
    void fill(std::size_t n) {
        while (count_ < n && !cursor_.at_end()) {
            ring_[(head_ + count_) % Depth] = cursor_.take();
            ++count_;
        }
    }

    LineCursor cursor_;
    std::string_view ring_[Depth];
    std::size_t head_ = 0;
    std::size_t count_ = 0;  // lines held, from ring_[head_] on
};

// Calls f(line) for every line of a text, as split_lines cuts them.
template <typename F>
void for_each_line(std::string_view text, F&& f) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        if (nl == nullptr) {
            f(std::string_view(p, static_cast<std::size_t>(end - p)));
            return;
        }
        const char* stop = nl;
        if (stop > p && stop[-1] == '\r') --stop;
        f(std::string_view(p, static_cast<std::size_t>(stop - p)));
        p = nl + 1;
    }
}

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
