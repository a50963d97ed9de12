#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include "app/main_commands.h"
#include "app/ui/drive_list_view.h"
#include "app/ui/fault_list_view.h"
#include "app/ui/port_setup_dialog.h"
#include "app/ui/status_panes.h"
#include "gui_rig.h"

namespace korvane::gui {
namespace {

std::vector<sim::DriveIdentity> Drives(std::initializer_list<int> stations) {
    std::vector<sim::DriveIdentity> drives;
    for (int station : stations)
        drives.push_back({.station = station, .series = 4, .version = 0x020A});
    return drives;
}

std::vector<std::string> ShownIds(const DriveListView& list) {
    std::vector<std::string> ids;
    for (int row = 0; row < list.rowCount(); ++row)
        ids.push_back(list.item(row, 0)->text().toStdString());
    return ids;
}

std::vector<int> EnabledCommands(QMenu& menu) {
    std::vector<int> enabled;
    for (QAction* action : menu.actions())
        if (!action->isSeparator() && action->isEnabled())
            enabled.push_back(action->data().toInt());
    return enabled;
}

void ClickHeader(DriveListView& list, int column) {
    QHeaderView* header = list.horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST(MainWindow, RowMenuUnderGraphWatchOffersOnlyReconnectAndGraphMonitor) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine(Drives({1, 2}), {1, 2}));
    ASSERT_TRUE(rig.waitForConnected(2));
    EXPECT_EQ(rig.window->windowTitle().toStdString(), "Korvaneメイン［2接続］");

    DriveListView& list = *rig.window->driveList();
    std::unique_ptr<QMenu> menu(list.buildContextMenu(0, nullptr));
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->actions()[2]->isSeparator());
    EXPECT_EQ(EnabledCommands(*menu), (std::vector<int>{kCmdReconnect, kCmdDisconnect, kCmdKeypad,
                                                        kCmdOnlineEditor, kCmdGraphMonitor}));

    rig.controller->SetGraphWatchActive(true);
    menu.reset(list.buildContextMenu(0, nullptr));
    EXPECT_EQ(EnabledCommands(*menu), (std::vector<int>{kCmdReconnect, kCmdGraphMonitor}));
    EXPECT_FALSE(rig.window->action(kCmdKeypad)->isEnabled());
    EXPECT_FALSE(rig.window->action(kCmdOnlineEditor)->isEnabled());
    EXPECT_EQ(rig.window->statusPanes()->graphWatch()->text().toStdString(), "グラフ警戒モード");

    rig.controller->SetGraphWatchActive(false);
    EXPECT_TRUE(rig.window->action(kCmdKeypad)->isEnabled());
    EXPECT_TRUE(rig.window->statusPanes()->graphWatch()->text().isEmpty());
}

TEST(MainWindow, SortingTwiceReversesAndAReconnectedRowSortsByIdAgain) {
    GuiRig rig;
    rig.store.setString("InvName", "Inv Name1", "Bravo");
    rig.store.setString("InvName", "Inv Name2", "alpha");
    rig.store.setString("InvName", "Inv Name3", "Charlie");
    ASSERT_TRUE(rig.startOnSimLine(Drives({1, 2, 3}), {1, 2, 3}));
    ASSERT_TRUE(rig.waitForConnected(3));
    DriveListView& list = *rig.window->driveList();
    ASSERT_EQ(ShownIds(list), (std::vector<std::string>{"1", "2", "3"}));

    ClickHeader(list, 1);
    EXPECT_EQ(ShownIds(list), (std::vector<std::string>{"2", "1", "3"}));
    ClickHeader(list, 1);
    EXPECT_EQ(ShownIds(list), (std::vector<std::string>{"3", "1", "2"}));

    rig.controller->Disconnect(2);
    EXPECT_EQ(list.item(2, 6)->text().toStdString(), "接続なし");
    rig.controller->Reconnect(2);
    ASSERT_TRUE(rig.waitForConnected(3));
    EXPECT_EQ(ShownIds(list), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(list.currentRow(), 1);
}

// Runs `act` on the port setup dialog the window has open, then closes it with `accept`.
void OnPortSetupDialog(const std::function<void(PortSetupDialog&)>& act, bool accept) {
    auto* dialog = qobject_cast<PortSetupDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
    if (accept)
        dialog->accept();
    else
        dialog->reject();
}

TEST(MainWindow, PortSetupFromTheStatusBarReopensTheLineAndFollowsItsTimer) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine(Drives({4}), {4}));
    ASSERT_TRUE(rig.waitForConnected(1));
    StatusPanes& panes = *rig.window->statusPanes();
    EXPECT_TRUE(rig.window->linkTimer().isActive());
    EXPECT_EQ(rig.window->linkTimer().timerType(), Qt::PreciseTimer);

    QTest::mouseDClick(panes.baudRate(), Qt::LeftButton);
    OnPortSetupDialog([](PortSetupDialog& d) { d.baudRateBox()->setCurrentText("19200"); }, true);
    EXPECT_EQ(panes.baudRate()->text().toStdString(), "19200");
    EXPECT_TRUE(rig.window->linkTimer().isActive());
    EXPECT_EQ(rig.window->linkTimer().interval(), rig.controller->LinkTimerMs());

    // Fast pacing runs the link on a short timer, and the tick comes back when it is off.
    for (bool fast : {true, false}) {
        QTest::mouseDClick(panes.baudRate(), Qt::LeftButton);
        OnPortSetupDialog([fast](PortSetupDialog& d) { d.fastPacingBox()->setChecked(fast); },
                          true);
        EXPECT_TRUE(rig.window->linkTimer().isActive());
        EXPECT_EQ(rig.window->linkTimer().interval(), fast ? 1 : 30);
    }

    rig.prompter.clear();
    QTest::mouseDClick(panes.port(), Qt::LeftButton);
    OnPortSetupDialog(
        [](PortSetupDialog& d) { d.portBox()->setEditText("/dev/korvane-no-such-tty"); }, true);
    EXPECT_EQ(panes.port()->text().toStdString(), "/dev/korvane-no-such-tty");
    EXPECT_FALSE(rig.window->linkTimer().isActive());
    ASSERT_FALSE(rig.prompter.entries().empty());
    EXPECT_EQ(rig.prompter.entries().back().text,
              "/dev/korvane-no-such-ttyポートを開くことができません");
}

}  // namespace
}  // namespace korvane::gui

