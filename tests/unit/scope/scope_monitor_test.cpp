// The graph monitor's sequences: registrations, poll results, sampling, the trigger, the
// record, graph watch, resuming, scope files and snapshots.
#include "scope/scope_monitor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"
#include "host/tool_services.h"
#include "paradb/drive_record.h"
#include "paradb/monitor_list.h"
#include "scope/memory_chart.h"
#include "scope/sco_file.h"
#include "support/fake_port.h"
#include "support/link_verdicts.h"

namespace korvane::scope {
namespace {

namespace fs = std::filesystem;
using Pair = std::pair<int, int>;

class FakeHost : public ToolHost {
public:
    bool graphWatchActive() const override { return active; }
    void setGraphWatchActive(bool a) override {
        active = a;
        ++changes;
    }
    void deviceNameChanged(int) override {}
    void openToolWindow(int, int) override {}
    int freeOfflineKey() const override { return -1; }
    void toolFrameClosing(const ToolFrame*) override {}
    bool active = false;
    int changes = 0;
};

class FakeTimers : public ScopeTimers {
public:
    void start(ScopeClock c, int periodMs) override { running[c] = periodMs; }
    void stop(ScopeClock c) override { running.erase(c); }
    std::map<ScopeClock, int> running;
};

// Pictures land as small files; `fail` makes the next ones fail.
class PictureChart : public MemoryChart {
public:
    bool saveImage(const std::string& path, ImageFormat format) override {
        if (fail) return false;
        std::ofstream(path) << "picture " << static_cast<int>(format);
        return true;
    }
    bool fail = false;
};

int itemIndexOf(int series, int version, int address) {
    std::vector<MonitorItem> items;
    BuildMonitorList(series, version, kMonitorListAll, items);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].address == address) return static_cast<int>(i);
    return -1;
}

DriveReply wordsReply(int station, std::vector<Pair> words, int error = kErrNone) {
    DriveReply r;
    r.station = station;
    r.command = words.size() > 1 ? 'Y' : 'R';
    r.errorCode = error;
    r.wordCount = static_cast<int>(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        r.addresses[i] = words[i].first;
        r.values[i] = words[i].second;
    }
    return r;
}

// Y columns alike, gaps included.
bool sameYs(const ScoFile& a, const ScoFile& b) {
    for (std::size_t i = 0; i < a.y.size(); ++i) {
        if (a.y[i].size() != b.y[i].size()) return false;
        for (std::size_t p = 0; p < a.y[i].size(); ++p) {
            const double x = a.y[i][p], y = b.y[i][p];
            if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
        }
    }
    return true;
}

class ScopeMonitorTest : public ::testing::Test {
protected:
    ScopeMonitorTest()
        : line_(std::make_shared<test::FakeLine>()),
          link_(executor_, test::MakeFakePortFactory(executor_, line_)),
          clock_(LocalTime{2026, 12, 8, 10, 0, 0, 0}) {
        dir_ = fs::temp_directory_path() /
               ("korvane_scope_monitor_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Temp");
        services_ = std::make_unique<ToolServices>(ToolServices{link_, records_, store_, prompter_,
                                                                clock_, executor_, host_,
                                                                MakeAppDirectories(dir_.string())});
    }
    ~ScopeMonitorTest() override {
        monitor_.reset();
        fs::remove_all(dir_);
    }

