#include "editor/offline_edit.h"

#include <gtest/gtest.h>

#include "paradb/user_group.h"
#include "paradb/value_codec.h"
#include "unit/editor/editor_rig.h"

namespace korvane {
namespace {

using test::EditorRig;

class OfflineEditTest : public ::testing::Test {
protected:
    OfflineEditTest() {
        rig.record.station = 256;
        rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000, 200},
                               {0x1102, "Offset", "NUM", -100, 100, 0},
                               {0x1104, "Lock", "MSG", 0, 1, 0},
                               {0x1105, "Terminals", "BIT4", 0, 12, 0},
                               {0x1106, "Mask", "HEX4", 0, 0xFFFF, 0x1A},
                               {0x1107, "Version", "NUM", 0, 0xFFFF, 0, 0}});
    }
    EditorRig rig;
};

TEST_F(OfflineEditTest, TypedValuesAreStoredRefusedOrIgnored) {
    struct Case {
        int address;
        const char* typed;
        CellEditResult result;
        std::uint32_t value;
        const char* startText;
    } cases[] = {
        {0x1101, "30.5", CellEditResult::kStored, 305, "20.0"},
        {0x1101, "600.1", CellEditResult::kRefused, 200, "20.0"},
        {0x1101, "x", CellEditResult::kRefused, 200, "20.0"},
        {0x1102, "-10", CellEditResult::kStored, 0xFFFFFFF6u, "0"},
        {0x1104, "Yes", CellEditResult::kStored, 1, "No"},
        {0x1104, "Maybe", CellEditResult::kUnchanged, 0, "No"},
        // Bit strings are checked raw: b1100 (12) is the maximum, b1101 above it although
        // n = 4 would scale the range to 48.
        {0x1105, "b1100", CellEditResult::kStored, 12, "b0000"},
        {0x1105, "b1101", CellEditResult::kRefused, 0, "b0000"},
        {0x1106, "0xbeef", CellEditResult::kStored, 0xBEEF, "0x001A"},
    };
    for (const auto& c : cases) {
        CItem& item = rig.Item(c.address);
        item.value = item.defaultValue;
        item.readState = 0;
        rig.prompter.clear();
        auto edit = BeginValueCellEdit(&item, nullptr);
        ASSERT_TRUE(edit) << c.typed;
        EXPECT_EQ(edit->startText, c.startText) << c.typed;
        EXPECT_EQ(CommitValueCellEdit(item, nullptr, edit->startValue, c.typed, rig.history,
                                      rig.prompter),
                  c.result)
            << c.typed;
        EXPECT_EQ(item.value, c.value) << c.typed;
        EXPECT_EQ(item.readState, c.result == CellEditResult::kStored ? 1u : 0u) << c.typed;
        if (c.result == CellEditResult::kRefused) {
            ASSERT_EQ(rig.prompter.entries().size(), 1u) << c.typed;
            EXPECT_EQ(rig.prompter.entries()[0].text, kEntryRangeErrorText);
        } else {
            EXPECT_TRUE(rig.prompter.entries().empty()) << c.typed;
        }
    }
    EXPECT_EQ(rig.history.UndoCount(), 5u);
}

TEST_F(OfflineEditTest, ReadOnlyOrMissingItemsAreNotEdited) {
    EXPECT_FALSE(BeginValueCellEdit(&rig.Item(0x1107), nullptr));
    EXPECT_FALSE(BeginValueCellEdit(nullptr, nullptr));
}

TEST_F(OfflineEditTest, UserGroupRowChangesTheEntryAndRecordsOnlyRealChanges) {
    UserGroup group;
    UserGroupEntry& entry = group.AddEntry(0x1102, 0xFFFFFFF6u);
    group.Bind(rig.data());
    group.modified = 0;
    CItem& item = rig.Item(0x1102);
    auto edit = BeginValueCellEdit(&item, &entry);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->startText, "-10");
    EXPECT_EQ(CommitValueCellEdit(item, &entry, edit->startValue, "-10", rig.history, rig.prompter),
              CellEditResult::kStored);
    EXPECT_EQ(rig.history.UndoCount(), 0u);
    EXPECT_EQ(group.modified, 0);
    EXPECT_EQ(CommitValueCellEdit(item, &entry, edit->startValue, "7", rig.history, rig.prompter),
              CellEditResult::kStored);
    EXPECT_EQ(entry.value, 7u);
    EXPECT_EQ(entry.state, 1u);
    EXPECT_EQ(group.modified, 1);
    EXPECT_EQ(item.value, 0u);
    auto r = rig.history.TakeUndo();
    EXPECT_EQ(r->entry, &entry);
    EXPECT_EQ(r->oldValue, 0xFFFFFFF6u);
}

}  // namespace
}  // namespace korvane
