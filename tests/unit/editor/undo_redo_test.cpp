#include "editor/undo_redo.h"

#include <gtest/gtest.h>

#include "paradb/user_group.h"
#include "unit/editor/editor_rig.h"

namespace korvane {
namespace {

using test::EditorRig;

class UndoRedoTest : public ::testing::Test {
protected:
    UndoRedoTest() {
        rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000, 200},
                               {0x1102, "Dec Time", "TIME1", 0, 6000, 200}});
        group.dataFile = &rig.data();
    }

    std::unique_ptr<UndoRedo> Make(bool online) {
        auto u = std::make_unique<UndoRedo>(online ? &rig.link : nullptr,
                                            online ? test::kStation : 256, rig.data(), rig.history);
        u->hooks.isGroupOpen = [this](const UserGroup* g) { return g == &group && groupOpen; };
        u->hooks.valueStored = [this](CItem* item, UserGroupEntry* entry) {
            stored.push_back(entry ? static_cast<int>(entry->address) : item->address);
        };
        u->hooks.markModified = [this] { ++modified; };
        return u;
    }

    EditorRig rig;
    UserGroup group;
    bool groupOpen = true;
    std::vector<int> stored;
    int modified = 0;
};

TEST_F(UndoRedoTest, OfflineUndoAndRedoPutValuesStraightIntoMemoryNewestFirst) {
    auto u = Make(false);
    UserGroupEntry& entry = group.AddEntry(0x1102, 70);
    group.modified = 0;
    rig.history.Add({0x1101, 200, 300, nullptr});
    rig.history.Add({0x1102, 50, 70, &entry});
    rig.Item(0x1101).value = 300;

    ASSERT_TRUE(u->Undo());
    EXPECT_EQ(entry.value, 50u);
    EXPECT_EQ(group.modified, 1);  // an undone value is a change the group must save
    EXPECT_EQ(rig.Item(0x1102).value, 200u);
    ASSERT_TRUE(u->Undo());
    EXPECT_EQ(rig.Item(0x1101).value, 200u);
    EXPECT_FALSE(u->Undo());
    ASSERT_TRUE(u->Redo());
    EXPECT_EQ(rig.Item(0x1101).value, 300u);
    EXPECT_EQ(stored, (std::vector<int>{0x1102, 0x1101, 0x1101}));
    EXPECT_EQ(modified, 3);
    EXPECT_EQ(rig.history.UndoCount(), 1u);
    EXPECT_EQ(rig.history.RedoCount(), 1u);
    EXPECT_TRUE(rig.drive.requests.empty());
}

TEST_F(UndoRedoTest, OnlineUndoStoresOnlyWhatTheDriveAccepted) {
    auto u = Make(true);
    rig.history.Add({0x1101, 200, 300, nullptr});
    rig.history.Add({0x1102, 100, 150, nullptr});
    rig.Item(0x1101).value = 300;
    rig.Item(0x1102).value = 150;
    rig.Item(0x1101).fromFile = rig.Item(0x1102).fromFile = true;
    rig.drive.nak[0x1102] = "WM";
    ASSERT_TRUE(u->Undo());                   // refused by the drive
    ASSERT_TRUE(u->Undo());                   // queued behind it
    EXPECT_EQ(rig.Item(0x1101).value, 300u);  // nothing before the answer
    EXPECT_EQ(u->PendingCount(), 2u);
    ASSERT_TRUE(rig.TickUntil([&] { return u->PendingCount() == 0; }));
    EXPECT_EQ(rig.drive.writes, (std::vector<std::pair<int, int>>{{0x1101, 200}}));
    EXPECT_EQ(rig.Item(0x1101).value, 200u);
    EXPECT_EQ(rig.Item(0x1102).value, 150u);  // a failed write changes nothing
    EXPECT_FALSE(rig.Item(0x1101).fromFile);  // the drive holds it now
    EXPECT_TRUE(rig.Item(0x1102).fromFile);
    EXPECT_EQ(stored, (std::vector<int>{0x1101}));
    // Both records moved to the redo list all the same, old and new swapped.
    EXPECT_EQ(rig.history.RedoCount(), 2u);
    auto r = rig.history.TakeRedo();
    EXPECT_EQ(r->address, 0x1101);
    EXPECT_EQ(r->newValue, 200u);
}

TEST_F(UndoRedoTest, RetryNoticeWaitsForTheFinalAnswer) {
    auto u = Make(true);
    rig.history.Add({0x1101, 200, 300, nullptr});
    rig.drive.badChecksumNext = 1;
    ASSERT_TRUE(u->Undo());
    ASSERT_TRUE(rig.TickUntil([&] { return u->PendingCount() == 0; }));
    EXPECT_EQ(rig.drive.writeCount(), 2);
    EXPECT_EQ(rig.Item(0x1101).value, 200u);
}

TEST_F(UndoRedoTest, ClosedGroupLosesItsRecordsAndItsPendingWrites) {
    auto u = Make(true);
    UserGroupEntry& entry = group.AddEntry(0x1101, 300);
    rig.history.Add({0x1101, 200, 300, &entry});
    rig.history.Add({0x1102, 100, 150, nullptr});
    rig.history.Add({0x1101, 300, 310, &entry});
    ASSERT_TRUE(u->Undo());  // the entry's write is on the line
    // The group closes before the answer: its records go, and the answer is not stored into
    // the entry about to be deleted.
    u->PurgeGroup(&group);
    groupOpen = false;
    ASSERT_TRUE(rig.TickUntil([&] { return u->PendingCount() == 0; }));
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(rig.history.UndoCount(), 1u);
    EXPECT_EQ(rig.history.RedoCount(), 0u);
    ASSERT_TRUE(u->Undo());
    EXPECT_EQ(rig.drive.writes.size(), 1u);  // queued, not yet sent
    ASSERT_TRUE(rig.TickUntil([&] { return u->PendingCount() == 0; }));
    EXPECT_EQ(rig.Item(0x1102).value, 100u);
}

}  // namespace
}  // namespace korvane
