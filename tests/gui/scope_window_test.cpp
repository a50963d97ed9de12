// The graph monitor window offscreen: command enabling, a scope file saved and reopened, and
// the pictures and PDF it writes.
#include "scope/ui/scope_window.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <cmath>

#include "../support/link_verdicts.h"
#include "app/ui/qt_executor.h"
#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "gui_rig.h"
#include "host/settings.h"
#include "host/tool_services.h"
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
    std::unique_ptr<ScopeWindow> window() {
        auto w = std::make_unique<ScopeWindow>(services_);
        w->monitor().channelSet().setFreshness(verdicts_.query());
        return w;
    }
    // A poll result as the link hands it on, its verdicts taken first.
    void deliver(ScopeWindow& w, const DriveReply& reply) {
        verdicts_.note(reply.station, reply);
        w.monitor().channelSet().OnDriveMonitor(reply.station, reply);
    }
    void sample(ScopeWindow& w, int raw) {
        DriveReply reply;
        reply.station = 1;
        reply.command = 'R';
        reply.wordCount = 1;
        reply.addresses[0] = 10;
        reply.values[0] = raw;
        deliver(w, reply);
        w.monitor().onSample();
    }

    QTemporaryDir dir_;
    test::LinkVerdicts verdicts_;
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
    w->monitor().sampler().setChartMode(ChartMode::kCursor);
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
        ASSERT_TRUE(w->monitor().document().save(path));
        for (int p = 0; p < w->chart().pointCount(); ++p) {
            stamps.push_back(w->chart().stamp(p));
            ys.push_back(w->chart().y(0, p));
        }
    }
    auto again = window();
    ASSERT_TRUE(again->monitor().document().open(path));
    ASSERT_EQ(again->chart().pointCount(), static_cast<int>(stamps.size()));
    for (int p = 0; p < again->chart().pointCount(); ++p) {
        EXPECT_EQ(again->chart().stamp(p), stamps[static_cast<std::size_t>(p)]);
        const double y = again->chart().y(0, p);
        const double expected = ys[static_cast<std::size_t>(p)];
        EXPECT_TRUE(y == expected || (std::isnan(y) && std::isnan(expected))) << p;
    }
    EXPECT_TRUE(std::isnan(ys.front())) << "the start's sample had nothing received";
    EXPECT_EQ(ys.back(), 40.0);
    EXPECT_EQ(again->chart().mode(), ChartMode::kCursor);
    EXPECT_EQ(again->windowTitle(),
              QStringLiteral("%1 - run.sco").arg(QString::fromUtf8(kCaption)));
    again->monitor().startMonitoring();
    EXPECT_EQ(again->windowTitle(), QString::fromUtf8(kCaption)) << "a new run is not the file";
}

TEST_F(ScopeWindowTest, AValueThatIsNotLiveIsDimmedAndRestoredByTheNextReply) {
    auto w = window();
    w->monitor().startMonitoring();
    sample(*w, 1234);
    EXPECT_EQ(w->valueLabel(0)->text(), QStringLiteral("12.34 Hz"));
    EXPECT_TRUE(w->valueLabel(0)->isEnabled());
    DriveReply failed;
    failed.station = 1;
    failed.command = 'R';
    failed.errorCode = kErrTimeout;
    deliver(*w, failed);
    w->monitor().onSample();
    EXPECT_EQ(w->valueLabel(0)->text(), QStringLiteral("12.34 Hz"));
    EXPECT_FALSE(w->valueLabel(0)->isEnabled());
    sample(*w, 1500);
    EXPECT_EQ(w->valueLabel(0)->text(), QStringLiteral("15.00 Hz"));
    EXPECT_TRUE(w->valueLabel(0)->isEnabled());
}