    void connect(int station, int series, int version) {
        DriveRecord& r = records_[station];
        r.connected = r.supported = 1;
        r.seriesCode = series;
        r.version = version;
    }
    void channel(int ch, int station, int address) {
        const DriveRecord& r = records_[station];
        store_.setInt(kScopeSection, strprintf("Ch%d-On", ch), 1);
        store_.setInt(kScopeSection, strprintf("Ch%d-ID", ch), station);
        store_.setInt(kScopeSection, strprintf("Ch%d-Addr", ch), address);
        store_.setInt(kScopeSection, strprintf("Ch%d-AddrIndex", ch),
                      itemIndexOf(r.seriesCode, r.version, address));
    }
    ScopeMonitor& open() {
        monitor_ = std::make_unique<ScopeMonitor>(*services_, chart_, timers_);
        monitor_->channelSet().setFreshness(verdicts_.query());
        monitor_->open();
        return *monitor_;
    }
    // A poll result as the link hands it on, its verdicts taken first.
    void deliver(int station, const DriveReply& reply) {
        verdicts_.note(station, reply);
        monitor_->channelSet().OnDriveMonitor(station, reply);
    }
    // The scan clock, 100 ms after the last one.
    void sample() {
        verdicts_.advance(100);
        monitor_->onSample();
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& e : prompter_.entries()) texts.push_back(e.text);
        return texts;
    }
    std::string csv() const { return (dir_ / "rec.csv").string(); }

    QueueExecutor executor_;
    std::shared_ptr<test::FakeLine> line_;
    CDriveLink link_;
    DriveRecords records_;
    MemorySettingsStore store_;
    RecordingPrompter prompter_;
    FixedClock clock_;
    FakeHost host_;
    std::unique_ptr<ToolServices> services_;
    PictureChart chart_;
    FakeTimers timers_;
    fs::path dir_;
    test::LinkVerdicts verdicts_;
    std::unique_ptr<ScopeMonitor> monitor_;
};

TEST_F(ScopeMonitorTest, StartingWithNoChannelOnSaysSoAndStaysStopped) {
    connect(1, 4, 0x0100);
    ScopeMonitor& m = open();
    m.startMonitoring();
    EXPECT_EQ(messages(), std::vector<std::string>{kMsgNoChannel});
    EXPECT_FALSE(m.monitoring());
    EXPECT_FALSE(m.recorder().recording());
    EXPECT_FALSE(m.trigger().armed());
    EXPECT_TRUE(timers_.running.empty());
}

TEST_F(ScopeMonitorTest, TwoChannelsOnOneAddressAreEachCountedAndWithdrawnOnce) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    channel(1, 1, 10);
    ScopeMonitor& m = open();
    m.startMonitoring();
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{1, 10}, {1, 10}}));
    m.setChannelOn(1, false);
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{1, 10}}));
    m.stopMonitoring();
    EXPECT_TRUE(m.channelSet().registrations().empty());
    EXPECT_EQ(chart_.mode(), ChartMode::kCursor);
}

TEST_F(ScopeMonitorTest, AFinalPollFailureZeroesTheStationAndRegistersAgainWhileConnected) {
    connect(1, 4, 0x0100);
    connect(2, 4, 0x0100);
    channel(0, 1, 10);
    channel(1, 2, 9);
    ScopeMonitor& m = open();
    m.startMonitoring();
    deliver(1, wordsReply(1, {{10, 5000}}));
    deliver(2, wordsReply(2, {{9, 25}}));
    deliver(1, wordsReply(1, {}, kErrRetriesExhausted));
    EXPECT_EQ(m.channels()[0].value, 0.0);
    EXPECT_EQ(m.channels()[1].value, 2.5);
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{2, 9}, {1, 10}}));
    deliver(1, wordsReply(1, {{10, 4000}}));
    EXPECT_EQ(m.channels()[0].value, 40.0);

    // A drive that is gone is not asked again.
    records_[2].reset();
    deliver(2, wordsReply(2, {}, kErrRetriesExhausted));
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{1, 10}}));
}

TEST_F(ScopeMonitorTest, NewerJuniperTripChannelShowsATripInEitherWord) {
    connect(3, 10, 21);
    channel(0, 3, 15);
    ScopeMonitor& m = open();
    m.startMonitoring();
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{3, 15}, {3, 29}}));
    deliver(3, wordsReply(3, {{15, 0}, {29, 0x0002}}));
    EXPECT_EQ(m.channels()[0].value, 1.0);
    deliver(3, wordsReply(3, {{15, 0x0100}, {29, 0}}));
    EXPECT_EQ(m.channels()[0].value, 1.0);
    deliver(3, wordsReply(3, {{15, 0}, {29, 0}}));
    EXPECT_EQ(m.channels()[0].value, 0.0);
}

TEST_F(ScopeMonitorTest, OlderJuniperRegistersOnlyTheFirstTripWord) {
    connect(3, 10, 20);
    channel(0, 3, 15);
    ScopeMonitor& m = open();
    m.startMonitoring();
    EXPECT_EQ(m.channelSet().registrations(), (std::vector<Pair>{{3, 15}}));
}

