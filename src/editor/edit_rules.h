#pragma once
// Rules every request chain of the parameter editor keeps.
#include <cstdint>

#include "comm/drive_reply.h"
#include "paradb/user_group.h"

namespace korvane {

// Parameter words travel as 16 bits. A stored value may be sign-extended (the edit dialog
// keeps a signed parameter's word that way, files keep whatever they were given) while a reply
// never is, so values are compared in their low 16 bits.
inline bool WordsDiffer(std::uint32_t a, std::uint32_t b) {
    return ((a ^ b) & 0xFFFFu) != 0;
}

// A user-group entry takes a new value; its group is marked modified when the word changed.
inline void StoreEntryValue(UserGroupEntry& entry, std::uint32_t value) {
    if (WordsDiffer(entry.value, value) && entry.custom != nullptr) entry.custom->modified = 1;
    entry.value = value;
}

}  // namespace korvane
