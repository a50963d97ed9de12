// The information sheet and keypad windows offscreen, fed results directly: what the user sees
// of the pages, lamps, displays and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "app/main_commands.h"
#include "app/ui/drive_list_view.h"
#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "gui_rig.h"
#include "host/tool_services.h"
#include "host/ui/stale_look.h"
#include "monitor/ui/info_sheet_dialog.h"
#include "monitor/ui/keypad_window.h"
#include "paradb/drive_record.h"
#include "sim/sim_engine.h"

namespace korvane::gui {
namespace {

// A link that is never opened: registrations and queued requests are kept, nothing is sent.
struct Services {
    Services() { TestApp(); }
    DriveRecord& connect(int station, int series, int version) {
        DriveRecord& r = records[station];
        r.connected = r.supported = 1;
        r.seriesCode = series;
        r.version = version;
        r.capacityCode = 4;
        r.inputVoltageCode = 1;
        return r;
    }
    QueueExecutor executor;
    CDriveLink link{executor, [] { return std::unique_ptr<Port>(); }};
    DriveRecords records;
    MemorySettingsStore settings;
    RecordingPrompter prompter;
    FixedClock clock{LocalTime{}};
    StandaloneToolHost host;
    ToolServices services{link, records, settings, prompter, clock, executor, host, {}};
};

DriveReply Words(int station, std::vector<std::pair<int, int>> words) {
    DriveReply r;
    r.station = station;
    r.command = 'Y';
    r.wordCount = static_cast<int>(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        r.addresses[i] = words[i].first;
        r.values[i] = words[i].second;
    }
    return r;
}

int VisibleBoxes(const std::vector<QCheckBox*>& boxes) {
    int n = 0;
    for (QCheckBox* b : boxes) n += b->isVisibleTo(b->parentWidget()) ? 1 : 0;
    return n;
}

TEST(InfoSheetDialog, ShowsPagesTripsAndKeepsEscapeOnTheRunPage) {
    Services s;
    s.connect(3, 11, 0x0310);
    InfoSheetDialog dialog(s.services, 3);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "3 : Kapok (5.5kW-4) Ver3.16");
    EXPECT_EQ(dialog.nameEdit()->maxLength(), 15);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());

    dialog.tabs()->setCurrentIndex(InfoSheet::kFaultPage);
    EXPECT_EQ(VisibleBoxes(dialog.tripBoxes()), 37);
    dialog.sheet().faultPage().OnDriveMonitor(3, Words(3, {{0x0333, 0x0001}}));
    int checked = 0;
    for (QCheckBox* b : dialog.tripBoxes()) checked += b->isChecked() ? 1 : 0;
    EXPECT_EQ(checked, 1);
    EXPECT_EQ(dialog.tripBoxes()[0]->text(), "ヒューズ開放");

    dialog.tabs()->setCurrentIndex(InfoSheet::kTerminalPage);
    EXPECT_EQ(VisibleBoxes(dialog.outputBoxes()), 7);

    s.connect(4, 4, 0x0100);
    dialog.retarget(4);
    EXPECT_EQ(VisibleBoxes(dialog.inputBoxes()), 11);
    EXPECT_EQ(VisibleBoxes(dialog.outputBoxes()), 5);
    dialog.tabs()->setCurrentIndex(InfoSheet::kRunPage);
    s.records[4].statusWord = 0x0002;
    dialog.sheet().runPage().OnDriveMonitor(4, Words(4, {{0x0005, 5000}, {0x000E, 0}}));
    EXPECT_EQ(dialog.valueLabel(RunStatusPage::kFrequencyCommand)->text(), "50.00 Hz");
    EXPECT_EQ(dialog.valueLabel(RunStatusPage::kRunStatus)->text(), "順方向");
}

TEST(KeypadWindow, DisplaysLampsAndKeysFollowTheModel) {
    Services s;
    DriveRecord& d = s.connect(1, 4, 0x0100);
    KeypadWindow window(s.services, 1);
    window.show();
    EXPECT_EQ(window.windowTitle(), "KEY PAD - 1:Elm");
    EXPECT_EQ(window.selector(0)->count(), 12);
    EXPECT_EQ(window.selector(0)->currentText(), "周波数コマンド");
    EXPECT_EQ(window.nameLabel()->text(), "( 名前 :   )");

    window.model().OnDriveMonitor(1, Words(1, {{5, 5000}, {10, 1234}}));
    EXPECT_DOUBLE_EQ(window.display(0)->value(), 50.0);
    EXPECT_DOUBLE_EQ(window.display(1)->value(), 12.34);

    d.statusWord = kStatusForward;
    window.model().onTick();
    EXPECT_TRUE(window.forwardLamp()->isLit());
    EXPECT_FALSE(window.faultLamp()->isLit());

    QTest::mouseClick(window.forwardKey(), Qt::LeftButton);
    EXPECT_FALSE(window.forwardKey()->isEnabled());  // until the drive answers

    QTest::mouseClick(window.display(0), Qt::LeftButton);
    ASSERT_NE(window.editorDialog(), nullptr);
    EXPECT_EQ(window.editorDialog()->windowTitle(), "パラメータを編集 [1:Elm]");

    s.host.graphWatch = true;
    window.onGraphWatchChanged(true);
    EXPECT_EQ(window.editorDialog(), nullptr);
    EXPECT_FALSE(window.selector(0)->isEnabled());
    EXPECT_FALSE(window.stopKey()->isEnabled());
    // Frozen by graph watch mode: the digits and lamps are dimmed, the digits still readable.
    EXPECT_EQ(window.display(0)->palette().color(QPalette::WindowText), StaleTextColour());
    EXPECT_DOUBLE_EQ(window.display(0)->value(), 50.0);
    EXPECT_TRUE(window.forwardLamp()->isDimmed());
    EXPECT_TRUE(window.faultLamp()->isDimmed());
}

