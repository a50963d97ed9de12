// The online parameter editor over a simulated line: opened from the drive list, its read and
// edit dialogs talking to the drive, and a parameter dragged into a user group.
#include "editor/ui/para_editor_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

#include "editor/edit_session.h"
#include "editor/ui/editor_ids.h"
#include "editor/ui/para_edit_dialogs.h"
#include "editor/ui/para_editor_report.h"
#include "editor/ui/para_qt_models.h"
#include "gui_rig.h"
#include "host/tool_services.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"
#include "report/ui/report_frame.h"
#include "sim/sim_engine.h"

namespace korvane::gui {
namespace {

constexpr int kStation = 3;
constexpr std::uint16_t kAddress = 0x1003;

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.startOnSimLine({{.station = kStation, .series = 11, .version = 0x0310}},
                                       {kStation}));
        ASSERT_TRUE(rig.waitForConnected(1));
        const DriveRecord& drive = rig.controller->Records()[kStation];
        ASSERT_TRUE(drive.driveData);
        ASSERT_EQ(drive.driveData->Load(&drive, KORVANE_TEST_DATA_DIR), 1);
    }

    void TearDown() override {
        if (editor) {
            // Nothing left for the close sequence to ask about.
            rig.prompter.scriptAnswers({false, false, false});
            editor->close();
        }
        // Not left to a later event loop: the window must not outlive the rig it points into.
        delete editor.data();
    }

    // The drive list's command, confirming the set-up dialog as the user does.
    void openFromDriveList() {
        rig.controller->SelectDriveRow(0);
        rig.window->runCommand(kCmdOnlineEditor);
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->accept();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<ParaEditorWindow*>(w)) editor = found;
    }

    // Shows all groups and selects the parameter's row in the view.
    int selectRow(std::uint16_t address) {
        ParaEditor& frame = *editor->frame();
        frame.Tree().Select(ParaNode{NodeKind::kAllGroups});
        for (std::size_t r = 0; r < frame.List().RowCount(); ++r) {
            const CItem* item = frame.List().Row(r).item;
            if (item && item->address == address) {
                editor->listModel()->reload();
                editor->list()->selectRow(static_cast<int>(r));
                return static_cast<int>(r);
            }
        }
        return -1;
    }

    std::uint16_t driveWord(std::uint16_t address) {
        std::uint16_t value = 0;
        rig.withEngine(
            [&](sim::SimEngine& engine) { (void)engine.drive(kStation)->read(address, value); });
        return value;
    }

    GuiRig rig;
    QPointer<ParaEditorWindow> editor;
};

TEST_F(EditorWindow, ReadsAGroupThenWritesAnEditedValueToTheDrive) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(editor->frame()->IsOnline());
    ASSERT_NE(editor->dialogs(), nullptr);

    // Refresh shows the read dialog until every parameter of the node has answered.
    ASSERT_GE(selectRow(kAddress), 0);
    editor->frame()->Execute(kCmdRefreshGroup);
    ASSERT_NE(editor->dialogs()->ReadDialog(), nullptr);
    EXPECT_EQ(editor->dialogs()->ReadDialog()->windowTitle().toStdString(),
              "読み取りパラメータ情報...");
    ASSERT_TRUE(rig.waitFor([&] { return editor->dialogs()->ReadDialog() == nullptr; }, 60000));
    EXPECT_EQ(editor->frame()->Data().FindItem(kAddress)->readState, 1u);

    const int row = selectRow(kAddress);
    ASSERT_GE(row, 0);
    editor->frame()->Execute(kCmdOnlineEdit);
    auto* dialog = qobject_cast<CParaEditDlg*>(editor->dialogs()->EditDialog());
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->field(), nullptr);
    // Write is offered once the opening read has answered.
    ASSERT_TRUE(rig.waitFor([&] { return dialog->writeButton()->isEnabled(); }));

    QAction* undo = nullptr;
    for (QAction* a : editor->findChildren<QAction*>())
        if (a->data().toInt() == EditorCommandIdOf(kCmdUndo)) undo = a;
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());

    const std::uint16_t before = driveWord(kAddress);
    const std::uint16_t wanted = before == 300 ? 310 : 300;
    dialog->field()->clear();
    QTest::keyClicks(dialog->field(), QString::number(wanted / 10.0, 'f', 1));
    QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
    ASSERT_TRUE(rig.waitFor([&] { return !dialog->session().IsBusy(); }));
    EXPECT_EQ(dialog->session().LastWriteError(), 0);
    EXPECT_EQ(driveWord(kAddress), wanted);
    EXPECT_TRUE(editor->frame()->History().CanUndo());
    // The editor's Undo follows the write the drive answered, with no click in the window.
    EXPECT_TRUE(rig.waitFor([&] { return undo->isEnabled(); }));

    QTest::mouseClick(dialog->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(rig.waitFor([&] { return editor->dialogs()->EditDialog() == nullptr; }));
}

