// A question, file dialog or print preview left open while its drive goes away: the window that
// asked closes, its boxes with it, and an answer that comes afterwards touches nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <string>
#include <vector>

#include "app/main_commands.h"
#include "editor/ui/compare_result_dialog.h"
#include "editor/ui/para_edit_dialogs.h"
#include "editor/ui/para_editor_report.h"
#include "editor/ui/para_editor_window.h"
#include "editor/ui/para_qt_models.h"
#include "editor/ui/para_transfer_dialog.h"
#include "gui_rig.h"
#include "host/ui/qt_prompter.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "report/ui/report_frame.h"
#include "sim/sim_engine.h"

namespace korvane::gui {
namespace {

constexpr int kStation = 3;

// One drive on a simulated line and the editor of it.
struct EditorLine {
    void start(bool realBoxes) {
        rig.realBoxes = realBoxes;
        ASSERT_TRUE(rig.startOnSimLine({{.station = kStation, .series = 11, .version = 0x0310}},
                                       {kStation}));
        ASSERT_TRUE(rig.waitForConnected(1));
        const DriveRecord& drive = rig.controller->Records()[kStation];
        ASSERT_TRUE(drive.driveData);
        ASSERT_EQ(drive.driveData->Load(&drive, KORVANE_TEST_DATA_DIR), 1);
    }

    // The drive list's command; the set-up dialog is left open.
    QDialog* askForEditor() {
        rig.controller->SelectDriveRow(0);
        rig.window->runCommand(kCmdOnlineEditor);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<ParaEditorWindow*>(w)) editor = found;
        return qobject_cast<QDialog*>(QApplication::activeModalWidget());
    }

    void openEditor() {
        QDialog* setUp = askForEditor();
        ASSERT_NE(setUp, nullptr);
        setUp->accept();
        ASSERT_TRUE(editor);
        ASSERT_TRUE(editor->frame());
    }

    ParaTransferDialog* openUpload() {
        editor->frame()->Execute(kCmdUpload);
        transfer = editor->findChild<ParaTransferDialog*>();
        if (transfer) transfer->pathField()->setText(dir.filePath("up.par"));
        return transfer;
    }

    // An upload on a drive that has gone silent, until `asked`.
    void uploadUntil(const std::function<bool()>& asked) {
        ASSERT_NE(openUpload(), nullptr);
        rig.withEngine([](sim::SimEngine& engine) {
            sim::FaultConfig faults = engine.faults();
            faults.silentStations.insert(kStation);
            engine.setFaults(faults);
        });
        QTest::mouseClick(transfer->startButton(), Qt::LeftButton);
        ASSERT_TRUE(rig.waitFor(asked, 60000));
    }

    // The connection manager gives up on the drive: its windows close, with their dialogs.
    void removeTheDrive() {
        rig.controller->Disconnect(kStation);
        ASSERT_TRUE(rig.waitFor([&] { return !editor && !transfer; }, 30000));
    }

    long requestsSeen() {
        long n = 0;
        rig.withEngine([&](sim::SimEngine& engine) { n = engine.stats().requests; });
        return n;
    }

    // The next command of the main window runs as usual.
    void mainWindowGoesOn() {
        rig.window->runCommand(kCmdRefresh);
        QTest::qWait(100);
        EXPECT_EQ(rig.controller->Records().connectedCount(), 0);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    QTemporaryDir dir;
    GuiRig rig;
    QPointer<ParaEditorWindow> editor;
    QPointer<ParaTransferDialog> transfer;
};

using DriveGoes = EditorLine;

// The stop question stays open while the drive is removed and the editor and its transfer
// dialog close; either answer afterwards finds nothing to do.
TEST(DriveGoes, StopQuestionAnsweredAfterTheEditorClosed) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop);
        DriveGoes round;
        round.start(false);
        round.rig.prompter.holdQuestions(true);
        round.openEditor();
        round.uploadUntil([&] { return round.rig.prompter.openQuestions() == 1; });
        EXPECT_EQ(round.rig.prompter.entries().back().text, "停止しますか？");
        round.removeTheDrive();
        const long sent = round.requestsSeen();
        EXPECT_TRUE(round.rig.prompter.answerOpen(stop));
        QTest::qWait(200);
        EXPECT_EQ(round.requestsSeen(), sent);
        EXPECT_FALSE(QFileInfo::exists(round.dir.filePath("up.par")));
        round.mainWindowGoesOn();
    }
}

