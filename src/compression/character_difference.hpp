// The text differencing of Compact RINEX, used for epoch lines and for the LLI/SSI flags.
//
// A differenced text holds a blank where the character is unchanged, "&" where it became a
// blank, and the new character everywhere else. It may be shorter than the text it updates
// (the rest is unchanged) or longer (the text grows; a blank past the old end is a blank).
#pragma once

#include <string>
#include <string_view>

namespace qcn0 {

inline void apply_character_difference(std::string& text, std::string_view difference) {
    if (difference.size() > text.size()) text.resize(difference.size(), ' ');
    char* t = text.data();
    for (std::size_t i = 0; i < difference.size(); ++i) {
        const char c = difference[i];
        if (c == ' ') continue;
        t[i] = c == '&' ? ' ' : c;
    }
}

}  // namespace qcn0
