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
