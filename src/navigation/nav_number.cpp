#include "navigation/nav_number.hpp"

#include <string>

#include "core/text.hpp"

namespace qcn0 {

double nav_number(std::string_view text) {
    text = trim(text);
    const std::size_t d = text.find_first_of("Dd");
    if (d == std::string_view::npos) return parse_float(text).value_or(0.0);
    // Fields are 19 bytes, so the exponent letter is replaced in a small buffer; only an
    // unusually long text costs a heap copy.
    char local[64];
    std::string heap;
    char* buf = local;
    if (text.size() > sizeof local) {
        heap.assign(text);
        buf = heap.data();
    } else {
        text.copy(local, text.size());
    }
    for (std::size_t i = d; i < text.size(); ++i) {
        if (buf[i] == 'D')
            buf[i] = 'E';
        else if (buf[i] == 'd')
            buf[i] = 'e';
    }
    return parse_float(std::string_view(buf, text.size())).value_or(0.0);
}

double nav_field(std::string_view line, std::size_t start) {
    if (line.size() <= start) return 0.0;
    return nav_number(columns(line, start, start + kNavFieldWidth));
}

}  // namespace qcn0
