#pragma once
// The offline editor's in-place edit of a list row's value cell: what the cell editor starts
// with, and taking the typed value when the edit ends.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "paradb/typed_value.h"

namespace korvane {

class CItem;
class CWriteHistory;
class Prompter;
struct UserGroupEntry;

struct ValueCellEdit {
    bool optionList = false;
    std::vector<std::string> options;  // the drop-down's texts
    FieldPattern pattern;              // the numeric field otherwise
    std::string startText;             // the option text or field text the editor opens with
    std::uint32_t startValue = 0;      // remembered for the history record
};

// Null when the row may not be edited (no item, or a read-only one).
std::optional<ValueCellEdit> BeginValueCellEdit(const CItem* item, const UserGroupEntry* entry);

enum class CellEditResult { kUnchanged, kRefused, kStored };

// Takes `text` as the row's new value: an option text becomes its index (a text not in the
// list changes nothing); a number, typed as the item's field pattern says, outside the item's
// range is refused with the range message and changes nothing. A stored value that differs
// from `startValue` (the value when the edit began) adds a history record.
CellEditResult CommitValueCellEdit(CItem& item, UserGroupEntry* entry, std::uint32_t startValue,
                                   const std::string& text, CWriteHistory& history,
                                   Prompter& prompter);

}  // namespace korvane