// Each kind of box and dialog the editor opens, left open on the screen while the drive goes.
TEST(DriveGoes, EveryOpenDialogClosesWithItsEditor) {
    struct Case {
        const char* what;
        std::function<QWidget*(DriveGoes&)> open;
    };
    const Case cases[] = {
        {"stop question",
         [](DriveGoes& t) -> QWidget* {
             QPointer<QMessageBox> box;
             t.uploadUntil([&] {
                 box = t.transfer ? t.transfer->findChild<QMessageBox*>() : nullptr;
                 return box && box->isVisible();
             });
             EXPECT_EQ(box->text().toStdString(), "停止しますか？");
             EXPECT_EQ(box->parentWidget(), t.transfer.data());
             return box;
         }},
        {"transfer file dialog",
         [](DriveGoes& t) -> QWidget* {
             if (!t.openUpload()) return nullptr;
             QTest::mouseClick(t.transfer->browseButton(), Qt::LeftButton);
             return t.transfer->findChild<QFileDialog*>();
         }},
        {"parameter file dialog",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Execute(kCmdSaveParaFile);
             return t.editor->findChild<QFileDialog*>();
         }},
        {"text export dialog",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Tree().Select(ParaNode{NodeKind::kAllGroups});
             t.editor->frame()->Execute(kCmdSaveTextFile);
             return t.editor->findChild<QFileDialog*>();
         }},
        {"parameter mode dialog",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Execute(kCmdParameterMode);
             return QApplication::activeModalWidget();
         }},
        {"report header dialog",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Execute(kCmdReportHeader);
             return QApplication::activeModalWidget();
         }},
        {"report export dialog",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Execute(kCmdReportExtra1);
             return QApplication::activeModalWidget();
         }},
        {"report print preview",
         [](DriveGoes& t) -> QWidget* {
             t.editor->frame()->Execute(kCmdReportExtra2);
             return QApplication::activeModalWidget();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DriveGoes round;
        round.start(true);
        round.openEditor();
        QPointer<QWidget> dialog = c.open(round);
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(dialog->isVisible());
        round.removeTheDrive();
        EXPECT_TRUE(round.rig.waitFor([&] { return !dialog; }));
        round.mainWindowGoesOn();
    }
}

// The set-up dialog of an editor is still open when its drive goes: the editor never shows.
TEST(DriveGoes, SetUpDialogClosesWithTheEditorThatNeverShowed) {
    EditorLine t;
    t.start(true);
    QPointer<QDialog> setUp = t.askForEditor();
    ASSERT_TRUE(setUp);
    ASSERT_TRUE(t.editor);
    EXPECT_FALSE(t.editor->isVisible());
    t.removeTheDrive();
    EXPECT_TRUE(t.rig.waitFor([&] { return !setUp; }));
    t.mainWindowGoesOn();
}

// The question about a typed value not yet written opens over the edit dialog that holds it,
// not over the editor window behind; the drive going then closes both.
TEST(DriveGoes, UnwrittenValueQuestionOpensOverTheEditDialog) {
    DriveGoes t;
    t.start(true);
    t.openEditor();
    ParaEditor& frame = *t.editor->frame();
    frame.Tree().Select(ParaNode{NodeKind::kAllGroups});
    int row = -1;
    for (std::size_t r = 0; r < frame.List().RowCount() && row < 0; ++r) {
        const CItem* item = frame.List().Row(r).item;
        if (item && item->address == 0x1003) row = static_cast<int>(r);
    }
    ASSERT_GE(row, 0);
    t.editor->listModel()->reload();
    t.editor->list()->selectRow(row);
    frame.Execute(kCmdOnlineEdit);
    QPointer<CParaEditDlg> dialog = qobject_cast<CParaEditDlg*>(t.editor->dialogs()->EditDialog());
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(t.rig.waitFor([&] { return dialog->writeButton()->isEnabled(); }, 60000));
    const QString other = dialog->field()->text() == "30.0" ? "31.0" : "30.0";
    dialog->field()->clear();
    QTest::keyClicks(dialog->field(), other);
    QTest::mouseClick(dialog->nextButton(), Qt::LeftButton);
    QPointer<QMessageBox> box;
    ASSERT_TRUE(t.rig.waitFor([&] {
        box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box != nullptr;
    }));
    EXPECT_EQ(box->parentWidget(), dialog.data());
    t.removeTheDrive();
    EXPECT_TRUE(t.rig.waitFor([&] { return !box; }));
    t.mainWindowGoesOn();
}

// The boxes keep the program's caption, icon and buttons, answer through their callback, and a
// box closed with its window answers No or Cancel.
TEST(WindowModalBoxes, AnswerByButtonOrAsCancelledWhenTheirWindowCloses) {
    TestApp();
    QWidget window;
    window.show();
    std::vector<std::string> answers;
    auto openBox = [&] {
        for (QMessageBox* box : window.findChildren<QMessageBox*>())
            if (box->isVisible()) return box;
        return static_cast<QMessageBox*>(nullptr);
    };

    QtPrompter::Ask(&window, "停止しますか？", "Parameter Editor",
                    [&](bool yes) { answers.push_back(yes ? "yes" : "no"); });
    QMessageBox* box = openBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle().toStdString(), "Parameter Editor");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(answers.empty());
    box->button(QMessageBox::No)->click();
    QtPrompter::Ask(&window, "?", "c", [&](bool yes) { answers.push_back(yes ? "yes" : "no"); });
    openBox()->button(QMessageBox::Yes)->click();
    QtPrompter::Ask(&window, "?", "c", [&](bool yes) { answers.push_back(yes ? "yes" : "no"); });
    CloseOpenDialogs(&window);
    QtPrompter::AskYesNoCancel(&window, "?", "c", [&](Answer a) {
        answers.push_back(a == Answer::kYes ? "yes" : a == Answer::kNo ? "no" : "cancel");
    });
    ASSERT_NE(openBox(), nullptr);
    EXPECT_NE(openBox()->button(QMessageBox::Cancel), nullptr);
    CloseOpenDialogs(&window);
    EXPECT_EQ(answers, (std::vector<std::string>{"no", "yes", "no", "cancel"}));
    EXPECT_EQ(openBox(), nullptr);
}

}  // namespace
}  // namespace korvane::gui