TEST_F(ScopeMonitorTest, SamplesPlotScaledValuesAndTheRisingTriggerStopsTenTicksLater) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    store_.setInt(kScopeSection, "Ch0-Offset", 5);  // +10
    store_.setInt(kScopeSection, "Ch0-Div", 4);     // 0.5
    store_.setString(kScopeSection, "Trigger Level", " 50 ");
    store_.setInt(kScopeSection, "Snap Shot", 1);
    ScopeMonitor& m = open();
    m.trigger().setSnapshotPath((dir_ / "shot.jpg").string(), 2);
    m.startMonitoring();  // the first sample is taken at once
    EXPECT_EQ(timers_.running[ScopeClock::kScan], 1000);
    m.trigger().arm();
    ASSERT_TRUE(m.trigger().armed());
    deliver(1, wordsReply(1, {{10, 4000}}));
    sample();  // primes at 40
    deliver(1, wordsReply(1, {{10, 6000}}));
    sample();  // 60: fires
    const int firedAt = chart_.pointCount() - 1;
    EXPECT_TRUE(m.trigger().triggered());
    EXPECT_TRUE(m.trigger().led());
    EXPECT_EQ(m.statusText(), kStatusTriggered);
    EXPECT_DOUBLE_EQ(chart_.y(0, firedAt), 60 / 0.5 + 10);
    EXPECT_EQ(m.channels()[0].valueLabel, "60.00 Hz");
    for (int i = 0; i < 9; ++i) sample();
    EXPECT_TRUE(m.monitoring());
    sample();
    EXPECT_FALSE(m.monitoring());
    EXPECT_EQ(chart_.pointCount() - 1, firedAt + 10);
    EXPECT_EQ(chart_.cursorPosition(), firedAt);
    EXPECT_EQ(chart_.mode(), ChartMode::kCursor);
    EXPECT_EQ(m.channels()[0].valueLabel, "60.00 Hz");
    EXPECT_TRUE(m.trigger().triggered());
    EXPECT_TRUE(timers_.running.empty());
    EXPECT_TRUE(fs::exists(dir_ / "shot.jpg"));
    EXPECT_FALSE(fs::exists(dir_ / "shot.jpg.part"));
}

TEST_F(ScopeMonitorTest, AFailedSnapshotKeepsThePreviousPictureAndIsReported) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    store_.setString(kScopeSection, "Trigger Level", "1");
    store_.setInt(kScopeSection, "Snap Shot", 1);
    std::ofstream(dir_ / "shot.bmp") << "old";
    store_.setString(kScopeSection, "SnapShot Path", (dir_ / "shot.bmp").string());
    ScopeMonitor& m = open();
    chart_.fail = true;
    m.startMonitoring();
    m.trigger().arm();
    deliver(1, wordsReply(1, {{10, 0}}));
    sample();  // primes at 0
    deliver(1, wordsReply(1, {{10, 500}}));
    for (int i = 0; i < 11; ++i) sample();
    ASSERT_FALSE(m.monitoring());
    EXPECT_EQ(m.statusText(), kMsgSnapshotFailed);
    EXPECT_TRUE(m.statusIsWarning());
    EXPECT_EQ(messages().back(), kMsgSnapshotFailed);
    std::ifstream in(dir_ / "shot.bmp");
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "old");
}

TEST_F(ScopeMonitorTest, ArmingRefusesBadLevelsAndDeadChannelsAndKeepsBitLevelsAsTyped) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    channel(1, 1, 15);
    ScopeMonitor& m = open();
    m.startMonitoring();
    for (const char* bad : {"", "  ", "fifty", "5 0"}) {
        prompter_.clear();
        m.trigger().setLevelText(bad);
        m.trigger().arm();
        EXPECT_FALSE(m.trigger().armed()) << bad;
        EXPECT_EQ(messages(), std::vector<std::string>{kMsgTriggerLevel}) << bad;
    }
    prompter_.clear();
    m.trigger().setLevelText("1");
    m.trigger().setChannel(2);
    m.trigger().arm();
    EXPECT_FALSE(m.trigger().armed());
    EXPECT_EQ(messages(), std::vector<std::string>{kMsgTriggerChannel});

    m.trigger().setChannel(1);
    for (const char* typed : {"1.2", "0.5"}) {
        m.trigger().setLevelText(typed);
        m.trigger().arm();
        ASSERT_TRUE(m.trigger().armed());
        EXPECT_EQ(m.settings().triggerLevel, typed);
        if (std::string(typed) == "1.2") m.trigger().disarm();
    }
    // The trip bit rising through 0.5 fires.
    deliver(1, wordsReply(1, {{15, 0}}));
    sample();
    deliver(1, wordsReply(1, {{15, 0x0100}}));
    sample();
    EXPECT_TRUE(m.trigger().triggered());
}

