#pragma once
// Rules every request chain of the parameter editor keeps.
#include <cstdint>

#include "comm/drive_reply.h"
#include "common/word.h"
#include "paradb/user_group.h"

namespace korvane {

// A user-group entry takes a new value; its group is marked modified when the word changed.
inline void StoreEntryValue(UserGroupEntry& entry, std::uint32_t value) {
    if (!SameWord(entry.value, value) && entry.custom != nullptr) entry.custom->modified = 1;
    entry.value = value;
}

}  // namespace korvane
