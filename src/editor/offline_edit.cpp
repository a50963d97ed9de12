#include "editor/offline_edit.h"

#include "common/prompter.h"
#include "common/translation.h"
#include "editor/edit_rules.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/editor_texts.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"

namespace korvane {

std::optional<ValueCellEdit> BeginValueCellEdit(const CItem* item, const UserGroupEntry* entry) {
    if (item == nullptr || item->writable == 0) return std::nullopt;
    ValueCellEdit edit;
    edit.startValue = entry != nullptr ? entry->value : item->value;
    if (item->isOption()) {
        edit.optionList = true;
        if (const auto* texts = item->GetOptionTexts()) edit.options = *texts;
        if (edit.startValue < edit.options.size()) edit.startText = edit.options[edit.startValue];
        return edit;
    }
    edit.pattern = NumericFieldPattern(*item);
    double shown = IsSignedItem(*item) ? SignedRawToDisplay(*item, edit.startValue)
                                       : RawToDisplay(*item, edit.startValue);
    edit.startText = FieldText(edit.pattern, shown);
    return edit;
}

CellEditResult CommitValueCellEdit(CItem& item, UserGroupEntry* entry, std::uint32_t startValue,
                                   const std::string& text, CWriteHistory& history,
                                   Prompter& prompter) {
    const TypedWord typed = TypedTextToWord(item, text);
    if (!typed.ok()) {
        // A list's text that is none of its options changes nothing; any other text that
        // cannot be written is refused like a number out of range, never taken as 0.
        if (item.isOption()) return CellEditResult::kUnchanged;
        prompter.info(Tr(kEntryRangeErrorText), kParameterEditorCaption);
        return CellEditResult::kRefused;
    }
    const std::uint32_t raw = typed.word;
    if (entry != nullptr) {
        entry->state = 1;
        StoreEntryValue(*entry, raw);
    } else {
        item.readState = 1;
        item.value = raw;
    }
    if (!SameWord(raw, startValue)) history.Add({item.address, startValue, raw, entry});
    return CellEditResult::kStored;
}

}  // namespace korvane
