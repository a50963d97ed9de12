// Every window and dialog of the program in English, on the demo line: no text the program says
// itself may be left in Japanese. What comes from a drive or a data file (parameter names and
// units, enumeration texts, group names) is not the program's to translate: such texts live in
// the cells of the parameter editor's views, which the walk leaves out but for the tree's top
// nodes (see `InEditor`). The demo's device names are English.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

#include "app/interface_language.h"
#include "app/main_commands.h"
#include "app/ui/connect_dialog.h"
#include "app/ui/port_setup_dialog.h"
#include "editor/compare_result.h"
#include "editor/para_editor.h"
#include "editor/para_tree_model.h"
#include "editor/ui/compare_result_dialog.h"
#include "editor/ui/para_edit_dialogs.h"
#include "editor/ui/para_editor_window.h"
#include "editor/ui/para_qt_models.h"
#include "editor/ui/para_transfer_dialog.h"
#include "gui_rig.h"
#include "monitor/ui/info_sheet_dialog.h"
#include "monitor/ui/keypad_window.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "report/ui/report_frame.h"
#include "report/ui/report_header_dialog.h"
#include "scope/ui/scope_window.h"

namespace korvane::gui {
namespace {

bool HasCjk(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x9FFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// The parameter editor's views hold the data file's parameter names, units, value and
// enumeration texts and group names: of their cells only the tree's top nodes ("Parameter
// Groups", "User Groups") are the program's own.
bool InEditor(const QWidget* w) {
    for (const QWidget* p = w; p; p = p->parentWidget())
        if (qobject_cast<const ParaEditorWindow*>(p)) return true;
    return false;
}

class Walk {
public:
    explicit Walk(std::string where) : where_(std::move(where)) {}

    void check(const QString& what, const QString& text) {
        if (HasCjk(text))
            found_.push_back(where_ + " " + what.toStdString() + ": " + text.toStdString());
    }

    void action(QAction* a) {
        if (a->isSeparator()) return;
        // Each language is named in its own words in the language menu.
        for (Language l : {Language::Japanese, Language::English})
            if (a->text() == QString::fromUtf8(LanguageNativeName(l))) return;
        check("action", a->text());
        check("action tip", a->toolTip());
        check("action status tip", a->statusTip());
        if (QMenu* m = a->menu()) menu(m);
    }

    void menu(QMenu* m) {
        check("menu", m->title());
        for (QAction* a : m->actions()) action(a);
    }

    void view(QAbstractItemView* v) {
        QAbstractItemModel* model = v->model();
        if (!model) return;
        for (int c = 0; c < model->columnCount(); ++c)
            check("heading", model->headerData(c, Qt::Horizontal).toString());
        if (InEditor(v)) {
            if (qobject_cast<QTreeView*>(v))
                for (int r = 0; r < model->rowCount(); ++r)
                    check("node", model->index(r, 0).data().toString());
            return;
        }
        for (int r = 0; r < model->rowCount(); ++r)
            for (int c = 0; c < model->columnCount(); ++c)
                check("cell", model->index(r, c).data().toString());
    }

    void widget(QWidget* root) {
        check("title", root->windowTitle());
        QList<QWidget*> all = root->findChildren<QWidget*>();
        all.prepend(root);
        for (QWidget* w : all) {
            check("tool tip", w->toolTip());
            if (auto* l = qobject_cast<QLabel*>(w)) check("label", l->text());
            if (auto* b = qobject_cast<QAbstractButton*>(w)) check("button", b->text());
            if (auto* g = qobject_cast<QGroupBox*>(w)) check("group", g->title());
            if (auto* d = qobject_cast<QDockWidget*>(w)) check("pane", d->windowTitle());
            if (auto* e = qobject_cast<QLineEdit*>(w)) check("placeholder", e->placeholderText());
            if (auto* s = qobject_cast<QStatusBar*>(w)) check("status", s->currentMessage());
            if (auto* t = qobject_cast<QTabWidget*>(w))
                for (int i = 0; i < t->count(); ++i) check("tab", t->tabText(i));
            if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
                for (int i = 0; i < c->count(); ++i) check("choice", c->itemText(i));
            if (auto* m = qobject_cast<QMenu*>(w)) menu(m);
            if (auto* v = qobject_cast<QAbstractItemView*>(w)) view(v);
            for (QAction* a : w->actions()) action(a);
        }
    }

    const std::vector<std::string>& found() const { return found_; }

private:
    std::string where_;
    std::vector<std::string> found_;
};

std::vector<std::string> Untranslated(const char* where, QWidget* root) {
    Walk walk(where);
    walk.widget(root);
    return walk.found();
}

template <class Window>
Window* OpenWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible()) return window;
    return nullptr;
}

template <class Dialog>
Dialog* ModalDialog() {
    return qobject_cast<Dialog*>(QApplication::activeModalWidget());
}

class EnglishUi : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        rig = std::make_unique<GuiRig>();
        rig->startDemo();
        ASSERT_TRUE(rig->waitFor([&] { return rig->controller->Records().connectedCount() >= 4; }));
        ASSERT_TRUE(rig->waitFor([&] { return !rig->controller->CanStopScan(); }));
    }

    void TearDown() override {
        rig->prompter.scriptAnswers({false, false, false, false});
        rig->controller->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rig.reset();
        // The other tests read the Japanese originals.
        SetLanguage(Language::Japanese);
    }

    void expectEnglish(const char* where, QWidget* root) {
        ASSERT_NE(root, nullptr) << where;
        for (const std::string& text : Untranslated(where, root)) ADD_FAILURE() << text;
    }

    std::unique_ptr<GuiRig> rig;
};

