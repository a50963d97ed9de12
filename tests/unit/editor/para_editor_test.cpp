#include "editor/para_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "editor/para_texts.h"
#include "editor/ui/editor_ids.h"
#include "editor_fixture.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

// Runs an editor command whose dialogs and questions the fixture answers at once, and gives
// what it reported.
template <class Command>
std::optional<bool> Done(Command command) {
    Outcome outcome;
    command(outcome.take());
    return outcome.value;
}

struct FrameEnv {
    explicit FrameEnv(int key = kFirstOfflineKey) {
        env.drive(key);
        frame = ParaEditor::Create(env.services, key, ui);
        frame->SetDriveActions(&actions);
        titleChanged =
            frame->Events().titleChanged.connect([this] { ui.events.push_back("title"); });
    }
    UserGroup& groupWith(std::vector<std::uint16_t> addresses) {
        UserGroup& g = *frame->Groups().NewUserGroup();
        for (auto a : addresses) {
            UserGroupEntry& e = g.AddEntry(a, 1);
            e.custom = &g;
            e.dataFile = &frame->Data();
        }
        g.modified = 1;
        return g;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& e : env.prompter.entries()) out.push_back(e.text);
        return out;
    }

    TempDir dir;
    EditorServices env{dir.path()};
    EditorUi ui;
    EditorDriveActions actions;
    std::unique_ptr<ParaEditor> frame;
    Connection titleChanged;
};

// The commands by the ids the window gives them.
int Cmd(int id) {
    return static_cast<int>(*EditorCommandWithId(id));
}
int IdOf(int command) {
    return EditorCommandIdOf(static_cast<ParaCommand>(command));
}

constexpr int kAllCommands[] = {32814, 32815, 32816, 32817, 32818, 32819, 32820,
                                32821, 32822, 32823, 32824, 32825, 32826, 32827,
                                32828, 32829, 32831, 32833, 32834};

TEST(EditorFrame, OpensOnlyOnALoadedDataFile) {
    EditorServices env;
    EditorUi ui;
    EXPECT_FALSE(ParaEditor::Create(env.services, 3, ui));  // no data file
    env.drive(3).driveData->loaded = 0;
    EXPECT_FALSE(ParaEditor::Create(env.services, 3, ui));
    env.drive(4);
    EXPECT_TRUE(ParaEditor::Create(env.services, 4, ui));
}

TEST(EditorFrame, CommandsAreEnabledByStateAndSelection) {
    const std::set<int> always{32814, 32815, 32821, 32825, 32827, 32831};
    auto with = [&](std::set<int> more) {
        more.insert(always.begin(), always.end());
        return more;
    };
    struct Case {
        const char* what;
        int key;
        bool graphWatch;
        NodeKind node;
        bool history;
        std::set<int> enabled;
    } cases[] = {
        {"offline group", 256, false, NodeKind::kGroup, false, with({32822, 32826, 32828, 32829})},
        {"offline in graph watch", 256, true, NodeKind::kGroup, false,
         with({32822, 32826, 32828, 32829})},
        {"online group", 7, false, NodeKind::kGroup, false,
         with({32818, 32819, 32820, 32822, 32823, 32824, 32826, 32828, 32829})},
        {"online in graph watch", 7, true, NodeKind::kAllGroups, false,
         with({32826, 32828, 32829})},
        {"online user-group root", 7, false, NodeKind::kUserGroupRoot, false,
         with({32818, 32819, 32820})},
        {"online user group", 7, false, NodeKind::kUserGroup, true,
         with({32816, 32817, 32818, 32819, 32820, 32824, 32826, 32828, 32829, 32833})},
    };
    for (const Case& c : cases) {
        FrameEnv t(c.key);
        t.env.host.graphWatch = c.graphWatch;
        if (c.node == NodeKind::kUserGroup) {
            UserGroup& g = t.groupWith({});
            t.frame->Tree().Select({NodeKind::kUserGroup, nullptr, &g});
        } else if (c.node != NodeKind::kGroup) {
            t.frame->Tree().Select({c.node});
        }
        if (c.history) t.frame->History().Add({kAccTime, 1, 2, nullptr});
        std::set<int> enabled;
        for (int id : kAllCommands)
            if (t.frame->IsEnabled(Cmd(id))) enabled.insert(id);
        EXPECT_EQ(enabled, c.enabled) << c.what;
    }
}