// A refill would close a list the user has open.
TEST_F(ScopeWindowTest, SamplesLeaveTheStationAndItemListsAlone) {
    auto w = window();
    QComboBox* stations = w->stationList(0);
    ASSERT_EQ(stations->count(), 1);
    int refills = 0;
    QObject::connect(stations->model(), &QAbstractItemModel::rowsRemoved, [&] { ++refills; });
    QObject::connect(stations->model(), &QAbstractItemModel::modelReset, [&] { ++refills; });
    w->monitor().startMonitoring();
    for (int raw : {1000, 2000, 3000}) sample(*w, raw);
    EXPECT_EQ(refills, 0);
    EXPECT_EQ(stations->currentIndex(), 0);
    // A drive that comes changes the list.
    DriveRecord& r = records_[4];
    r.connected = r.supported = 1;
    r.seriesCode = 4;
    r.version = 0x0100;
    w->monitor().refreshStations();
    EXPECT_EQ(stations->count(), 2);
    EXPECT_EQ(stations->currentIndex(), 0);
}

TEST_F(ScopeWindowTest, TheTimeColumnBoxIsStoredAndLockedWhileRecording) {
    auto w = window();
    EXPECT_FALSE(w->recordTimeBox()->isChecked());
    w->recordTimeBox()->click();
    EXPECT_EQ(w->monitor().settings().recordTimeColumn, 1);
    w->monitor().startMonitoring();
    w->monitor().recorder().setPath(dir_.filePath("rec.csv").toStdString());
    w->monitor().recorder().start();
    EXPECT_FALSE(w->recordTimeBox()->isEnabled());
    w->monitor().recorder().stop();
    EXPECT_TRUE(w->recordTimeBox()->isEnabled());
    w.reset();
    EXPECT_EQ(store_.getInt(kScopeSection, "Record Time Column", 0), 1);
}

TEST_F(ScopeWindowTest, TheTimeAxisIsEmptyBeforeTheFirstPointAndTracesKeepOffTheFrame) {
    auto w = window();
    QCPAxis* x = w->chart().plot()->xAxis;
    w->chart().plot()->replot();
    EXPECT_FALSE(x->tickLabels()) << "no time to show yet";
    w->monitor().startMonitoring();
    sample(*w, 0);
    sample(*w, 56500);
    w->chart().plot()->replot();
    EXPECT_TRUE(x->tickLabels());
    EXPECT_LT(w->chart().yMin(), 0.0);
    EXPECT_GT(w->chart().yMax(), 565.0);
    EXPECT_LT(w->chart().yMax(), 600.0);
}

// Printed at a printer's resolution, the chart, its labels and legend stay on the page: no
// mark touches the page's edges, and the legend names the station and item.
TEST_F(ScopeWindowTest, PrintingKeepsEverythingInsideThePage) {
    auto w = window();
    w->resize(900, 500);
    w->monitor().startMonitoring();
    sample(*w, 3000);
    sample(*w, 3500);
    w->monitor().stopMonitoring();
    QImage page(2200, 1500, QImage::Format_RGB32);
    page.setDotsPerMeterX(47244);  // 1200 dpi
    page.setDotsPerMeterY(47244);
    page.fill(Qt::white);
    ASSERT_TRUE(w->chart().renderForPrint(&page, QStringLiteral("Tuesday, December 08, 2026")));
    auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 128; };
    int edgeMarks = 0;
    for (int x = 0; x < page.width(); ++x) edgeMarks += dark(x, 0) + dark(x, page.height() - 1);
    for (int y = 0; y < page.height(); ++y) edgeMarks += dark(0, y) + dark(page.width() - 1, y);
    EXPECT_EQ(edgeMarks, 0);
    int marks = 0;
    for (int y = 0; y < page.height(); y += 4)
        for (int x = 0; x < page.width(); x += 4) marks += dark(x, y);
    EXPECT_GT(marks, 100) << "something was printed";
    EXPECT_TRUE(w->chart().plot()->graph(0)->name().startsWith(QStringLiteral("1:")));
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