TEST_F(EnglishUi, MainWindowAndItsDialogs) {
    rig->controller->SelectDriveRow(0);
    expectEnglish("main window", rig->window.get());

    rig->window->runCommand(kCmdConnect);
    expectEnglish("connect dialog", ModalDialog<ConnectDialog>());
    if (auto* d = ModalDialog<QDialog>()) d->reject();

    rig->window->runCommand(kCmdPortSetup);
    expectEnglish("port setup", ModalDialog<PortSetupDialog>());
    if (auto* d = ModalDialog<QDialog>()) d->reject();

    QMenu* languages = rig->window->findChild<QMenu*>(QStringLiteral("Language Menu"));
    ASSERT_NE(languages, nullptr);
    ASSERT_EQ(languages->actions().size(), 2);
    EXPECT_EQ(languages->title(), QStringLiteral("Language"));
    EXPECT_TRUE(languages->actions()[1]->isChecked());  // English, spoken now
    languages->actions()[0]->trigger();
    EXPECT_EQ(rig->store.getString("Comm", kLanguageKey, ""), "ja");
    // Told in the language chosen, the one the user reads.
    ASSERT_EQ(rig->prompter.entries().size(), 1u);
    EXPECT_EQ(rig->prompter.entries()[0].text, kLanguageTakesEffectText);
}

TEST_F(EnglishUi, MonitorWindows) {
    rig->controller->SelectDriveRow(0);
    rig->controller->OpenToolWindow(kCmdKeypad);
    rig->controller->OpenToolWindow(kCmdInformation);
    rig->controller->OpenToolWindow(kCmdGraphMonitor);
    auto* sheet = OpenWindow<InfoSheetDialog>();
    ASSERT_NE(sheet, nullptr);
    // Every page once shown, with the values read.
    (void)rig->waitFor([] { return false; }, 1500);
    auto* tabs = sheet->findChild<QTabWidget*>();
    for (int i = 0; tabs && i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        (void)rig->waitFor([] { return false; }, 500);
        expectEnglish("information sheet", sheet);
    }
    auto* keypad = OpenWindow<KeypadWindow>();
    expectEnglish("keypad", keypad);
    if (keypad) {
        QTest::mouseClick(keypad->display(0), Qt::LeftButton);
        expectEnglish("keypad edit dialog", keypad->editorDialog());
    }
    expectEnglish("graph monitor", OpenWindow<scope::ScopeWindow>());
}

TEST_F(EnglishUi, EditorTransfersAndReport) {
    rig->controller->SelectDriveRow(0);
    const DriveRecord& drive =
        rig->controller->Records()[rig->controller->DriveList().SelectedStation()];
    ASSERT_TRUE(drive.driveData);
    ASSERT_EQ(drive.driveData->Load(&drive, KORVANE_TEST_DATA_DIR), 1);
    rig->window->runCommand(kCmdOnlineEditor);
    auto* setUp = ModalDialog<QDialog>();
    expectEnglish("parameter mode dialog", setUp);
    ASSERT_NE(setUp, nullptr);
    setUp->accept();
    auto* editor = OpenWindow<ParaEditorWindow>();
    ASSERT_NE(editor, nullptr);
    (void)rig->waitFor([] { return false; }, 1000);
    expectEnglish("online editor", editor);

    // A group read, then the edit dialog of a parameter of it.
    editor->frame()->Tree().Select(ParaNode{NodeKind::kAllGroups});
    editor->listModel()->reload();
    editor->list()->selectRow(1);
    editor->frame()->Execute(kCmdRefreshGroup);
    expectEnglish("read dialog", editor->dialogs()->ReadDialog());
    ASSERT_TRUE(rig->waitFor([&] { return editor->dialogs()->ReadDialog() == nullptr; }, 60000));
    editor->list()->selectRow(1);
    editor->frame()->Execute(kCmdOnlineEdit);
    auto* edit = qobject_cast<ParaEditDialogBase*>(editor->dialogs()->EditDialog());
    ASSERT_NE(edit, nullptr);
    (void)rig->waitFor([&] { return edit->writeButton()->isEnabled(); });
    expectEnglish("edit dialog", edit);
    QTest::mouseClick(edit->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(rig->waitFor([&] { return editor->dialogs()->EditDialog() == nullptr; }));

    editor->frame()->Execute(kCmdUpload);
    expectEnglish("upload", editor->findChild<ParaTransferDialog*>());
    if (auto* d = editor->findChild<ParaTransferDialog*>()) d->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    editor->frame()->Execute(kCmdDownload);
    expectEnglish("download", editor->findChild<ParaTransferDialog*>());
    if (auto* d = editor->findChild<ParaTransferDialog*>()) d->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    CompareResultDialog compare({}, nullptr, Tr(CompareResult::kTitle));
    expectEnglish("compare results", &compare);

    editor->frame()->Execute(kCmdReport);
    auto* report = OpenWindow<CReportFrame>();
    expectEnglish("report", report);
    if (report) {
        CReportHeaderDlg header(rig->store);
        expectEnglish("report header", &header);
        report->close();
    }
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    rig->window->runCommand(kCmdOfflineEditor);
    if (auto* d = ModalDialog<QDialog>()) {
        // The offline editor is the online one's window; the test's data has no file for the
        // model the dialog offers first, so it stops here.
        expectEnglish("offline parameter mode dialog", d);
        d->reject();
    }
}

}  // namespace
}  // namespace korvane::gui