TEST_F(ScopeMonitorTest, RecordingReplacesOnStartAndAResumedRunAppends) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    std::ofstream(csv()) << "earlier\r\n";
    store_.setString(kScopeSection, "Record Path", csv());
    ScopeMonitor& m = open();
    m.startMonitoring();
    deliver(1, wordsReply(1, {{10, 1234}}));
    m.recorder().start();  // writes one line at once
    EXPECT_EQ(timers_.running[ScopeClock::kRecord], 5000);
    EXPECT_EQ(timers_.running[ScopeClock::kBlink], 500);
    EXPECT_EQ(m.statusText(), kStatusRecording);
    m.onBlink();
    EXPECT_TRUE(m.recorder().led());
    m.onRecord();
    EXPECT_EQ(m.recorder().lines(), 2);
    m.close();  // saved as running
    monitor_.reset();

    ScopeMonitor& again = open();
    EXPECT_TRUE(again.monitoring());
    EXPECT_TRUE(again.recorder().recording());
    again.close();
    std::ifstream in(csv(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The resumed run has received nothing yet when it writes its first line.
    EXPECT_EQ(text,
              "12.34, 0.00, 0.00, 0.00\r\n12.34, 0.00, 0.00, 0.00\r\n"
              ", 0.00, 0.00, 0.00\r\n");
}

// A drive that stops answering: from its first failed poll the chart leaves a gap, the record
// an empty field and the label keeps its last value dimmed, until a good reply comes back.
TEST_F(ScopeMonitorTest, AValueThatIsNotLiveIsNeitherPlottedNorRecorded) {
    connect(1, 4, 0x0100);
    connect(2, 4, 0x0100);
    channel(0, 1, 10);
    channel(1, 2, 10);
    ScopeMonitor& m = open();
    m.recorder().setPath(csv());
    m.startMonitoring();
    auto both = [&](int first) {
        deliver(1, wordsReply(1, {{10, first}}));
        deliver(2, wordsReply(2, {{10, 700}}));
    };
    both(1234);
    m.recorder().start();
    sample();
    deliver(1, wordsReply(1, {{10, 0}}, kErrTimeout));
    deliver(2, wordsReply(2, {{10, 700}}));
    m.onRecord();
    sample();
    const int gap = chart_.pointCount() - 1;
    EXPECT_TRUE(std::isnan(chart_.y(0, gap)));
    EXPECT_EQ(chart_.y(1, gap), 7.0);
    EXPECT_EQ(m.channels()[0].valueLabel, "12.34 Hz");
    EXPECT_TRUE(m.channels()[0].valueStale);
    EXPECT_FALSE(m.channels()[1].valueStale);
    deliver(1, wordsReply(1, {}, kErrRetriesExhausted));
    deliver(2, wordsReply(2, {{10, 700}}));
    m.onRecord();
    sample();
    EXPECT_TRUE(std::isnan(chart_.y(0, chart_.pointCount() - 1))) << "no made-up 0";
    both(1500);
    sample();
    EXPECT_EQ(chart_.y(0, chart_.pointCount() - 1), 15.0);
    EXPECT_FALSE(m.channels()[0].valueStale);
    EXPECT_EQ(m.channels()[0].valueLabel, "15.00 Hz");
    // Two periods without a word from station 2 and its value is not live either.
    deliver(1, wordsReply(1, {{10, 1500}}));
    sample();
    deliver(1, wordsReply(1, {{10, 1500}}));
    sample();
    EXPECT_TRUE(m.channels()[1].valueStale);
    m.onRecord();
    m.recorder().stop();
    std::ifstream in(csv(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text,
              "12.34, 7.00, 0.00, 0.00\r\n, 7.00, 0.00, 0.00\r\n, 7.00, 0.00, 0.00\r\n"
              "15.00, , 0.00, 0.00\r\n");
}

TEST_F(ScopeMonitorTest, EveryStartPlotsOnlyReceivedValues) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    for (int run = 0; run < 2; ++run) {
        deliver(1, wordsReply(1, {{10, 5000}}));  // before the start: not this run's
        m.startMonitoring();
        ASSERT_EQ(chart_.pointCount(), 1);
        EXPECT_TRUE(std::isnan(chart_.y(0, 0))) << "no first point at 0";
        EXPECT_EQ(chart_.y(1, 0), 0.0) << "a channel that is off stays on its line";
        deliver(1, wordsReply(1, {{10, 5000}}));
        sample();
        EXPECT_EQ(chart_.y(0, 1), 50.0);
        m.stopMonitoring();
    }
}

TEST_F(ScopeMonitorTest, TheTimeColumnIsStoredAndComesFirstOnlyWhenAsked) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    m.recorder().setPath(csv());
    EXPECT_EQ(m.settings().recordTimeColumn, 0);
    m.recorder().setTimeColumn(true);
    clock_.set({2026, 12, 8, 10, 0, 1, 500});
    m.startMonitoring();
    deliver(1, wordsReply(1, {{10, 100}}));
    m.recorder().start();
    m.recorder().setTimeColumn(false);  // not while recording
    m.close();
    EXPECT_EQ(store_.getInt(kScopeSection, "Record Time Column", -1), 1);
    std::ifstream in(csv(), std::ios::binary);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "2026-12-08T10:00:01.500, 1.00, 0.00, 0.00, 0.00\r");
}

