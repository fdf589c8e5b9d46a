#include "core/systems.hpp"

namespace qcn0 {

std::string_view system_name(char letter) {
    switch (letter) {
        case 'G': return "GPS";
        case 'R': return "GLONASS";
        case 'E': return "Galileo";
        case 'C': return "BeiDou";
        case 'J': return "QZSS";
        case 'S': return "SBAS";
        default: return "Unknown";
    }
}

std::string_view system_group_name(char letter) {
    switch (letter) {
        case 'G': return "GPS";
        case 'R': return "GLONASS";
        case 'E': return "Galileo";
        case 'C': return "BeiDou";
        default: return "Other";
    }
}

std::string system_letter_from_name(std::string_view name) {
    if (name == "GPS") return "G";
    if (name == "GLONASS") return "R";
    if (name == "Galileo") return "E";
    if (name == "BeiDou") return "C";
    if (name == "QZSS") return "J";
    if (name == "SBAS") return "S";
    if (name == "IRNSS") return "I";
    return std::string(name);
}

std::string observed_system_name(char letter) {
    switch (letter) {
        case 'G': case 'R': case 'E': case 'C': case 'J': case 'S':
            return std::string(system_name(letter));
        case 'I': return "IRNSS";
        default: return std::string(1, letter);
    }
}

}  // namespace qcn0