TEST(EditorFrame, CommandsBuiltElsewhereGoToTheirHooks) {
    FrameEnv t(7);
    std::vector<int> transfer, edit;
    Connection transferRequested =
        t.frame->Events().transferRequested.connect([&](int c) { transfer.push_back(IdOf(c)); });
    Connection editRequested =
        t.frame->Events().editRequested.connect([&](int c) { edit.push_back(IdOf(c)); });
    for (int id : {32818, 32819, 32820, 32826, 32827, 32823, 32833}) t.frame->Execute(Cmd(id));
    EXPECT_EQ(transfer, (std::vector<int>{32818, 32819, 32820, 32826, 32827}));
    EXPECT_EQ(edit, (std::vector<int>{32823}));  // undo is disabled: nothing to undo
    t.frame->Execute(kCmdRefreshGroup);
    EXPECT_EQ(t.actions.calls, (std::vector<std::string>{"cancel-read", "read"}));
    EXPECT_EQ(t.actions.readNodes.back(), t.frame->Tree().Selected());
}

TEST(EditorFrame, DoubleClicksReadTreeNodesAndEditRowsOfOnlineEditorsOnly) {
    struct Case {
        int key;
        NodeKind node;
        std::size_t reads;
        bool collapse;
    } cases[] = {
        {7, NodeKind::kGroup, 1, false},
        {7, NodeKind::kAllGroups, 1, true},
        {7, NodeKind::kUserGroupRoot, 0, false},
        {256, NodeKind::kAllGroups, 0, false},
    };
    for (const Case& c : cases) {
        FrameEnv t(c.key);
        int edits = 0;
        Connection editRequested = t.frame->Events().editRequested.connect([&](int) { ++edits; });
        if (c.node != NodeKind::kGroup) t.frame->Tree().Select({c.node});
        EXPECT_EQ(t.frame->TreeDoubleClicked(), c.collapse);
        EXPECT_EQ(t.actions.readNodes.size(), c.reads);
        t.frame->ListDoubleClicked();
        EXPECT_EQ(edits, c.key == 7 && c.node != NodeKind::kUserGroupRoot ? 1 : 0);
    }
}

TEST(EditorFrame, TitlesAndPanesNameTheDriveAndTheMode) {
    FrameEnv offline;
    EXPECT_EQ(offline.frame->Chrome().Title(), "OFF-LINE(Kapok, Ver3.16) Parameter Editor");
    offline.frame->ApplyParameterMode(0, 100);
    std::vector<std::string> panes;
    for (const auto& p : offline.frame->Chrome().Panes()) panes.push_back(p.text);
    EXPECT_EQ(panes, (std::vector<std::string>{"", "OFF-LINE", "Kapok", "Ver : 3.16", "RPM MODE",
                                               "TIME1 : 0.01 sec", "パラメータ量 : 6", ""}));

    FrameEnv online(7);
    EXPECT_EQ(online.frame->Chrome().Title(), "ON-LINE(7:Kapok, Ver3.16) Parameter Editor");
    online.env.settings.setString("InvName", "Inv Name7", "Pump");
    online.frame->OnDriveEvent(DriveEvent(DriveEventKind::kNameChanged, 7));
    EXPECT_EQ(online.ui.events, std::vector<std::string>{"title"});
    EXPECT_EQ(online.frame->Chrome().Title(), "ON-LINE(7:Kapok - Pump, Ver3.16) Parameter Editor");
    online.env.host.graphWatch = true;
    auto p = online.frame->Chrome().Panes();
    EXPECT_EQ(p[0].text, "グラフ警戒モード");
    EXPECT_EQ(p[1].text, "ON-LINE");
    EXPECT_EQ(p[1].colour, (Rgb{0, 0, 255}));
    EXPECT_EQ(p[5].text, "TIME1 : 0.1 sec");
}