namespace korvane::gui {
namespace {

TEST(MainWindow, ATrippedDriveTopsTheAlarmHistoryAndShowsTheFaultIcon) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine(Drives({1, 2}), {1, 2}));
    ASSERT_TRUE(rig.waitForConnected(2));
    rig.withEngine([](sim::SimEngine& engine) { ASSERT_TRUE(engine.drive(2)->trip(3)); });
    ASSERT_TRUE(rig.waitFor([&] { return rig.window->faultList()->rowCount() == 1; }));

    const FaultListView& history = *rig.window->faultList();
    EXPECT_EQ(history.item(0, 0)->text().toStdString(), "1");
    EXPECT_EQ(history.item(0, 3)->text().toStdString(), "2");
    EXPECT_FALSE(history.item(0, 7)->text().isEmpty());
    EXPECT_EQ(history.currentRow(), 0);

    const DriveListView& list = *rig.window->driveList();
    EXPECT_EQ(list.item(1, 7)->text(), history.item(0, 7)->text());
    EXPECT_EQ(list.item(1, 0)->data(Qt::UserRole).toInt(), kIconFault + 1);
}

}  // namespace
}  // namespace korvane::gui

namespace korvane::gui {
namespace {

TEST(MainWindow, ClosingKeepsPlacementLayoutColumnsAndConnectedDrivesForTheNextStart) {
    GuiRig rig;
    ASSERT_TRUE(rig.startOnSimLine(Drives({3, 6}), {3, 6}));
    ASSERT_TRUE(rig.waitForConnected(2));
    rig.window->driveList()->setColumnWidth(1, 222);
    rig.window->faultList()->setColumnWidth(7, 111);
    rig.window->close();

    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(rig.store.getBytes("Main", "MAIN", bytes));
    EXPECT_TRUE(rig.store.getBytes("Main", "Main PaneLayout", bytes));
    EXPECT_TRUE(rig.window->restoreState(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size()))));
    EXPECT_EQ(rig.store.getInt("Main", "INVCol 1", 0), 222);
    EXPECT_EQ(rig.store.getInt("Main", "FaultCol 7", 0), 111);
    ASSERT_TRUE(rig.store.getBytes("Main", "ConIDs", bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{3, 6}));
}

}  // namespace
}  // namespace korvane::gui

namespace korvane::gui {
namespace {

TEST(MainWindow, DemoFindsTheBuiltInDrivesAndFillsListAndTitle) {
    GuiRig rig;
    rig.startDemo();
    ASSERT_TRUE(rig.waitFor([&] {
        return rig.window->windowTitle().toStdString() == "Korvaneメイン［4接続］" &&
               rig.window->driveList()->rowCount() == 5;
    }));
    DriveListView& list = *rig.window->driveList();
    EXPECT_EQ(ShownIds(list), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(list.item(4, 2)->text().toStdString(), "Gum");
    EXPECT_EQ(list.item(4, 6)->text().toStdString(), "サポートなし");
    EXPECT_TRUE(rig.prompter.entries().empty());
}

}  // namespace
}  // namespace korvane::gui
