#include "editor/write_history.h"

#include <gtest/gtest.h>

#include "paradb/user_group.h"

namespace korvane {
namespace {

WriteRecord Rec(int address, int oldValue, int newValue, UserGroupEntry* entry = nullptr) {
    return {static_cast<std::uint16_t>(address), static_cast<std::uint32_t>(oldValue),
            static_cast<std::uint32_t>(newValue), entry};
}

TEST(WriteHistory, NinthWritePushesTheFirstOutAndUndoIsNewestFirst) {
    CWriteHistory h;
    for (int i = 1; i <= 9; ++i) h.Add(Rec(i, i, i + 100));
    EXPECT_EQ(h.UndoCount(), 8u);
    for (int expected = 9; expected >= 2; --expected) {
        auto r = h.TakeUndo();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->address, expected);
        h.Undone(*r);
    }
    EXPECT_FALSE(h.TakeUndo());
    // Undone records come back on the redo list with old and new swapped.
    auto redo = h.TakeRedo();
    ASSERT_TRUE(redo);
    EXPECT_EQ(redo->address, 2);
    EXPECT_EQ(redo->oldValue, 102u);
    EXPECT_EQ(redo->newValue, 2u);
}

TEST(WriteHistory, NewWriteKeepsRedoList) {
    CWriteHistory h;
    h.Add(Rec(1, 0, 1));
    h.Undone(*h.TakeUndo());
    h.Add(Rec(2, 0, 1));
    EXPECT_EQ(h.RedoCount(), 1u);
}

TEST(WriteHistory, PurgeMatchesGroupsByIdentityNotTitle) {
    UserGroup a, b;
    a.title = b.title = "same";
    UserGroupEntry ea{nullptr, &a, 10, 0, 0};
    UserGroupEntry eb{nullptr, &b, 10, 0, 0};
    CWriteHistory h;
    h.Add(Rec(10, 0, 1, &ea));
    h.Add(Rec(10, 0, 2, &eb));
    h.Add(Rec(11, 0, 3));
    h.Undone(*h.TakeUndo());  // the parameter write moves to redo
    h.Add(Rec(10, 1, 4, &ea));
    h.Undone(*h.TakeUndo());  // and one of group a's
    h.PurgeGroup(&a);
    EXPECT_EQ(h.UndoCount(), 1u);
    EXPECT_EQ(h.RedoCount(), 1u);
    EXPECT_EQ(h.TakeUndo()->entry, &eb);
    EXPECT_FALSE(h.TakeRedo()->isUserGroup());
    h.Add(Rec(10, 0, 5, &eb));
    h.PurgeEntry(&eb);
    EXPECT_FALSE(h.CanUndo());
}

}  // namespace
}  // namespace korvane