TEST(EditorFrame, NewUserGroupsTakeNumberedPathsAndAreNotSelected) {
    FrameEnv t;
    UserGroup* a = t.frame->Groups().NewUserGroup();
    UserGroup* b = t.frame->Groups().NewUserGroup();
    EXPECT_NE(a->path, b->path);
    EXPECT_EQ(a->path.rfind(t.dir.path() + "/custom_Kapok_v3.16_", 0), 0u) << a->path;
    EXPECT_EQ(a->newFlag, 1);
    EXPECT_EQ(t.frame->Tree().ChildCount(CParaTreeModel::kUserGroupRoot), 2u);
    EXPECT_EQ(t.frame->Tree().Selected().kind, NodeKind::kGroup);
}

TEST(EditorFrame, UserGroupSavedOpenedAndSavedAsOntoAnOpenPath) {
    FrameEnv t;
    UserGroup& g = t.groupWith({kAccTime, kOffset});
    const std::string path = t.dir.file("mine.usr");
    t.ui.paths = {path};
    ASSERT_EQ(Done([&](auto done) { t.frame->Groups().SaveUserGroup(g, done); }), true);
    EXPECT_EQ(g.title, "mine");
    EXPECT_EQ(g.newFlag, 0);
    EXPECT_EQ(g.modified, 0);
    EXPECT_EQ(t.ui.requests.back().extension, "usr");
    EXPECT_EQ(t.frame->Groups().RecentFiles().paths().front(), path);
    EXPECT_EQ(t.env.settings.getString("Main", "Custom File Dir", ""), t.dir.path());
    ASSERT_EQ(Done([&](auto done) { t.frame->Groups().CloseUserGroup(g, done); }), true);
    EXPECT_TRUE(t.frame->Groups().All().empty());

    ASSERT_TRUE(t.frame->Groups().OpenUserGroup(path));
    ASSERT_TRUE(t.frame->Groups().OpenUserGroup(path));  // already open: nothing more
    ASSERT_EQ(t.frame->Groups().All().size(), 1u);
    UserGroup& reopened = *t.frame->Groups().All()[0];
    EXPECT_EQ(reopened.entries.size(), 2u);
    EXPECT_EQ(t.frame->Tree().SelectedUserGroup(), &reopened);
    EXPECT_EQ(t.frame->List().RowCount(), 2u);

    // Save as onto the open group's path is refused and the dialog asked again.
    UserGroup& other = *t.frame->Groups().NewUserGroup();
    t.ui.paths = {path, std::nullopt};
    EXPECT_EQ(Done([&](auto done) { t.frame->Groups().SaveUserGroupAs(other, done); }), false);
    EXPECT_EQ(t.texts().back(), kUserGroupPathOpenText);
    EXPECT_EQ(other.newFlag, 1);
}

TEST(EditorFrame, RecentEntryThatCannotBeOpenedIsDropped) {
    FrameEnv t;
    t.frame->Groups().RecentFiles().add(t.dir.file("gone.usr"));
    EXPECT_FALSE(t.frame->Groups().OpenRecent(0));
    EXPECT_TRUE(t.frame->Groups().RecentFiles().paths().empty());
    EXPECT_EQ(t.env.settings.getString("Para", "File1", "x"), "");
}