TEST_F(ScopeMonitorTest, TheLegendNamesTheStation) {
    connect(3, 4, 0x0100);
    connect(5, 4, 0x0100);
    channel(0, 3, 10);
    channel(1, 5, 10);
    open();
    std::vector<MonitorItem> items;
    BuildMonitorList(4, 0x0100, kMonitorListAll, items);
    const std::string name = ScopeChannels::ShownName(items[itemIndexOf(4, 0x0100, 10)].name);
    EXPECT_EQ(chart_.legend(0), "3:" + name);
    EXPECT_EQ(chart_.legend(1), "5:" + name);
}

TEST_F(ScopeMonitorTest, ARecordFileThatCannotBeMadeIsReported) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    m.recorder().setPath((dir_ / "no" / "such" / "dir.csv").string());
    m.startMonitoring();
    m.recorder().start();
    EXPECT_FALSE(m.recorder().recording());
    EXPECT_EQ(messages(), std::vector<std::string>{kMsgRecordOpen});
}

TEST_F(ScopeMonitorTest, GraphWatchIsRaisedOnlyWhileMonitoringWithTheOption) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    prompter_.scriptAnswers({false});
    m.toggleGraphWatch();
    EXPECT_FALSE(m.graphWatchOption());
    m.toggleGraphWatch();  // the default answer is yes
    EXPECT_TRUE(m.graphWatchOption());
    EXPECT_FALSE(host_.active);
    m.startMonitoring();
    EXPECT_TRUE(host_.active);
    m.toggleGraphWatch();
    EXPECT_FALSE(host_.active);
    m.toggleGraphWatch();
    EXPECT_TRUE(host_.active);
    m.stopMonitoring();
    EXPECT_FALSE(host_.active);
    EXPECT_EQ(host_.changes, 4);
}

TEST_F(ScopeMonitorTest, GraphWatchPaneFollowsTheProgramWideFlag) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    EXPECT_EQ(m.graphWatchText(), "");
    m.toggleGraphWatch();
    EXPECT_EQ(m.graphWatchText(), "");  // the option alone is not the mode
    m.startMonitoring();
    EXPECT_EQ(m.graphWatchText(), "グラフ警戒モード");
    m.stopMonitoring();
    EXPECT_EQ(m.graphWatchText(), "");
}

