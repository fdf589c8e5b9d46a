#include "cn0/signal_bands.hpp"

namespace qcn0 {

int band_of(char system, std::string_view code) {
    if (code.size() < 2) return kNoBand;
    enum { L1, G1, L2, G2, L5, E5b, E6 };
    switch (system) {
        case 'G':
        case 'J':
        case 'S':
        case 'I':
            switch (code[1]) {
                case '1': return L1;
                case '2': return system == 'G' || system == 'J' ? L2 : kNoBand;
                case '5': return L5;
                case '6': return system == 'J' ? E6 : kNoBand;
                default: return kNoBand;
            }
        case 'R':
            switch (code[1]) {
                case '1':
                case '4': return G1;
                case '2':
                case '6': return G2;
                case '3': return E5b;
                default: return kNoBand;
            }
        case 'E':
        case 'C':
            switch (code[1]) {
                case '1':
                case '2': return L1;  // E1; B1C and B1I (RINEX 3.02 wrote B1I as 1)
                case '5':
                case '8': return L5;
                case '7': return E5b;
                case '6': return E6;
                default: return kNoBand;
            }
        default: return kNoBand;
    }
}

}  // namespace qcn0