TEST(EditorFrame, ClosingAModifiedUserGroupFollowsTheAnswer) {
    struct Case {
        const char* what;
        bool answer;
        std::optional<std::string> path;  // the save dialog's answer
        bool closed;
        bool saved;
    } cases[] = {
        {"no", false, "g.usr", true, false},
        {"yes and saved", true, "g.usr", true, true},
        {"yes, dialog cancelled", true, std::nullopt, false, false},
        {"yes, save failed", true, "missing/g.usr", false, false},
    };
    for (const Case& c : cases) {
        FrameEnv t;
        UserGroup& g = t.groupWith({kAccTime});
        UserGroup& kept = t.groupWith({kOffset});
        t.frame->History().Add({kAccTime, 1, 2, g.entries[0].get()});
        t.frame->History().Add({kOffset, 1, 2, kept.entries[0].get()});
        std::vector<const UserGroup*> told;
        Connection groupClosing =
            t.frame->Events().groupClosing.connect([&](const UserGroup* x) { told.push_back(x); });
        t.env.prompter.scriptAnswers({c.answer});
        t.ui.paths = {c.path ? std::optional(t.dir.file(*c.path)) : std::nullopt};

        EXPECT_EQ(Done([&](auto done) { t.frame->Groups().CloseUserGroup(g, done); }), c.closed)
            << c.what;
        EXPECT_EQ(t.env.prompter.entries()[0].text.find("ユーザグループ["), 0u);
        EXPECT_EQ(std::filesystem::exists(t.dir.file("g.usr")), c.saved) << c.what;
        EXPECT_EQ(t.frame->Groups().All().size(), c.closed ? 1u : 2u) << c.what;
        EXPECT_EQ(t.frame->History().UndoCount(), c.closed ? 1u : 2u) << c.what;
        EXPECT_EQ(told.size(), c.closed ? 1u : 0u) << c.what;
    }
}

TEST(EditorFrame, CloseSequenceStopsWhenASaveTheUserWantedDidNotHappen) {
    struct Case {
        const char* what;
        std::vector<bool> answers;
        bool closed;
    } cases[] = {
        {"nothing to ask", {}, true},
        {"no", {false}, true},
        {"yes, dialog cancelled", {true}, false},
    };
    for (const Case& c : cases) {
        FrameEnv t;
        if (!c.answers.empty()) t.groupWith({kAccTime});
        t.env.prompter.scriptAnswers(c.answers);
        t.ui.layout = {1, 2, 3};
        t.frame->List().SetColumnWidth(0, 77);
        CItem* item = t.frame->Data().FindItem(kAccTime);

        EXPECT_EQ(Done([&](auto done) { t.frame->Close(done); }), c.closed) << c.what;
        EXPECT_EQ(t.frame->IsClosed(), c.closed) << c.what;
        std::vector<std::uint8_t> layout;
        EXPECT_EQ(t.env.settings.getBytes("Main", "Para PaneLayout256", layout), c.closed);
        EXPECT_EQ(t.env.settings.getInt("Para256", "PARACol1 0", 0), c.closed ? 77 : 0);
        // An offline editor gives its record back; the items stay valid until it is gone.
        EXPECT_EQ(t.env.records[256].driveData == nullptr, c.closed) << c.what;
        EXPECT_EQ(item->address, kAccTime);
        EXPECT_EQ(t.frame->Groups().All().size(), c.closed ? 0u : 1u);
    }
}

