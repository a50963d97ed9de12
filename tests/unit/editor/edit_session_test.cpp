#include "editor/edit_session.h"

#include <gtest/gtest.h>

#include "editor/edit_texts.h"
#include "editor/online_editing.h"
#include "paradb/user_group.h"
#include "unit/editor/editor_rig.h"

namespace korvane {
namespace {

using test::EditorRig;

class EditSessionTest : public ::testing::Test {
protected:
    EditSessionTest() {
        rig.AddGroup("Basic", {{0x1101, "Acc Time", "TIME1", 0, 6000, 200},
                               {0x1102, "Offset", "NUM", -100, 100, 0},
                               {0x1103, "Run Freq", "FREQ3", 0, 40000, 6000, 1, 1},
                               {0x1104, "Lock", "MSG", 0, 1, 0},
                               {0x1105, "Terminals", "BIT4", 0, 15, 0},
                               {0x1106, "Mask", "HEX4", 0, 0xFFFF, 0},
                               {0x1107, "Version", "NUM", 0, 0xFFFF, 0, 0}});
        rig.drive.words = {{0x1101, 200},    {0x1102, 0xFFF6}, {0x1103, 6000}, {0x1104, 1},
                           {0x1105, 0b1010}, {0x1106, 0x1A},   {0x1107, 0x310}};
    }

    // A session as the list view opens it, with its first read answered.
    std::unique_ptr<EditSession> Open(int address, UserGroupEntry* entry = nullptr) {
        CItem* item = rig.data().FindItem(static_cast<std::uint16_t>(address));
        auto s = std::make_unique<EditSession>(
            EditSession::Services{rig.link, rig.record, rig.history, rig.prompter},
            rig.record.driveData, item, entry);
        subscriptions.push_back(s->closed.connect([this] { ++closed; }));
        s->Open();
        Settle(*s);
        return s;
    }
    void Settle(EditSession& s) {
        ASSERT_TRUE(rig.TickUntil([&] { return !s.IsBusy(); }));
    }
    std::vector<char> Letters() const {
        std::vector<char> out;
        for (auto& r : rig.drive.requests) out.push_back(r.first);
        return out;
    }

