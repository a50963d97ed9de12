#pragma once
// Parameter words travel as 16 bits. A stored value may be sign-extended (the edit dialog keeps
// a signed parameter's word that way, files keep whatever they were given) while a reply never
// is, so values are compared in their low 16 bits.
#include <cstdint>

namespace korvane {

inline bool SameWord(std::uint32_t a, std::uint32_t b) {
    return ((a ^ b) & 0xFFFFu) == 0;
}

}  // namespace korvane