TEST_F(EditorWindow, CancelEndsTheReadAndANewReadCanStart) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    ASSERT_GE(selectRow(kAddress), 0);
    for (int round = 0; round < 2; ++round) {
        editor->frame()->Execute(kCmdRefreshGroup);
        CParaReadDlg* dialog = editor->dialogs()->ReadDialog();
        ASSERT_NE(dialog, nullptr) << round;
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(editor->dialogs()->IsReading());
        ASSERT_TRUE(rig.waitFor([&] { return editor->dialogs()->ReadDialog() == nullptr; }));
    }
}

TEST_F(EditorWindow, NextWithAnUnwrittenValueWritesItThenEditsTheRowBelow) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    const int row = selectRow(kAddress);
    ASSERT_GE(row, 0);
    ASSERT_LT(row + 1, static_cast<int>(editor->frame()->List().RowCount()));
    editor->frame()->Execute(kCmdOnlineEdit);
    QPointer<CParaEditDlg> first = qobject_cast<CParaEditDlg*>(editor->dialogs()->EditDialog());
    ASSERT_TRUE(first);
    ASSERT_NE(first->field(), nullptr);
    ASSERT_TRUE(rig.waitFor([&] { return first->writeButton()->isEnabled(); }));

    const std::uint16_t wanted = driveWord(kAddress) == 300 ? 310 : 300;
    first->field()->clear();
    QTest::keyClicks(first->field(), QString::number(wanted / 10.0, 'f', 1));
    rig.prompter.clear();
    rig.prompter.scriptAnswers({true});
    QTest::mouseClick(first->nextButton(), Qt::LeftButton);
    // The dialog of the next row opens only once the write has been answered.
    ASSERT_TRUE(rig.waitFor([&] {
        const ParaEditDialogBase* d = editor->dialogs()->EditDialog();
        return !first && d != nullptr;
    }));
    ASSERT_EQ(rig.prompter.entries().size(), 1u);
    EXPECT_EQ(rig.prompter.entries()[0].kind, "question");
    EXPECT_EQ(driveWord(kAddress), wanted);
    EXPECT_EQ(editor->dialogs()->EditDialog()->session().Item(),
              editor->frame()->List().Row(static_cast<std::size_t>(row + 1)).item);
    EXPECT_EQ(editor->frame()->List().CurrentRow(), row + 1);

    // A lost drive ends the editing without a question.
    editor->onDriveEvent(DriveEvent(DriveEventKind::kDisconnected, kStation));
    EXPECT_EQ(editor->dialogs()->EditDialog(), nullptr);
}

