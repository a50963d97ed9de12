#pragma once
// The offline editor's in-place edit of a list row's value cell: what the cell editor starts
// with, and taking the typed value when the edit ends.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/value_entry.h"

namespace korvane {

class CItem;
class CWriteHistory;
class Prompter;
struct UserGroupEntry;

struct InPlaceEdit {
    bool optionList = false;
    std::vector<std::string> options;  // the drop-down's texts
    FieldPattern pattern;              // the numeric field otherwise
    std::string startText;             // the option text or field text the editor opens with
    std::uint32_t startValue = 0;      // remembered for the history record
};

// Null when the row may not be edited (no item, or a read-only one).
std::optional<InPlaceEdit> BeginInPlaceEdit(const CItem* item, const UserGroupEntry* entry);

enum class InPlaceResult { kUnchanged, kRefused, kStored };

// Takes `text` as the row's new value: an option text becomes its index (a text not in the
// list changes nothing); a number outside the item's range is refused with the range message
// and changes nothing. A stored value that differs from the start adds a history record.
InPlaceResult CommitInPlaceEdit(CItem& item, UserGroupEntry* entry, const InPlaceEdit& edit,
                                const std::string& text, CWriteHistory& history,
                                Prompter& prompter);

}  // namespace korvane