TEST(EditorFrame, ParameterFileIsSavedAndReadBack) {
    FrameEnv t;
    const std::string path = t.dir.file("set.par");
    t.frame->Data().FindItem(kAccTime)->value = 321;
    t.ui.paths = {path};
    ASSERT_EQ(Done([&](auto done) { t.frame->Files().SaveParameterFile(done); }), true);
    EXPECT_EQ(t.texts().back(), kParaFileSavedText);
    EXPECT_EQ(t.env.settings.getString("Main", "Para File Dir", ""), t.dir.path());

    // Overwriting asks; No keeps the file.
    t.env.prompter.scriptAnswers({false});
    t.ui.paths = {path};
    t.frame->Data().FindItem(kAccTime)->value = 1;
    EXPECT_EQ(Done([&](auto done) { t.frame->Files().SaveParameterFile(done); }), false);

    CParaArray set(kKapok, kKapokVersion);
    set.Add(kAccTime, 555);
    set.Add(0x7777, 9);  // not in the data file: ignored
    ASSERT_TRUE(SaveParaFile(t.dir.file("other.par"), set));
    t.ui.paths = {path, t.dir.file("other.par")};
    ASSERT_EQ(Done([&](auto done) { t.frame->Files().ReadParameterFile(done); }), true);
    EXPECT_EQ(t.frame->Data().FindItem(kAccTime)->value, 321u);
    EXPECT_EQ(t.frame->Data().FindItem(kAccTime)->readState, 1u);
    ASSERT_EQ(Done([&](auto done) { t.frame->Files().ReadParameterFile(done); }), true);
    EXPECT_EQ(t.frame->Data().FindItem(kAccTime)->value, 555u);
    EXPECT_EQ(t.texts().back(), kParaFileReadText);
}

// A file that is not what its name says is one message, whatever the reader found wrong.
TEST(EditorFrame, CorruptParameterAndUserGroupFilesGiveOneMessageEach) {
    FrameEnv t;
    const std::string par = t.dir.file("junk.par");
    const std::string usr = t.dir.file("junk.usr");
    writeFile(par, {1, 2, 3, 4, 5, 6, 7, 8});
    writeFile(usr, {0x6A, 0x3F, 0, 0, 11});  // the right magic, then cut short
    t.ui.paths = {par};
    EXPECT_EQ(Done([&](auto done) { t.frame->Files().ReadParameterFile(done); }), false);
    EXPECT_EQ(t.texts(), std::vector<std::string>{"パラメータファイルを開くことができません"});
    t.env.prompter.clear();
    t.ui.paths = {usr};
    EXPECT_EQ(Done([&](auto done) { t.frame->Groups().OpenUserGroupDialog(done); }), false);
    EXPECT_EQ(t.texts(), std::vector<std::string>{"ユーザグループ名を開くことができません"});
    EXPECT_TRUE(t.frame->Groups().All().empty());
}

// An online editor that read a parameter file shows values the drive may not hold: their rows
// are marked and the status line says so until they are read or written; offline the file's
// values are simply the editor's.
TEST(EditorFrame, ParameterFileValuesAreMarkedInAnOnlineEditor) {
    for (int key : {7, kFirstOfflineKey}) {
        SCOPED_TRACE(key);
        FrameEnv t(key);
        CParaArray set(kKapok, kKapokVersion);
        set.Add(kAccTime, 555);
        ASSERT_TRUE(SaveParaFile(t.dir.file("f.par"), set));
        t.ui.paths = {t.dir.file("f.par")};
        ASSERT_EQ(Done([&](auto done) { t.frame->Files().ReadParameterFile(done); }), true);
        const bool online = key == 7;
        EXPECT_EQ(t.frame->Files().ShowsFileValues(), online);
        EXPECT_EQ(t.frame->Chrome().Panes().back().text, online ? "ファイルの値" : "");
        const CParaListModel& list = t.frame->List();
        t.frame->Tree().Select({NodeKind::kAllGroups});
        t.frame->List().ShowNode(t.frame->Tree().Selected());
        int marked = 0;
        for (std::size_t row = 0; row < list.RowCount(); ++row) {
            const bool file = list.Row(row).item->address == kAccTime;
            EXPECT_EQ(list.RowBackground(row).has_value(), file && online) << row;
            marked += list.RowBackground(row).has_value();
            if (file) {
                EXPECT_NE(list.RowBackground(row), list.RowColour(row));
            }
        }
        EXPECT_EQ(marked, online ? 1 : 0);
        t.frame->Data().FindItem(kAccTime)->fromFile = false;  // as a read or write leaves it
        EXPECT_FALSE(t.frame->Files().ShowsFileValues());
    }
}