TEST_F(EditorWindow, BitDialogShowsTheTypesBitsAndWritesBoxNAsBitN) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    ParaEditor& frame = *editor->frame();
    frame.Tree().Select(ParaNode{NodeKind::kAllGroups});
    int row = -1;
    for (std::size_t r = 0; r < frame.List().RowCount() && row < 0; ++r)
        if (ChooseEditDialog(frame.List().Row(r).item) == EditDialogKind::kBits)
            row = static_cast<int>(r);
    if (row < 0) GTEST_SKIP() << "no bit-string parameter in the test data";
    const std::uint16_t address = frame.List().Row(static_cast<std::size_t>(row)).item->address;
    editor->listModel()->reload();
    editor->list()->selectRow(row);
    frame.Execute(kCmdOnlineEdit);
    auto* dialog = qobject_cast<CParaBitEditDlg*>(editor->dialogs()->EditDialog());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(rig.waitFor([&] { return !dialog->session().IsBusy(); }));
    const int bits = dialog->session().BitCount();
    ASSERT_GE(bits, 2);
    for (int b = 0; b < 16; ++b) EXPECT_EQ(!dialog->bitBox(b)->isHidden(), b < bits) << b;
    if (!dialog->writeButton()->isEnabled()) GTEST_SKIP() << "the bit parameter is read-only";

    // The run lock holds until the monitored status word says the drive is stopped.
    ASSERT_TRUE(rig.waitFor(
        [&] { return (rig.controller->Records()[kStation].statusWord & kStatusStopped) != 0; }));
    const std::uint16_t before = driveWord(address);
    dialog->bitBox(1)->click();
    QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
    ASSERT_TRUE(rig.waitFor([&] { return !dialog->session().IsBusy(); }));
    EXPECT_EQ(dialog->session().LastWriteError(), 0);
    EXPECT_EQ(driveWord(address), before ^ 0x2u);
}

TEST_F(EditorWindow, DroppedRowBecomesAUserGroupEntry) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    ParaEditor& frame = *editor->frame();
    UserGroup* group = frame.Groups().NewUserGroup();
    ASSERT_NE(group, nullptr);

    const int row = selectRow(kAddress);
    ASSERT_GE(row, 0);
    std::unique_ptr<QMimeData> payload(
        editor->listModel()->mimeData({editor->listModel()->index(row, 0)}));
    ASSERT_TRUE(payload);
    const QModelIndex target =
        editor->treeModel()->indexOf(ParaNode{NodeKind::kUserGroup, nullptr, group});
    ASSERT_TRUE(target.isValid());
    EXPECT_TRUE(
        editor->treeModel()->canDropMimeData(payload.get(), Qt::CopyAction, -1, -1, target));
    // The model answers false on purpose: the dragged rows stay in the list.
    editor->treeModel()->dropMimeData(payload.get(), Qt::CopyAction, -1, -1, target);
    ASSERT_EQ(group->entries.size(), 1u);
    EXPECT_EQ(group->entries[0]->address, kAddress);
    // A second drop of the same parameter adds nothing.
    editor->treeModel()->dropMimeData(payload.get(), Qt::CopyAction, -1, -1, target);
    EXPECT_EQ(group->entries.size(), 1u);
}

TEST_F(EditorWindow, OneReportPerEditorClosedWithIt) {
    openFromDriveList();
    ASSERT_TRUE(editor);
    ASSERT_GE(selectRow(kAddress), 0);
    editor->frame()->Execute(kCmdReport);
    QPointer<CReportFrame> report = editor->report()->Frame();
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->isVisible());
    // A second Report re-targets the open window rather than opening another.
    editor->frame()->Execute(kCmdReport);
    EXPECT_EQ(editor->report()->Frame(), report.data());

    // Closed by the user: the editor forgets it.
    report->close();
    EXPECT_EQ(editor->report()->Frame(), nullptr);

    editor->frame()->Execute(kCmdReport);
    report = editor->report()->Frame();
    ASSERT_TRUE(report);
    QPointer<ParaEditorWindow> closing = editor;
    editor->close();
    ASSERT_TRUE(rig.waitFor([&] { return !report && !closing; }));
}

}  // namespace
}  // namespace korvane::gui