TEST_F(ScopeMonitorTest, TheChartsCursorChannelReachesTheListOnlyWhenBrowsing) {
    struct Row {
        const char* what;
        bool monitoring;
        ChartMode mode;
        int channel;
        int expected;
    };
    const Row rows[] = {
        {"cursor mode takes it", false, ChartMode::kCursor, 2, 2},
        {"the last channel", false, ChartMode::kCursor, 3, 3},
        {"zoom mode ignores it", false, ChartMode::kZoom, 2, 0},
        {"normal mode ignores it", false, ChartMode::kNormal, 2, 0},
        {"monitoring ignores it", true, ChartMode::kCursor, 2, 0},
        {"out of range is ignored", false, ChartMode::kCursor, 4, 0},
        {"negative is ignored", false, ChartMode::kCursor, -1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        store_ = MemorySettingsStore();
        connect(1, 4, 0x0100);
        channel(0, 1, 10);
        ScopeMonitor& m = open();
        m.sampler().setChartMode(row.mode);
        if (row.monitoring) m.startMonitoring();
        chart_.setMode(row.mode);
        m.sampler().onCursorChannelChanged(row.channel);
        EXPECT_EQ(m.settings().currentCursor, row.expected);
        m.close();
        EXPECT_EQ(store_.getInt(kScopeSection, "Current Cursor", -1), row.expected);
    }
}

TEST_F(ScopeMonitorTest, OnlyTheFirstOpeningFitsTheFrameToTheView) {
    connect(1, 4, 0x0100);
    EXPECT_TRUE(open().fitFrameToView());
    monitor_->close();
    EXPECT_EQ(store_.getInt(kScopeSection, "First", -1), 0);
    EXPECT_FALSE(open().fitFrameToView());
    monitor_->close();
    store_.setInt(kScopeSection, "First", 7);  // any non-zero word is set
    EXPECT_TRUE(open().fitFrameToView());
}

TEST_F(ScopeMonitorTest, ADisconnectedDriveResetsItsChannelsAndTheLastOneStopsMonitoring) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    m.startMonitoring();
    records_[1].reset();
    m.refreshStations();
    EXPECT_EQ(m.channels()[0].on, 0);
    EXPECT_EQ(m.channels()[0].address, kNoAddress);
    EXPECT_FALSE(m.monitoring());
    EXPECT_TRUE(m.channelSet().registrations().empty());
}

TEST_F(ScopeMonitorTest, AnItemIndexBeyondTheListTakesTheFirstItem) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    store_.setInt(kScopeSection, "Ch0-AddrIndex", 999);
    ScopeMonitor& m = open();
    std::vector<MonitorItem> items;
    BuildMonitorList(4, 0x0100, kMonitorListAll, items);
    EXPECT_EQ(m.channels()[0].itemIndex, 0);
    EXPECT_EQ(m.channels()[0].address, items.front().address);
    EXPECT_TRUE(m.channelSet().isLive(0));
}

TEST_F(ScopeMonitorTest, SavedFileReopensWithTheSamePointsAndCursorReadings) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    store_.setInt(kScopeSection, "Ch0-Offset", 5);  // +10
    store_.setInt(kScopeSection, "Ch0-Div", 4);     // 0.5
    ScopeMonitor& m = open();
    m.startMonitoring();
    deliver(1, wordsReply(1, {{10, 250}}));
    clock_.set({2026, 12, 8, 10, 0, 1, 500});
    sample();
    m.stopMonitoring();
    const std::string path = (dir_ / "run.sco").string();
    ASSERT_TRUE(m.document().save(path));
    const ScoFile saved = m.document().snapshot();
    monitor_.reset();

    // Reopened with no drive connected: the file's own setup shows the readings.
    records_[1].reset();
    chart_.clearData();
    ScopeMonitor& viewer = open();
    ASSERT_TRUE(viewer.document().open(path));
    EXPECT_EQ(chart_.pointCount(), 2);
    EXPECT_EQ(viewer.document().snapshot().stamps, saved.stamps);
    EXPECT_TRUE(sameYs(viewer.document().snapshot(), saved));
    EXPECT_TRUE(std::isnan(saved.y[0][0])) << "the start's sample had nothing received";
    EXPECT_EQ(chart_.mode(), ChartMode::kCursor);
    EXPECT_EQ(chart_.stamp(1), OleDateFromLocal({2026, 12, 8, 10, 0, 1, 500}));
    chart_.setCursorPosition(1);
    viewer.sampler().onCursorMoved();
    // (15 - 10) x 0.5
    EXPECT_EQ(viewer.channels()[0].valueLabel, "2.50 Hz");
    EXPECT_EQ(viewer.document().snapshot().channels[0].series, 4);
}

