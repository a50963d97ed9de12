// The graph monitor window offscreen: command enabling, a scope file saved and reopened, and
// the pictures and PDF it writes.
#include "scope/ui/scope_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>

#include "app/settings.h"
#include "app/tool_services.h"
#include "app/ui/qt_executor.h"
#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "gui_rig.h"
#include "paradb/drive_record.h"
#include "paradb/monitor_list.h"
#include "scope/scope_settings.h"

namespace korvane::gui {
namespace {

using namespace korvane::scope;

class ScopeWindowTest : public ::testing::Test {
protected:
    ScopeWindowTest() {
        TestApp();
        DriveRecord& r = records_[1];
        r.connected = r.supported = 1;
        r.seriesCode = 4;
        r.version = 0x0100;
        std::vector<MonitorItem> items;
        BuildMonitorList(4, 0x0100, kMonitorListAll, items);
        int index = 0;
        while (items[static_cast<std::size_t>(index)].address != 10) ++index;
        store_.setInt(kScopeSection, "Ch0-On", 1);
        store_.setInt(kScopeSection, "Ch0-ID", 1);
        store_.setInt(kScopeSection, "Ch0-Addr", 10);
        store_.setInt(kScopeSection, "Ch0-AddrIndex", index);
    }
    std::unique_ptr<ScopeWindow> window() { return std::make_unique<ScopeWindow>(services_); }
    void sample(ScopeWindow& w, int raw) {
        DriveReply reply;
        reply.station = 1;
        reply.command = 'R';
        reply.wordCount = 1;
        reply.addresses[0] = 10;
        reply.values[0] = raw;
        w.monitor().OnDriveMonitor(1, reply);
        w.monitor().onSample();
    }