TEST(EditorFrame, OnlineExportWaitsForTheReadOfAllGroups) {
    FrameEnv t(7);
    const std::string path = t.dir.file("p.txt");
    t.ui.paths = {path};
    ASSERT_EQ(Done([&](auto done) { t.frame->Files().SaveTextFile(done); }), true);
    EXPECT_TRUE(t.ui.requests.back().overwritePrompt);
    EXPECT_EQ(t.frame->Tree().Selected().kind, NodeKind::kAllGroups);
    EXPECT_EQ(t.actions.readNodes.back().kind, NodeKind::kAllGroups);
    EXPECT_FALSE(std::filesystem::exists(path));
    t.actions.finish();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(t.texts().back(), kTextExportDoneText);
    EXPECT_EQ(t.env.settings.getString("Main", "ParaText File Dir", ""), t.dir.path());

    FrameEnv offline;
    offline.ui.paths = {offline.dir.file("q.txt")};
    ASSERT_EQ(Done([&](auto done) { offline.frame->Files().SaveTextFile(done); }), true);
    EXPECT_TRUE(offline.actions.calls.empty());
    EXPECT_TRUE(std::filesystem::exists(offline.dir.file("q.txt")));
}

TEST(EditorFrame, DisconnectionStopsTheReadAndExportThenClosesWithTheDataFileStillValid) {
    FrameEnv t(7);
    t.ui.paths = {t.dir.file("p.txt")};
    ASSERT_EQ(Done([&](auto done) { t.frame->Files().SaveTextFile(done); }), true);
    t.actions.calls.clear();
    CItem* item = t.frame->Data().FindItem(kAccTime);

    t.frame->OnDriveEvent(DriveEvent(DriveEventKind::kDisconnected, 8));  // another drive
    EXPECT_TRUE(t.ui.events.empty());
    t.env.records[7].reset();  // the connection manager's reset comes first
    t.frame->OnDriveEvent(DriveEvent(DriveEventKind::kDisconnected, 7));
    EXPECT_EQ(t.actions.calls, (std::vector<std::string>{"cancel-read", "cancel-edit"}));
    EXPECT_EQ(t.ui.events, std::vector<std::string>{"close"});
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("p.txt")));
    EXPECT_EQ(item->address, kAccTime);
    EXPECT_EQ(Done([&](auto done) { t.frame->Close(done); }), true);
}

TEST(EditorFrame, GraphWatchModeCancelsDriveDialogsOfOnlineEditorsOnly) {
    for (int key : {7, 256}) {
        FrameEnv t(key);
        t.env.host.graphWatch = true;
        DriveEvent on(DriveEventKind::kGraphWatchMode);
        on.graphWatchActive = true;
        t.frame->OnDriveEvent(on);
        EXPECT_EQ(t.actions.calls.size(), key == 7 ? 2u : 0u) << key;
    }
}

TEST(EditorFrame, OfflineEditsAreTakenAndUndoneThroughTheList) {
    FrameEnv t;
    UserGroup& g = t.groupWith({kAccTime});
    g.entries[0]->value = 200;
    g.modified = 0;
    t.frame->Tree().Select({NodeKind::kUserGroup, nullptr, &g});
    auto edit = t.frame->List().BeginEdit(0, 3);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text, "20.0");
    t.frame->List().EndEdit(*edit, "12.5");
    EXPECT_EQ(g.entries[0]->value, 125u);
    EXPECT_EQ(g.modified, 1);
    ASSERT_TRUE(t.frame->IsEnabled(kCmdUndo));

    g.modified = 0;  // as if saved
    t.frame->Execute(kCmdUndo);
    EXPECT_EQ(g.entries[0]->value, 200u);
    EXPECT_EQ(g.modified, 1);  // the undone value is lost on close without the question
    EXPECT_TRUE(t.frame->IsEnabled(kCmdRedo));

    edit = t.frame->List().BeginEdit(0, 3);
    t.frame->List().EndEdit(*edit, "99999");
    EXPECT_EQ(g.entries[0]->value, 200u);
    EXPECT_EQ(t.env.prompter.entries().back().kind, "info");
}