// A file opened while drives are connected shows its channels as it stored them, also those of
// a drive that is not there, until monitoring starts.
TEST_F(ScopeMonitorTest, AnOpenedFileKeepsItsChannelsUntilMonitoringStarts) {
    connect(1, 4, 0x0100);
    ScoFile file;
    file.channels[0] = {1, 7, 4, 0x0100, 10, itemIndexOf(4, 0x0100, 10), 8, 5};
    file.channels[1] = {1, 1, 4, 0x0100, 10, itemIndexOf(4, 0x0100, 10), 8, 5};
    file.stamps = {OleDateFromLocal({2026, 12, 8, 9, 0, 0, 0})};
    file.y = {std::vector<double>{12.5}, {30}, {0}, {0}};
    const std::string path = (dir_ / "old.sco").string();
    ASSERT_TRUE(WriteScoFile(path, file));
    ScopeMonitor& m = open();
    ASSERT_TRUE(m.document().open(path));
    for (auto refresh : {false, true}) {
        if (refresh) m.refreshStations();  // a drive came or went
        EXPECT_EQ(m.channels()[0].on, 1);
        EXPECT_EQ(m.channels()[0].station, 7);
        EXPECT_TRUE(chart_.visible(0));
        EXPECT_EQ(chart_.legend(0).substr(0, 2), "7:");
    }
    chart_.setCursorPosition(0);
    m.sampler().onCursorMoved();
    EXPECT_EQ(m.channels()[0].valueLabel, "12.50 Hz");
    EXPECT_EQ(m.document().snapshot().channels[0].station, 7);
    m.startMonitoring();
    EXPECT_EQ(m.channels()[0].on, 0) << "station 7 is not connected";
    EXPECT_EQ(m.channels()[1].on, 1);
    EXPECT_TRUE(m.monitoring());
}

TEST_F(ScopeMonitorTest, AnOpenedFileShowsNoEarlierTriggerAndANewRunDropsItsName) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    store_.setString(kScopeSection, "Trigger Level", "10");
    ScopeMonitor& m = open();
    m.startMonitoring();
    m.trigger().arm();
    for (int raw : {0, 2000}) {
        deliver(1, wordsReply(1, {{10, raw}}));
        sample();
    }
    ASSERT_TRUE(m.trigger().triggered());
    m.stopMonitoring();
    const std::string path = (dir_ / "run.sco").string();
    ASSERT_TRUE(m.document().save(path));
    EXPECT_EQ(m.document().titleText(), std::string(kCaption) + " - run.sco");
    ASSERT_TRUE(m.document().open(path));
    EXPECT_EQ(m.statusText(), "");
    EXPECT_FALSE(m.statusIsWarning());
    EXPECT_FALSE(m.trigger().led());
    m.startMonitoring();
    EXPECT_EQ(m.document().titleText(), kCaption);
    EXPECT_EQ(m.document().path(), "") << "a save must ask for a name, not overwrite the file";
}

TEST_F(ScopeMonitorTest, ADamagedFileLeavesTheOpenChartAsItWas) {
    connect(1, 4, 0x0100);
    ScopeMonitor& m = open();
    chart_.appendPoint(1.0);
    chart_.setY(0, 0, 7.0);
    const std::string path = (dir_ / "bad.sco").string();
    std::ofstream(path, std::ios::binary) << "\xF1\x98\x00\x00 short";
    EXPECT_FALSE(m.document().open(path));
    EXPECT_EQ(messages(), std::vector<std::string>{kMsgScoOpenFailed});
    EXPECT_EQ(chart_.pointCount(), 1);
    EXPECT_EQ(chart_.y(0, 0), 7.0);
}

TEST_F(ScopeMonitorTest, ElapsedClockShowsHoursModuloADay) {
    connect(1, 4, 0x0100);
    channel(0, 1, 10);
    ScopeMonitor& m = open();
    m.startMonitoring();
    EXPECT_EQ(m.sampler().elapsedText(), "00:00:00");
    for (int i = 0; i < 25 * 3600 + 61; ++i) m.onSecond();
    EXPECT_EQ(m.sampler().elapsedText(), "01:01:01");
}

}  // namespace
}  // namespace korvane::scope
