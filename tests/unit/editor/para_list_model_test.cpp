#include "editor/para_list_model.h"

#include <gtest/gtest.h>

#include "editor/write_history.h"
#include "editor_fixture.h"
#include "paradb/user_group.h"

namespace korvane::testing {
namespace {

struct ListEnv {
    explicit ListEnv(int key = kFirstOfflineKey) : record(env.drive(key)), data(*record.driveData) {
        list.SetOffline(key >= kFirstOfflineKey);
        group = UserGroup::CreateNew(data, "/tmp/g.usr");
    }
    ParaNode groupNode(int index) { return {NodeKind::kGroup, data.GetGroup(index), nullptr}; }
    ParaNode userNode() { return {NodeKind::kUserGroup, nullptr, group.get()}; }
    UserGroupEntry& add(std::uint32_t address, std::uint32_t value, std::uint32_t state = 1) {
        UserGroupEntry& e = group->AddEntry(address, value);
        e.dataFile = &data;
        e.custom = group.get();
        e.state = state;
        return e;
    }
    std::vector<std::string> column(std::size_t c) {
        std::vector<std::string> texts;
        for (std::size_t r = 0; r < list.RowCount(); ++r) texts.push_back(list.CellText(r, c));
        return texts;
    }

    EditorServices env;
    DriveRecord& record;
    CDataFile& data;
    CWriteHistory history;
    CParaListModel list{data, history, env.settings, record.station};
    std::unique_ptr<UserGroup> group;
};

using Texts = std::vector<std::string>;

TEST(EditorListModel, EachLayoutShowsItsColumnsAndRows) {
    ListEnv t;
    t.add(kAccTime, 150);
    t.add(0x7777, 1);  // no such parameter: not shown
    t.add(kOffset, 0xFFFB);
    struct Case {
        ParaNode node;
        ListLayout layout;
        Texts headers;
        std::size_t rows;
        Texts firstRow;
    } cases[] = {
        {t.groupNode(0),
         ListLayout::kGroup,
         {"アドレス", "パラメータ名", "値", "デフォルト", "単位"},
         6,
         {"1", "Max Freq", "60.00", "60.00", "Hz"}},
        {{NodeKind::kAllGroups},
         ListLayout::kAllGroups,
         {"グループ名", "アドレス", "パラメータ名", "値", "デフォルト", "単位"},
         9,
         {"Basic", "1", "Max Freq", "60.00", "60.00", "Hz"}},
        {t.userNode(),
         ListLayout::kUserGroup,
         {"グループ名", "アドレス", "パラメータ名", "値", "デフォルト", "単位"},
         2,
         {"Basic", "4", "Acc Time", "15.0", "20.0", "sec"}},
        {{NodeKind::kUserGroupRoot},
         ListLayout::kUserGroupRoot,
         {"グループ名", "アドレス", "パラメータ名", "値", "デフォルト", "単位"},
         0,
         {}},
    };
    for (const Case& c : cases) {
        t.list.ShowNode(c.node);
        EXPECT_EQ(t.list.Layout(), c.layout);
        Texts headers, first;
        for (std::size_t i = 0; i < t.list.ColumnCount(); ++i) {
            headers.push_back(t.list.HeaderText(i));
            if (c.rows) first.push_back(t.list.CellText(0, i));
        }
        EXPECT_EQ(headers, c.headers);
        EXPECT_EQ(t.list.RowCount(), c.rows);
        EXPECT_EQ(first, c.firstRow);
        EXPECT_EQ(t.list.CurrentRow(), c.rows ? 0 : -1);
    }
    t.list.ShowNode(t.userNode());
    EXPECT_EQ(t.list.CellText(1, 3), "-0.05");  // a stored word of a signed item
}

TEST(EditorListModel, OnlineUnreadValuesAreBlank) {
    ListEnv t(5);
    t.list.ShowNode(t.groupNode(0));
    EXPECT_EQ(t.list.CellText(1, 2), "");
    t.data.FindItem(kAccTime)->readState = 1;
    EXPECT_EQ(t.list.CellText(1, 2), "20.0");
}

TEST(EditorListModel, RowColoursFollowStateAndDefault) {
    ListEnv t;
    struct Case {
        std::uint32_t state;
        std::uint32_t value;
        std::optional<Rgb> colour;
    } cases[] = {
        {0, 200, kNotReadColour},
        {2, 200, kErrorColour},
        {1, 201, kChangedColour},
        {1, 200, std::nullopt},
    };
    t.list.ShowNode(t.groupNode(0));
    CItem& acc = *t.data.FindItem(kAccTime);
    for (const Case& c : cases) {
        acc.readState = c.state;
        acc.value = c.value;
        EXPECT_EQ(t.list.RowColour(1), c.colour) << c.state << " " << c.value;
    }
    // The default -5 is stored sign-extended, the drive answers a 16-bit word: the same value.
    CItem& offset = *t.data.FindItem(kOffset);
    offset.readState = 1;
    offset.value = 0xFFFB;
    EXPECT_EQ(t.list.RowColour(4), std::nullopt);

    // User-group rows take the entry's state and stored value.
    t.add(kAccTime, 200, 0);
    t.add(kAccTime, 200, 2);
    t.add(kAccTime, 999, 1);
    t.add(kOffset, 0xFFFB, 1);
    t.list.ShowNode(t.userNode());
    EXPECT_EQ(t.list.RowColour(0), kNotReadColour);
    EXPECT_EQ(t.list.RowColour(1), kErrorColour);
    EXPECT_EQ(t.list.RowColour(2), kChangedColour);
    EXPECT_EQ(t.list.RowColour(3), std::nullopt);
}

TEST(EditorListModel, SortsNumericOnlyOnTheAddressColumnAndReversesOnASecondClick) {
    ListEnv t;
    t.list.ShowNode({NodeKind::kAllGroups});
    struct Case {
        std::size_t column;
        Texts ascending;
    } cases[] = {
        // Group names are text, never numbers; equal names keep their order.
        {0, {"Basic", "Basic", "Basic", "Basic", "Basic", "Basic", "Bits", "Bits", "Monitor"}},
        // Addresses are numbers: 12 after 7.
        {1, {"1", "1", "1", "2", "4", "5", "6", "7", "12"}},
        // Other columns compare as text without case.
        {5, {"", "", "", "%", "%", "%", "Hz", "Hz", "sec"}},
    };
    for (const Case& c : cases) {
        t.list.ClickHeader(c.column);
        EXPECT_TRUE(t.list.SortAscending());
        EXPECT_EQ(t.column(c.column), c.ascending) << c.column;
        t.list.ClickHeader(c.column);
        EXPECT_FALSE(t.list.SortAscending());
        EXPECT_EQ(t.column(c.column), Texts(c.ascending.rbegin(), c.ascending.rend())) << c.column;
    }
    // Stable within equal keys: the three address-1 rows keep data-file order ascending.
    t.list.ShowNode({NodeKind::kAllGroups});
    t.list.ClickHeader(1);
    EXPECT_EQ(t.column(2)[0], "Max Freq");
    EXPECT_EQ(t.column(2)[1], "Status");
    EXPECT_EQ(t.column(2)[2], "Terminal map");
}

TEST(EditorListModel, ColumnWidthsSurviveLayoutSwitchesAndReopening) {
    ListEnv t;
    t.list.ShowNode(t.groupNode(0));
    EXPECT_EQ(t.list.ColumnWidth(1), 120);
    t.list.SetColumnWidth(1, 222);
    t.list.ShowNode({NodeKind::kAllGroups});
    EXPECT_EQ(t.list.ColumnWidth(1), 80);
    t.list.SetColumnWidth(0, 99);
    t.list.ShowNode({NodeKind::kUserGroupRoot});  // same column set: kept without a reload
    EXPECT_EQ(t.list.ColumnWidth(0), 99);
    t.list.ShowNode(t.groupNode(1));
    EXPECT_EQ(t.list.ColumnWidth(1), 222);
    t.list.SaveColumnWidths();
    const std::string section = "Para" + std::to_string(t.record.station);
    EXPECT_EQ(t.env.settings.getInt(section, "PARACol1 1", 0), 222);
    EXPECT_EQ(t.env.settings.getInt(section, "PARACol2 0", 0), 99);

    CParaListModel reopened(t.data, t.history, t.env.settings, t.record.station);
    reopened.ShowNode({NodeKind::kAllGroups});
    EXPECT_EQ(reopened.ColumnWidth(0), 99);
}

TEST(EditorListModel, DeleteRemovesEntriesPurgesTheirHistoryAndSelectsTheNextRow) {
    ListEnv t;
    UserGroupEntry& a = t.add(kMaxFreq, 1);
    UserGroupEntry& b = t.add(kAccTime, 2);
    UserGroupEntry& c = t.add(kOffset, 3);
    UserGroupEntry* cp = &c;
    t.history.Add({kAccTime, 1, 2, &b});
    t.history.Add({kOffset, 1, 3, &c});
    t.history.Add({kMaxFreq, 1, 3, &a});
    std::vector<const UserGroupEntry*> told;
    Connection removing =
        t.list.entryRemoving.connect([&](const UserGroupEntry* e) { told.push_back(e); });
    t.list.ShowNode(t.userNode());

    EXPECT_EQ(t.list.DeleteRows({1, 9}), 1);
    EXPECT_EQ(t.group->entries.size(), 2u);
    EXPECT_EQ(t.group->modified, 1);
    EXPECT_EQ(told.size(), 1u);
    EXPECT_EQ(t.history.UndoCount(), 2u);
    EXPECT_EQ(t.list.CellText(1, 2), "Offset");
    EXPECT_EQ(t.list.Row(1).entry, cp);

    EXPECT_EQ(t.list.DeleteRows({0, 1}), -1);
    EXPECT_EQ(t.history.UndoCount(), 0u);
    EXPECT_EQ(t.list.RowCount(), 0u);
    // Nothing to delete outside the user-group layout.
    t.list.ShowNode(t.groupNode(0));
    t.list.DeleteRows({0});
    EXPECT_EQ(t.list.RowCount(), 6u);
}

TEST(EditorListModel, DropsAddEachParameterOnceAndOnlyFromThisEditor) {
    ListEnv t;
    ListEnv other;
    t.list.ShowNode(t.groupNode(0));
    const auto payload = t.list.DragPayload({0, 1, 1});
    EXPECT_EQ(t.list.Drop(t.userNode(), payload), 2);
    EXPECT_EQ(t.group->modified, 1);
    EXPECT_EQ(t.group->entries[0]->value, 6000u);
    EXPECT_EQ(t.group->entries[1]->state, 0u);
    t.group->modified = 0;

    struct Case {
        const char* what;
        ParaNode target;
        std::vector<std::uint8_t> payload;
    } refused[] = {
        {"again", t.userNode(), payload},
        {"other editor", t.userNode(), other.list.DragPayload({0})},
        {"cut short", t.userNode(), {payload.begin(), payload.end() - 1}},
        {"not a user group", t.groupNode(1), t.list.DragPayload({2})},
        {"the user-group root", {NodeKind::kUserGroupRoot}, t.list.DragPayload({2})},
    };
    for (const Case& c : refused) {
        EXPECT_EQ(t.list.Drop(c.target, c.payload), 0) << c.what;
        EXPECT_EQ(t.group->entries.size(), 2u) << c.what;
    }
    EXPECT_FALSE(t.list.CanDrop(t.userNode(), other.list.DragPayload({0})));
    EXPECT_TRUE(t.list.CanDrop(t.userNode(), payload));
    EXPECT_EQ(t.group->modified, 0);
}

class RecordingCommitter : public InPlaceEditCommitter {
public:
    void CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) override {
        commits.push_back({edit.item, text});
    }
    std::vector<std::pair<CItem*, std::string>> commits;
};

TEST(EditorListModel, OfflineInPlaceEditOffersTheRightEditorForEachItem) {
    ListEnv t;
    t.list.ShowNode({NodeKind::kAllGroups});
    struct Case {
        std::size_t row;
        bool editable;
        InPlaceEdit::Kind kind;
        std::string pattern;
        int digits;
        int decimals;
    } cases[] = {
        {0, true, InPlaceEdit::Kind::kNumeric, "1.1", 3, 2},
        {1, true, InPlaceEdit::Kind::kNumeric, "1.1", 4, 1},
        {3, true, InPlaceEdit::Kind::kOptionList, "", 0, 0},
        {4, true, InPlaceEdit::Kind::kNumeric, "-1.1", 3, 2},
        {5, false, {}, "", 0, 0},  // not writable
        {6, false, {}, "", 0, 0},  // not writable (hex)
        {7, true, InPlaceEdit::Kind::kNumeric, "b1.1", 8, 0},
    };
    for (const Case& c : cases) {
        auto edit = t.list.BeginEdit(c.row, 3);
        ASSERT_EQ(edit.has_value(), c.editable) << c.row;
        if (!edit) continue;
        EXPECT_EQ(edit->kind, c.kind) << c.row;
        EXPECT_EQ(edit->pattern, c.pattern) << c.row;
        EXPECT_EQ(edit->integerDigits, c.digits) << c.row;
        EXPECT_EQ(edit->decimals, c.decimals) << c.row;
    }
    EXPECT_EQ(t.list.BeginEdit(3, 3)->options, (Texts{"Keypad", "Terminal", "Comm"}));
    EXPECT_FALSE(t.list.BeginEdit(0, 2));  // only the value cell

    RecordingCommitter committer;
    t.list.SetCommitter(&committer);
    auto edit = t.list.BeginEdit(1, 3);
    EXPECT_EQ(edit->startValue, 200u);
    t.list.EndEdit(*edit, "12.5");
    ASSERT_EQ(committer.commits.size(), 1u);
    EXPECT_EQ(committer.commits[0].first, t.data.FindItem(kAccTime));

    ListEnv online(5);
    online.list.ShowNode(online.groupNode(0));
    EXPECT_FALSE(online.list.BeginEdit(0, 2));
}

}  // namespace
}  // namespace korvane::testing