TEST(EditorFrame, UndoOnAUserGroupEntryMarksTheGroupModified) {
    FrameEnv t;
    UserGroup& g = t.groupWith({kAccTime});
    g.modified = 0;
    const WriteRecord record{kAccTime, 2, 1, g.entries[0].get()};
    t.frame->Groups().HistoryApplied(record);
    EXPECT_EQ(g.modified, 1);
    // A record that outlived its group touches nothing.
    t.env.prompter.scriptAnswers({false});
    ASSERT_EQ(Done([&](auto done) { t.frame->Groups().CloseUserGroup(g, done); }), true);
    t.frame->Groups().HistoryApplied(record);
}

}  // namespace
}  // namespace korvane::testing

namespace korvane::testing {
namespace {

// An offline editor whose values were edited asks on close whether to keep them in a
// parameter file; one that only read or saved them closes without a word.
TEST(EditorFrame, OfflineEditorAsksToSaveChangedValuesOnClose) {
    struct Case {
        const char* what;
        bool edit;
        std::vector<Answer> answers;
        std::optional<std::string> path;  // the save dialog's answer
        std::optional<bool> closed;
        bool saved;
    } cases[] = {
        {"nothing changed", false, {}, std::nullopt, true, false},
        {"no", true, {Answer::kNo}, std::nullopt, true, false},
        {"cancel", true, {Answer::kCancel}, std::nullopt, false, false},
        {"yes and saved", true, {Answer::kYes}, "kept.par", true, true},
        {"yes, dialog cancelled", true, {Answer::kYes}, std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FrameEnv t;
        if (c.edit) {
            t.frame->Tree().Select(ParaNode{NodeKind::kAllGroups});
            std::size_t row = 0;
            while (t.frame->List().Row(row).item->address != kAccTime) ++row;
            auto edit = t.frame->List().BeginEdit(row, 3);
            ASSERT_TRUE(edit);
            t.frame->List().EndEdit(*edit, "12.5");
        }
        EXPECT_EQ(t.frame->HasUnsavedChanges(), c.edit);
        t.env.prompter.scriptChoices(c.answers);
        if (c.path) t.ui.paths = {t.dir.file(*c.path)};
        t.env.prompter.clear();

        EXPECT_EQ(Done([&](auto done) { t.frame->Close(done); }), c.closed);
        EXPECT_EQ(t.frame->IsClosed(), c.closed.value_or(false));
        const auto questions =
            std::count_if(t.env.prompter.entries().begin(), t.env.prompter.entries().end(),
                          [](const auto& e) { return e.text == kOfflineValuesModifiedText; });
        EXPECT_EQ(questions, c.edit ? 1 : 0);
        EXPECT_EQ(std::filesystem::exists(t.dir.file("kept.par")), c.saved);
        // Kept open: the changes are still there to be saved.
        EXPECT_EQ(t.frame->HasUnsavedChanges(), c.edit && !c.saved && !t.frame->IsClosed());
    }
}

// Closing the program: the user agreed to lose the changes, the editor closes without a word.
TEST(EditorFrame, DiscardedChangesCloseWithoutAQuestion) {
    FrameEnv t;
    t.groupWith({kAccTime});
    EXPECT_TRUE(t.frame->HasUnsavedChanges());
    t.frame->DiscardUnsavedChanges();
    EXPECT_FALSE(t.frame->HasUnsavedChanges());
    EXPECT_EQ(Done([&](auto done) { t.frame->Close(done); }), true);
    EXPECT_TRUE(t.env.prompter.entries().empty());
}

}  // namespace
}  // namespace korvane::testing