template <class Window>
std::vector<Window*> OpenWindows() {
    std::vector<Window*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(w); window && window->isVisible())
            found.push_back(window);
    return found;
}

// A drive that stops answering: the list, the keypad and the information sheet grey its values
// at once (the drive is still listed), and show them live again when it answers.
TEST(MonitorWindowsFromMainWindow, ValuesOfASilentDriveAreGreyedUntilItAnswers) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine({{.station = 1, .series = 4, .version = 0x020A}}, {1}));
    ASSERT_TRUE(rig.waitForConnected(1));
    rig.controller->SelectDriveRow(0);
    rig.controller->OpenToolWindow(kCmdKeypad);
    rig.controller->OpenToolWindow(kCmdInformation);
    ASSERT_EQ(OpenWindows<KeypadWindow>().size(), 1u);
    ASSERT_EQ(OpenWindows<InfoSheetDialog>().size(), 1u);
    KeypadWindow* keypad = OpenWindows<KeypadWindow>()[0];
    InfoSheetDialog* sheet = OpenWindows<InfoSheetDialog>()[0];
    QTableWidget* list = rig.window->driveList();
    const QColor grey = StaleTextColour();
    auto listGrey = [&] { return list->item(0, 4)->foreground().color() == grey; };
    auto keypadGrey = [&] {
        return keypad->display(0)->palette().color(QPalette::WindowText) == grey;
    };
    auto sheetGrey = [&] {
        return sheet->valueLabel(RunStatusPage::kOutputCurrent)
                   ->palette()
                   .color(QPalette::WindowText) == grey;
    };
    auto allLive = [&] { return !listGrey() && !keypadGrey() && !sheetGrey(); };
    ASSERT_TRUE(rig.waitFor(allLive));
    // A few polling rounds after the identification and the windows' first reads.
    (void)rig.waitFor([] { return false; }, 2000);

    auto silence = [&](bool on) {
        rig.withEngine([on](sim::SimEngine& e) {
            auto f = e.faults();
            if (on) {
                f.silentStations.insert(1);
            } else {
                f.silentStations.erase(1);
            }
            e.setFaults(f);
        });
    };
    silence(true);
    EXPECT_TRUE(rig.waitFor([&] { return listGrey() && keypadGrey() && sheetGrey(); }));
    EXPECT_EQ(rig.controller->DriveList().Rows().size(), 1u);
    EXPECT_TRUE(rig.controller->DriveList().Rows()[0].iconStale);
    silence(false);
    EXPECT_TRUE(rig.waitFor(allLive));
    rig.controller->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(MonitorWindowsFromMainWindow, OneKeypadPerStationAndOneSheetRetargeted) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine({{.station = 1, .series = 4, .version = 0x020A},
                                    {.station = 2, .series = 11, .version = 0x0310}},
                                   {1, 2}));
    ASSERT_TRUE(rig.waitForConnected(2));
    rig.controller->SelectDriveRow(0);
    rig.controller->OpenToolWindow(kCmdKeypad);
    rig.controller->OpenToolWindow(kCmdKeypad);
    ASSERT_EQ(OpenWindows<KeypadWindow>().size(), 1u);
    KeypadWindow* keypad = OpenWindows<KeypadWindow>()[0];
    EXPECT_EQ(keypad->windowTitle(), "KEY PAD - 1:Elm");
    EXPECT_TRUE(rig.waitFor([&] { return keypad->display(0)->value() == 60.0; }));

    rig.controller->OpenToolWindow(kCmdInformation);
    rig.controller->SelectDriveRow(1);
    rig.controller->OpenToolWindow(kCmdInformation);
    ASSERT_EQ(OpenWindows<InfoSheetDialog>().size(), 1u);
    InfoSheetDialog* sheet = OpenWindows<InfoSheetDialog>()[0];
    EXPECT_EQ(sheet->sheet().station(), 2);
    EXPECT_TRUE(rig.waitFor(
        [&] { return !sheet->valueLabel(RunStatusPage::kRunStatus)->text().isEmpty(); }));

    keypad->close();
    EXPECT_TRUE(rig.waitFor([] { return OpenWindows<KeypadWindow>().empty(); }));
    rig.controller->SelectDriveRow(0);
    rig.controller->OpenToolWindow(kCmdKeypad);
    EXPECT_EQ(OpenWindows<KeypadWindow>().size(), 1u);

    // As at exit: every tool window closes before the main window's parts go.
    rig.controller->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(OpenWindows<KeypadWindow>().empty());
    EXPECT_TRUE(OpenWindows<InfoSheetDialog>().empty());
}

}  // namespace
}  // namespace korvane::gui