    QTemporaryDir dir_;
    QtExecutor executor_;
    CDriveLink link_{executor_, [] { return std::unique_ptr<Port>(); }};
    DriveRecords records_;
    MemorySettingsStore store_;
    RecordingPrompter prompter_;
    FixedClock clock_{LocalTime{2026, 12, 8, 10, 0, 0, 0}};
    StandaloneToolHost host_;
    ToolServices services_{
        link_,  records_,  store_, prompter_,
        clock_, executor_, host_,  MakeAppDirectories(dir_.path().toStdString())};
};

TEST_F(ScopeWindowTest, GraphWatchPaneShowsWhileGraphWatchModeIsOn) {
    store_.setInt(kScopeSection, "Graph Watch Mode", 1);
    auto w = window();
    EXPECT_EQ(w->graphWatchPaneText(), QString());
    w->monitor().startMonitoring();
    EXPECT_EQ(w->graphWatchPaneText(), QStringLiteral("グラフ警戒モード"));
    w->monitor().stopMonitoring();
    EXPECT_EQ(w->graphWatchPaneText(), QString());
}

TEST_F(ScopeWindowTest, ALegendClickInCursorModeMovesTheCursorChannel) {
    auto w = window();
    w->chart().clickLegend(2);  // normal mode: no cursor to move
    EXPECT_EQ(w->monitor().settings().currentCursor, 0);
    w->monitor().setChartMode(ChartMode::kCursor);
    w->chart().clickLegend(2);
    EXPECT_EQ(w->chart().cursorChannel(), 2);
    EXPECT_EQ(w->monitor().settings().currentCursor, 2);
}

TEST_F(ScopeWindowTest, OnlyTheFirstOpeningSizesTheFrameToTheView) {
    auto first = window();
    const QSize fitted = first->sizeHint().expandedTo(first->minimumSizeHint());
    ASSERT_NE(fitted, QSize(1100, 600));
    EXPECT_EQ(first->size(), fitted);
    first.reset();
    EXPECT_EQ(store_.getInt(kScopeSection, "First", -1), 0);
    EXPECT_EQ(window()->size(), QSize(1100, 600));
}

TEST_F(ScopeWindowTest, TheFrameNeverShrinksBelowItsPanelsAndBars) {
    auto w = window();
    w->show();
    w->resize(10, 10);
    const QSize view = w->centralWidget()->sizeHint();
    const QSize screen = w->screen()->availableSize();
    EXPECT_EQ(w->size(), w->minimumSize());
    EXPECT_GE(w->minimumWidth(), std::min(view.width(), screen.width()));
    const int bars = w->menuBar()->sizeHint().height() + w->statusBar()->sizeHint().height();
    EXPECT_GE(w->minimumHeight(), std::min(view.height() + bars, screen.height()));
    // The panels set the width; a long tool bar does not.
    EXPECT_LE(w->minimumWidth(), view.width() + 40);
}

TEST_F(ScopeWindowTest, CommandsFollowMonitoring) {
    auto w = window();
    EXPECT_TRUE(w->action(ScopeCommand::kStartMonitor)->isEnabled());
    EXPECT_FALSE(w->action(ScopeCommand::kStopMonitor)->isEnabled());
    EXPECT_FALSE(w->action(ScopeCommand::kStartRecord)->isEnabled());
    w->action(ScopeCommand::kStartMonitor)->trigger();
    EXPECT_FALSE(w->action(ScopeCommand::kStartMonitor)->isEnabled());
    EXPECT_TRUE(w->action(ScopeCommand::kStopMonitor)->isEnabled());
    EXPECT_TRUE(w->action(ScopeCommand::kStartRecord)->isEnabled());
    EXPECT_TRUE(w->action(ScopeCommand::kArmTrigger)->isEnabled());
    w->action(ScopeCommand::kStopMonitor)->trigger();
    EXPECT_TRUE(w->action(ScopeCommand::kStartMonitor)->isEnabled());
    EXPECT_FALSE(w->action(ScopeCommand::kArmTrigger)->isEnabled());

    records_[1].reset();
    w->monitor().refreshStations();
    EXPECT_FALSE(w->action(ScopeCommand::kStartMonitor)->isEnabled());
}

TEST_F(ScopeWindowTest, ASavedScopeFileReopensWithTheSamePoints) {
    const std::string path = dir_.filePath("run.sco").toStdString();
    std::vector<double> stamps, ys;
    {
        auto w = window();
        w->monitor().startMonitoring();
        for (int raw : {1000, 2500, 4000}) {
            clock_.set({2026, 12, 8, 10, 0, raw / 1000, raw % 1000});
            sample(*w, raw);
        }
        w->monitor().stopMonitoring();
        ASSERT_TRUE(w->monitor().saveScoFile(path));
        for (int p = 0; p < w->chart().pointCount(); ++p) {
            stamps.push_back(w->chart().stamp(p));
            ys.push_back(w->chart().y(0, p));
        }
    }
    auto again = window();
    ASSERT_TRUE(again->monitor().openScoFile(path));
    ASSERT_EQ(again->chart().pointCount(), static_cast<int>(stamps.size()));
    for (int p = 0; p < again->chart().pointCount(); ++p) {
        EXPECT_EQ(again->chart().stamp(p), stamps[static_cast<std::size_t>(p)]);
        EXPECT_EQ(again->chart().y(0, p), ys[static_cast<std::size_t>(p)]);
    }
    EXPECT_EQ(ys.back(), 40.0);
    EXPECT_EQ(again->chart().mode(), ChartMode::kCursor);
}

TEST_F(ScopeWindowTest, WritesSvgPicturesAndPrintsToPdf) {
    auto w = window();
    w->resize(900, 500);
    w->monitor().startMonitoring();
    sample(*w, 3000);
    sample(*w, 3500);
    w->monitor().stopMonitoring();
    const QString svg = dir_.filePath("chart.svg");
    ASSERT_TRUE(w->chart().saveImage(svg.toStdString(), ImageFormat::kVector));
    QFile svgFile(svg);
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svgFile.readAll().contains("<svg"));
    const QString png = dir_.filePath("chart.png");
    EXPECT_TRUE(w->chart().saveImage(png.toStdString(), ImageFormat::kPng));
    const QString pdf = dir_.filePath("chart.pdf");
    ASSERT_TRUE(w->printToPdf(pdf));
    QFile pdfFile(pdf);
    ASSERT_TRUE(pdfFile.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdfFile.read(5) == "%PDF-");
}

}  // namespace
}  // namespace korvane::gui