    EditorRig rig;
    int closed = 0;
    std::vector<Connection> subscriptions;
};

TEST_F(EditSessionTest, OpensByReadingAndShowsTheItemsTexts) {
    auto s = Open(0x1101);
    EXPECT_EQ(s->Kind(), EditDialogKind::kValue);
    EXPECT_EQ(s->Title(), "[Basic] - 3:Kapok");
    EXPECT_EQ(s->Heading(), "1 : Acc Time");
    EXPECT_EQ(s->UnitText(), "sec");
    EXPECT_EQ(s->MaximumText(), "600.0");
    EXPECT_EQ(s->MinimumText(), "0.0");
    EXPECT_EQ(s->DefaultText(), "20.0");
    EXPECT_EQ(s->Pattern().text(), "1.1");
    EXPECT_EQ(s->FieldText(), "20.0");
    EXPECT_EQ(rig.Item(0x1101).readState, 1u);
    EXPECT_TRUE(s->HasReference());
    EXPECT_TRUE(s->IsDone());
    EXPECT_TRUE(s->Controls().write);
    EXPECT_EQ(Letters(), (std::vector<char>{'R'}));
}

// What the field shows and the item holds for the word the drive gives.
TEST_F(EditSessionTest, ShowsTheDrivesWordByTheItemsType) {
    struct Case {
        int address;
        int word;
        const char* field;
        std::uint32_t stored;
        const char* pattern;
    } cases[] = {
        {0x1102, 0xFFF6, "-10", 0xFFFFFFF6u, "-1.1"},  // a negative minimum makes the word signed
        {0x1102, 0x0064, "100", 100, "-1.1"},
        {0x1106, 0x1A, "0x001A", 0x1A, "0x1.1"},
        {0x1101, 6000, "600.0", 6000, "1.1"},
    };
    for (const auto& c : cases) {
        rig.drive.words[c.address] = c.word;
        auto s = Open(c.address);
        EXPECT_EQ(s->FieldText(), c.field) << c.address;
        EXPECT_EQ(rig.Item(c.address).value, c.stored) << c.address;
        EXPECT_EQ(s->Pattern().text(), c.pattern) << c.address;
    }
}

// Each row: the drive's state, what is typed, and what goes out.
TEST_F(EditSessionTest, WriteChecksRunLockAndRangeBeforeSending) {
    struct Case {
        const char* what;
        int address;
        int statusWord;
        const char* typed;
        int written;  // -1: nothing written
        const char* status;
        const char* info;
    } cases[] = {
        {"stopped", 0x1101, kStatusStopped, "30.5", 305, "   ", ""},
        {"running, not run-writable", 0x1101, kStatusForward, "30.5", -1, "", kRunLockText},
        {"running, run-writable", 0x1103, kStatusForward, "50.00", 5000, "   ", ""},
        {"above the maximum", 0x1101, kStatusStopped, "600.1", -1, "*** データ範囲エラー ***", ""},
        {"below a negative minimum", 0x1102, kStatusStopped, "-101", -1, "*** データ範囲エラー ***",
         ""},
        {"negative in range", 0x1102, kStatusStopped, "-100", 0xFF9C, "   ", ""},
        {"not a number", 0x1101, kStatusStopped, "abc", -1, "*** 数値ではありません ***", ""},
        {"not a hexadecimal number", 0x1106, kStatusStopped, "0xBEEG", -1,
         "*** 数値ではありません ***", ""},
        {"more decimals than the item has", 0x1101, kStatusStopped, "12.35", -1,
         "*** 小数点以下は1桁まで入力できます ***", ""},
        {"a trailing zero is no decimal", 0x1101, kStatusStopped, "12.30", 123, "   ", ""},
        {"decimals on a whole-number item", 0x1102, kStatusStopped, "-1.5", -1,
         "*** 小数点以下は入力できません ***", ""},
        {"hexadecimal", 0x1106, kStatusStopped, "0xBEEF", 0xBEEF, "   ", ""},
    };
    for (const auto& c : cases) {
        rig.record.statusWord = c.statusWord;
        rig.prompter.clear();
        auto s = Open(c.address);
        const auto before = rig.drive.requests.size();
        s->SetFieldText(c.typed);
        s->Write();
        Settle(*s);
        EXPECT_EQ(s->StatusText(), c.status) << c.what;
        if (c.written < 0) {
            // Refused: the value is read again and nothing is written.
            EXPECT_EQ(rig.drive.requests.size(), before + 1) << c.what;
            EXPECT_EQ(rig.drive.requests.back().first, 'R') << c.what;
        } else {
            EXPECT_EQ(rig.drive.writes.back(), std::make_pair(c.address, c.written)) << c.what;
        }
        if (*c.info) {
            ASSERT_EQ(rig.prompter.entries().size(), 1u) << c.what;
            EXPECT_EQ(rig.prompter.entries()[0].kind, "info");
            EXPECT_EQ(rig.prompter.entries()[0].text, c.info);
            EXPECT_EQ(rig.prompter.entries()[0].caption, "Parameter Editor");
        } else {
            EXPECT_TRUE(rig.prompter.entries().empty()) << c.what;
        }
    }
}

TEST_F(EditSessionTest, RpmFieldWritesFrequencyAndPoleCountZeroStaysInHertz) {
    rig.record.speedDisplayMode = 1;
    rig.record.motorPoles = 4;
    auto s = Open(0x1103);
    EXPECT_EQ(s->FieldText(), "1800");
    EXPECT_EQ(s->UnitText(), "rpm");
    s->SetFieldText("900");
    s->Write();
    Settle(*s);
    EXPECT_EQ(rig.drive.writes.back(), std::make_pair(0x1103, 3000));
    EXPECT_EQ(s->FieldText(), "900");
    // A pole count of 0 never divides: the value stays in hertz and is written as typed.
    rig.record.motorPoles = 0;
    s = Open(0x1103);
    EXPECT_EQ(s->FieldText(), "30.00");
    s->SetFieldText("45.00");
    s->Write();
    Settle(*s);
    EXPECT_EQ(rig.drive.writes.back(), std::make_pair(0x1103, 4500));
}

TEST_F(EditSessionTest, OptionListAndBitStringWriteRawValuesWithinTheRawRange) {
    auto s = Open(0x1104);
    ASSERT_TRUE(s->IsOptionList());
    EXPECT_EQ(s->SelectedIndex(), 1);
    s->SetSelectedIndex(0);
    s->Write();
    Settle(*s);
    EXPECT_EQ(rig.drive.writes.back(), std::make_pair(0x1104, 0));

    s = Open(0x1105);
    ASSERT_EQ(s->Kind(), EditDialogKind::kBits);
    EXPECT_EQ(s->BitCount(), 4);
    EXPECT_EQ(s->Bits(), 0b1010);
    EXPECT_EQ(s->BitValueText(), "b1010");
    s->SetBits(0b0101);
    s->Write();
    Settle(*s);
    EXPECT_EQ(rig.drive.writes.back(), std::make_pair(0x1105, 5));
    // Raw against raw: 16 is above the maximum 15, though n = 4 would scale it into range.
    s->SetBits(0x10);
    s->Write();
    Settle(*s);
    EXPECT_EQ(s->StatusText(), "*** データ範囲エラー ***");
    EXPECT_EQ(rig.drive.writeCount(), 2);
}

TEST_F(EditSessionTest, HistoryRecordsRealChangesFromTheReference) {
    auto s = Open(0x1102);  // reads 0xFFF6: -10
    s->SetFieldText("-10");
    s->Write();
    Settle(*s);
    EXPECT_EQ(rig.drive.writeCount(), 1);
    EXPECT_EQ(rig.history.UndoCount(), 0u);  // the drive already held it
    for (int v = 1; v <= 9; ++v) {
        s->SetFieldText(std::to_string(v));
        s->Write();
        Settle(*s);
    }
    EXPECT_EQ(rig.history.UndoCount(), 8u);
    auto newest = rig.history.TakeUndo();
    EXPECT_EQ(newest->oldValue, 8u);
    EXPECT_EQ(newest->newValue, 9u);
    for (int i = 0; i < 6; ++i) (void)rig.history.TakeUndo();
    auto oldest = rig.history.TakeUndo();
    // The first change (-10 -> 1) was pushed out; the oldest left goes from 1 to 2.
    EXPECT_EQ(oldest->oldValue, 1u);
    EXPECT_EQ(oldest->newValue, 2u);
}

TEST_F(EditSessionTest, RetryNoticeDoesNotEndTheWrite) {
    auto s = Open(0x1101);
    rig.drive.badChecksumNext = 1;
    s->SetFieldText("10.0");
    s->Write();
    Settle(*s);
    // The write is repeated; no read goes out while it is outstanding.
    EXPECT_EQ(Letters(), (std::vector<char>{'R', 'W', 'W'}));
    EXPECT_EQ(s->StatusText(), "   ");
    EXPECT_EQ(rig.history.UndoCount(), 1u);
}

TEST_F(EditSessionTest, FailedRequestsShowTheCodeAndLeaveNoFalseValue) {
    auto s = Open(0x1101);
    rig.drive.nak[0x1101] = "WM";
    s->SetFieldText("10.0");
    s->Write();
    Settle(*s);
    EXPECT_EQ(s->StatusText(), "*** 書き込みモードエラー ***");
    EXPECT_EQ(rig.Item(0x1101).value, 200u);  // the unwritten value is not kept
    EXPECT_EQ(rig.history.UndoCount(), 0u);
    // After the failed write the value is read again, which the drive refuses too.
    EXPECT_EQ(Letters(), (std::vector<char>{'R', 'W', 'R'}));
    EXPECT_EQ(rig.Item(0x1101).readState, 2u);
    EXPECT_EQ(s->FieldText(), "");
    EXPECT_FALSE(s->Controls().value);
    EXPECT_TRUE(s->Controls().read);
}

TEST_F(EditSessionTest, UserGroupEntryStartsFromItsStoredValueAndUndoHasAReference) {
    UserGroup group;
    UserGroupEntry& entry = group.AddEntry(0x1101, 150);
    group.Bind(rig.data());
    group.modified = 0;
    auto s = Open(0x1101, &entry);
    EXPECT_TRUE(rig.drive.requests.empty());
    EXPECT_EQ(s->FieldText(), "15.0");
    s->SetFieldText("16.0");
    s->Write();
    Settle(*s);
    EXPECT_EQ(entry.value, 160u);
    EXPECT_EQ(entry.state, 1u);
    EXPECT_EQ(group.modified, 1);
    EXPECT_EQ(rig.Item(0x1101).value, 200u);  // the parameter's own value is not the entry's
    auto r = rig.history.TakeUndo();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->oldValue, 150u);
    EXPECT_EQ(r->newValue, 160u);
    EXPECT_EQ(r->entry, &entry);
}

TEST_F(EditSessionTest, UnboundEntryAndReadOnlyItemDisableWriting) {
    UserGroupEntry orphan{nullptr, nullptr, 0x7705, 1, 0};
    auto s = Open(0x7705, &orphan);
    EXPECT_EQ(s->StatusText(), kUnboundEntryText);
    EXPECT_FALSE(s->Controls().read);
    EXPECT_FALSE(s->Controls().write);
    EXPECT_EQ(s->UnitText(), "");
    EXPECT_EQ(s->Heading(), "5 : ");

    s = Open(0x1107);
    EXPECT_TRUE(s->Controls().read);
    EXPECT_FALSE(s->Controls().write);
    EXPECT_FALSE(s->Controls().value);
    EXPECT_TRUE(s->Controls().focusClose);
    s->SetFieldText("0x0311");
    s->Write();
    rig.Tick(5);
    EXPECT_EQ(rig.drive.writeCount(), 0);
}

TEST_F(EditSessionTest, ClosingWithAnUnwrittenValueAsksAndWritesFirst) {
    struct Case {
        const char* typed;
        std::vector<bool> answers;
        bool asked;
        int writes;
    } cases[] = {
        {"20.0", {}, false, 0},      // unchanged
        {"25.0", {false}, true, 0},  // no: closes without writing
        {"25.0", {true}, true, 1},   // yes: closes once the write is answered
        {"999.0", {true}, true, 0},  // yes, out of range: closes once the re-read is answered
    };
    for (const auto& c : cases) {
        rig.drive.writes.clear();
        rig.drive.words[0x1101] = 200;
        rig.prompter.clear();
        rig.prompter.scriptAnswers(c.answers);
        closed = 0;
        auto s = Open(0x1101);
        s->SetFieldText(c.typed);
        bool now = s->RequestClose(kEditNext);
        EXPECT_EQ(!rig.prompter.entries().empty(), c.asked) << c.typed;
        if (c.asked) {
            EXPECT_EQ(rig.prompter.entries()[0].text, kUnsavedEditText);
        }
        EXPECT_EQ(now, !(c.asked && c.answers[0])) << c.typed;
        ASSERT_TRUE(rig.TickUntil([&] { return s->IsClosed(); })) << c.typed;
        EXPECT_EQ(closed, 1) << c.typed;
        EXPECT_EQ(s->Navigation(), kEditNext);
        EXPECT_EQ(rig.drive.writeCount(), c.writes) << c.typed;
    }
}

TEST_F(EditSessionTest, ClosedFromOutsideDropsTheOutstandingReply) {
    auto s = Open(0x1101);
    s->SetFieldText("30.0");
    s->Write();
    s->CloseFromOutside();
    rig.Tick(10);
    EXPECT_TRUE(s->ClosedFromOutside());
    EXPECT_EQ(s->Navigation(), kEditClose);
    EXPECT_EQ(rig.history.UndoCount(), 0u);
}

TEST(EditNavigation, WrapsAroundTheRows) {
    struct Case {
        int first, last, rows, navigation, expected;
    } cases[] = {
        {2, 2, 5, kEditNext, 3},     {4, 4, 5, kEditNext, 0},     {1, 3, 5, kEditNext, 4},
        {2, 2, 5, kEditPrevious, 1}, {0, 0, 5, kEditPrevious, 4}, {2, 3, 5, kEditPrevious, 1},
        {0, 0, 5, kEditClose, -1},   {0, 0, 0, kEditNext, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NavigateEditRow(c.first, c.last, c.rows, c.navigation), c.expected)
            << c.first << " " << c.navigation;
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

struct Rows : EditRows {
    explicit Rows(test::EditorRig& rig) : rig(rig) {}
    int RowCount() const override { return 3; }
    CItem* RowItem(int row) const override { return &rig.Item(0x1101 + row); }
    UserGroupEntry* RowEntry(int) const override { return nullptr; }
    void SelectRow(int row) override { selected.push_back(row); }
    void RedisplayValue(int row) override { redisplayed.push_back(row); }
    test::EditorRig& rig;
    std::vector<int> selected, redisplayed;
};

TEST(OnlineEditing, MovesBetweenRowsUntilADialogClosesForGood) {
    test::EditorRig rig;
    rig.AddGroup(
        "Basic",
        {{0x1101, "A", "NUM", 0, 9}, {0x1102, "B", "NUM", 0, 9}, {0x1103, "C", "NUM", 0, 9}});
    Rows rows(rig);
    OnlineEditing editing({rig.link, rig.record, rig.history, rig.prompter}, rig.record.driveData,
                          rows);
    EditSession* s = editing.Start(2, 2);
    ASSERT_TRUE(s);
    for (int navigation : {kEditNext, kEditPrevious, kEditPrevious}) {
        ASSERT_TRUE(rig.TickUntil([&] { return !s->IsBusy(); }));
        ASSERT_TRUE(s->RequestClose(navigation));
        s = editing.SessionClosed();
        ASSERT_TRUE(s);
    }
    ASSERT_TRUE(s->RequestClose(kEditClose));
    EXPECT_FALSE(editing.SessionClosed());
    EXPECT_FALSE(editing.InProgress());
    EXPECT_EQ(rows.selected, (std::vector<int>{2, 0, 2, 1}));
    EXPECT_EQ(rows.redisplayed, (std::vector<int>{2, 0, 2, 1}));
    // A dialog closed from outside ends the editing too.
    s = editing.Start(0, 0);
    editing.CloseFromOutside();
    EXPECT_FALSE(editing.InProgress());
}

}  // namespace
}  // namespace korvane
