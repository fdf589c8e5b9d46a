#include "navigation/utf8_repair.hpp"

#include <cstddef>

namespace qcn0 {

namespace {

// Length of the valid sequence starting at i; 0 when the bytes there are not a complete valid
// character, with *stop set to the end of the maximal invalid subpart (at least i + 1).
std::size_t valid_sequence(std::string_view s, std::size_t i, std::size_t* stop) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) return 1;
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        if (b == 0xE0) lo = 0xA0;  // no overlong forms
        if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        *stop = i + 1;
        return 0;
    }
    std::size_t j = i + 1;
    for (std::size_t k = 0; k < need; ++k, ++j) {
        if (j >= s.size()) {
            *stop = j;
            return 0;
        }
        const auto c = static_cast<unsigned char>(s[j]);
        const unsigned char min = k == 0 ? lo : 0x80;
        const unsigned char max = k == 0 ? hi : 0xBF;
        if (c < min || c > max) {
            *stop = j;
            return 0;
        }
    }
    return need + 1;
}

}  // namespace

std::string repair_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 16);
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t stop = 0;
        const std::size_t n = valid_sequence(bytes, i, &stop);
        if (n != 0) {
            out.append(bytes.data() + i, n);
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            i = stop;
        }
    }
    return out;
}

}  // namespace qcn0
