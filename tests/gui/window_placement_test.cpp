// Windows kept inside the screen, and the information sheet's one size for all its pages.
#include "host/ui/window_placement.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "gui_rig.h"
#include "host/tool_services.h"
#include "monitor/device_name.h"
#include "monitor/ui/info_sheet_dialog.h"
#include "paradb/drive_record.h"

namespace korvane::gui {
namespace {

QApplication& AppKeepingWindowsInside() {
    static bool installed = false;
    if (!installed) KeepWindowsInsideScreen(TestApp());
    installed = true;
    return TestApp();
}

QRect Available(const QWidget& w) {
    return w.screen()->availableGeometry();
}

TEST(WindowPlacement, WindowsAppearAndAreRestoredInsideTheScreen) {
    AppKeepingWindowsInside();
    QWidget probe;
    const QRect screen = Available(probe);
    ASSERT_GT(screen.height(), 200);

    // Opened partly below the bottom: moved up, size kept.
    QWidget low;
    low.resize(screen.width() / 2, screen.height() / 2);
    low.move(screen.x() + 10, screen.bottom() - 50);
    low.show();
    EXPECT_TRUE(screen.contains(low.frameGeometry())) << low.frameGeometry().y();
    EXPECT_EQ(low.size(), QSize(screen.width() / 2, screen.height() / 2));

    // Taller than the screen: shrunk to it.
    QWidget tall;
    tall.resize(200, screen.height() + 300);
    tall.show();
    EXPECT_TRUE(screen.contains(tall.frameGeometry()));

    // A placement stored off the screen (another monitor, a larger screen) comes back inside.
    QWidget stored;
    stored.resize(300, 200);
    stored.move(screen.right() + 500, screen.bottom() + 500);
    const std::vector<std::uint8_t> bytes = PlacementBytes(stored);
    QWidget restored;
    restored.show();
    RestorePlacementBytes(restored, bytes);
    EXPECT_TRUE(screen.contains(restored.frameGeometry())) << restored.frameGeometry().x();
}

struct SheetServices {
    SheetServices() { AppKeepingWindowsInside(); }
    QueueExecutor executor;
    CDriveLink link{executor, [] { return std::unique_ptr<Port>(); }};
    DriveRecords records;
    MemorySettingsStore settings;
    RecordingPrompter prompter;
    FixedClock clock{LocalTime{}};
    StandaloneToolHost host;
    ToolServices services{link, records, settings, prompter, clock, executor, host, {}};
};

TEST(InfoSheetDialog, OneFixedSizeForEveryPageAndTheWholeTitle) {
    SheetServices s;
    DriveRecord& r = s.records[3];
    r.connected = r.supported = 1;
    r.seriesCode = 11;
    r.version = 0x0310;
    r.capacityCode = 4;
    r.inputVoltageCode = 1;
    ASSERT_TRUE(StoreDeviceName(s.settings, 3, "Pump room 12 NW"));
    s.host.graphWatch = true;
    InfoSheetDialog dialog(s.services, 3);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QSize size = dialog.size();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "the user cannot resize it";
    auto* tabs = dialog.findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    for (int page : {2, 1, 0, 2}) {
        tabs->setCurrentIndex(page);
        QTest::qWait(20);
        EXPECT_EQ(dialog.size(), size) << "page " << page;
        EXPECT_GE(tabs->width(), tabs->widget(page)->sizeHint().width()) << "page " << page;
    }
    // The title bar has the icon and three buttons besides the text.
    QFont bold = dialog.font();
    bold.setBold(true);
    const QString title = dialog.windowTitle();
    EXPECT_TRUE(title.startsWith(QStringLiteral("グラフ警戒モード - "))) << title.toStdString();
    EXPECT_GT(dialog.width(), QFontMetrics(bold).horizontalAdvance(title));
}

}  // namespace
}  // namespace korvane::gui
