#include "app/main_controller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "app/demo_mode.h"
#include "app/port_error_gate.h"
#include "comm/tk485_codec.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "monitor/device_name.h"
#include "sim/sim_engine.h"
#include "support/fake_port.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// The controller on a fake line whose replies come from the simulated drives, answered at once.
class MainControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string made = korvane::testing::MakeTempDirectory("korvane-unit-");
        ASSERT_FALSE(made.empty());
        root_ = made;
        dirs_ = PrepareAppDirectories(root_.string());
        store_.setInt(kSettingsSectionMain, "Log Enable", 0);
        line_->responder = [this](const std::string& frame) -> std::optional<std::string> {
            if (refuse_ && refuse_(frame)) {
                const int station = std::stoi(frame.substr(1, 2), nullptr, 16);
                return tk485::BuildNakReply(station, frame[3], "IF");
            }
            nowUs_ += 1000;
            engine_.receive(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(),
                            nowUs_);
            nowUs_ += 1000000;
            sim::Bytes reply = engine_.takeDue(nowUs_);
            if (reply.empty()) return std::nullopt;
            return std::string(reply.begin(), reply.end());
        };
    }

    void TearDown() override {
        controller_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    MainController& start() {
        controller_ = std::make_unique<MainController>(
            MainEnvironment{executor_,
                            store_,
                            prompter_,
                            clock_,
                            test::MakeFakePortFactory(executor_, line_),
                            dirs_,
                            {"ttyS0", "SIM"}});
        controller_->Start();
        return *controller_;
    }

    void addDrives(int first, int last) {
        for (int id = first; id <= last; ++id) engine_.addDrive({.station = id, .series = 4});
    }

public:
    bool run(const std::function<bool()>& done) { return runUntil(done); }

protected:
    bool runUntil(const std::function<bool()>& done) {
        for (int tick = 0; tick < 2000; ++tick) {
            executor_.drain();
            if (done()) return true;
            controller_->OnLinkTick();
        }
        return false;
    }

    fs::path root_;
    AppDirectories dirs_;
    MemorySettingsStore store_;
    QueueExecutor executor_;
    RecordingPrompter prompter_;
    FixedClock clock_{LocalTime{2024, 5, 6, 7, 8, 9, 0}};
    std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
    sim::SimEngine engine_{sim::SimConfig{}};
    std::int64_t nowUs_ = 0;
    // Frames the drives answer with a refusal instead of the simulated reply.
    std::function<bool(const std::string&)> refuse_;
    std::unique_ptr<MainController> controller_;
};

TEST_F(MainControllerTest, CommandsFollowScanSelectionGraphWatchAndLogging) {
    addDrives(2, 2);
    MainController& c = start();
    const std::vector<int> commands = {
        kCmdConnect,     kCmdStopScan, kCmdRefresh,      kCmdReconnect,     kCmdDisconnect,
        kCmdInformation, kCmdKeypad,   kCmdOnlineEditor, kCmdOfflineEditor, kCmdGraphMonitor,
        kCmdStartLog,    kCmdStopLog,  kCmdPortSetup,
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<int> enabled;
    };
    const std::vector<Step> steps = {
        {"idle, empty list",
         [] {},
         {kCmdConnect, kCmdOfflineEditor, kCmdGraphMonitor, kCmdStartLog, kCmdPortSetup}},
        {"scanning",
         [&] { c.ScanIds({2}); },
         {kCmdStopScan, kCmdOfflineEditor, kCmdGraphMonitor, kCmdStartLog, kCmdPortSetup}},
        {"drive 2 found and selected",
         [&] { ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); })); },
         {kCmdConnect, kCmdRefresh, kCmdReconnect, kCmdDisconnect, kCmdInformation, kCmdKeypad,
          kCmdOnlineEditor, kCmdOfflineEditor, kCmdGraphMonitor, kCmdStartLog, kCmdPortSetup}},
        {"graph watch mode",
         [&] { c.SetGraphWatchActive(true); },
         {kCmdConnect, kCmdRefresh, kCmdReconnect, kCmdInformation, kCmdOfflineEditor,
          kCmdGraphMonitor, kCmdStartLog, kCmdPortSetup}},
        {"logging",
         [&] { c.StartEventLog(); },
         {kCmdConnect, kCmdRefresh, kCmdReconnect, kCmdInformation, kCmdOfflineEditor,
          kCmdGraphMonitor, kCmdStopLog, kCmdPortSetup}},
        {"no row selected",
         [&] { c.SelectDriveRow(-1); },
         {kCmdConnect, kCmdRefresh, kCmdOfflineEditor, kCmdGraphMonitor, kCmdStopLog,
          kCmdPortSetup}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        for (int command : commands) {
            const bool expected = std::count(step.enabled.begin(), step.enabled.end(), command);
            EXPECT_EQ(c.CommandEnabled(command), expected) << command;
        }
    }
}

TEST_F(MainControllerTest, ToolWindowCommandsAnswerOnlyWhenEnabled) {
    addDrives(3, 3);
    MainController& c = start();
    c.ScanIds({3});
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    prompter_.clear();

    c.SetGraphWatchActive(true);
    c.OpenToolWindow(kCmdKeypad);
    c.OpenToolWindow(kCmdOnlineEditor);
    EXPECT_TRUE(prompter_.entries().empty());

    c.OpenToolWindow(kCmdGraphMonitor);
    ASSERT_EQ(prompter_.entries().size(), 1u);
    EXPECT_EQ(prompter_.entries()[0].kind, "info");
    EXPECT_EQ(prompter_.entries()[0].text, kToolWindowUnavailableText);
}

// Windows as the UI would make them, recording what reaches them.
class FakeToolFrame : public ToolFrame {
public:
    FakeToolFrame(ToolFrameRegistry& registry, int kind, int key)
        : kind(kind), key(key), registry_(registry) {}
    void activate() override { ++activations; }
    void requestClose() override { registry_.frameClosing(this); }
    std::vector<std::uint8_t> savePlacement() const override { return {}; }
    void restorePlacement(const std::vector<std::uint8_t>&) override {}
    void onDriveEvent(const DriveEvent& e) override { events.push_back(e); }
    void retarget(int station) override { retargets.push_back(station); }

    int kind;
    int key;
    int activations = 0;
    std::vector<DriveEvent> events;
    std::vector<int> retargets;

private:
    ToolFrameRegistry& registry_;
};

class FakeToolFactory : public ToolWindowFactory {
public:
    explicit FakeToolFactory(MainController& c) : controller_(c) {}
    bool provides(int kind) const override { return kinds.count(kind) != 0; }
    ToolFrame* create(int kind, int key) override {
        requests.emplace_back(kind, key);
        if (cancel) return nullptr;
        made.push_back(std::make_unique<FakeToolFrame>(controller_.ToolFrames(), kind, key));
        return made.back().get();
    }

    std::set<int> kinds{kKindInformation, kKindKeypad, kKindParaEditor, kKindGraphMonitor,
                        kKindReport};
    bool cancel = false;
    std::vector<std::pair<int, int>> requests;
    std::vector<std::unique_ptr<FakeToolFrame>> made;

private:
    MainController& controller_;
};

TEST_F(MainControllerTest, CommandsOpenOneWindowPerKindAndStation) {
    addDrives(3, 4);
    MainController& c = start();
    FakeToolFactory factory(c);
    c.SetToolWindowFactory(&factory);
    c.ScanIds({3, 4});
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    ASSERT_EQ(c.DriveList().ListedStations(), (std::vector<int>{3, 4}));
    c.SelectDriveRow(0);

    for (int command : {kCmdKeypad, kCmdKeypad, kCmdOnlineEditor, kCmdOfflineEditor,
                        kCmdOfflineEditor, kCmdGraphMonitor, kCmdGraphMonitor, kCmdInformation})
        c.OpenToolWindow(command);
    c.openToolWindow(kKindReport, 3);
    c.openToolWindow(kKindReport, 3);
    c.SelectDriveRow(1);
    c.OpenToolWindow(kCmdInformation);
    c.OpenToolWindow(kCmdKeypad);

    const std::vector<std::pair<int, int>> expected = {
        {kKindKeypad, 3},       {kKindParaEditor, 3},   {kKindParaEditor, 256},
        {kKindParaEditor, 257}, {kKindGraphMonitor, 1}, {kKindInformation, 3},
        {kKindReport, 3},       {kKindKeypad, 4},
    };
    EXPECT_EQ(factory.requests, expected);
    EXPECT_EQ(c.ToolFrames().size(), expected.size());
    EXPECT_EQ(factory.made[0]->activations, 1);  // the second keypad command for station 3
    EXPECT_EQ(factory.made[4]->activations, 1);  // one graph monitor for the program
    // One information sheet, moved to the newly selected drive.
    EXPECT_EQ(factory.made[5]->retargets, (std::vector<int>{4}));
    EXPECT_EQ(c.ToolFrames().find(kKindInformation, kInformationKey), factory.made[5].get());
    EXPECT_TRUE(prompter_.entries().empty());

    // A report opened for an offline editor leaves the editor's record alone.
    c.Services().records[256].seriesCode = 11;
    c.openToolWindow(kKindReport, 256);
    EXPECT_EQ(c.Records()[256].seriesCode, 11);

    // A closed offline editor frees its key for the next one, which starts from a clean record.
    factory.made[2]->requestClose();
    EXPECT_EQ(c.freeOfflineKey(), 256);
    c.OpenToolWindow(kCmdOfflineEditor);
    EXPECT_EQ(c.Records()[256].seriesCode, 0);
    EXPECT_EQ(c.Records()[256].station, 256);
}

TEST_F(MainControllerTest, OfflineEditorsStopAtThirtyTwo) {
    MainController& c = start();
    FakeToolFactory factory(c);
    c.SetToolWindowFactory(&factory);
    for (int i = 0; i < kOfflineRecordCount; ++i) {
        ASSERT_TRUE(c.CommandEnabled(kCmdOfflineEditor)) << i;
        c.OpenToolWindow(kCmdOfflineEditor);
    }
    EXPECT_EQ(factory.requests.back(), std::make_pair(kKindParaEditor, kDriveRecordCount - 1));
    EXPECT_EQ(c.freeOfflineKey(), -1);
    EXPECT_FALSE(c.CommandEnabled(kCmdOfflineEditor));
    c.OpenToolWindow(kCmdOfflineEditor);
    EXPECT_EQ(factory.requests.size(), static_cast<std::size_t>(kOfflineRecordCount));
}

TEST_F(MainControllerTest, KindsNotBuiltSaySoAndCancelledWindowsSayNothing) {
    MainController& c = start();
    c.OpenToolWindow(kCmdGraphMonitor);  // no factory at all
    FakeToolFactory factory(c);
    factory.kinds = {kKindParaEditor};
    c.SetToolWindowFactory(&factory);
    c.OpenToolWindow(kCmdGraphMonitor);
    ASSERT_EQ(prompter_.entries().size(), 2u);
    EXPECT_EQ(prompter_.entries()[1].text, kToolWindowUnavailableText);
    EXPECT_TRUE(factory.requests.empty());

    prompter_.clear();
    factory.cancel = true;
    c.OpenToolWindow(kCmdOfflineEditor);
    factory.cancel = false;
    c.OpenToolWindow(kCmdOfflineEditor);
    EXPECT_TRUE(prompter_.entries().empty());
    EXPECT_EQ(c.ToolFrames().size(), 1u);
    EXPECT_EQ(factory.requests.back(), std::make_pair(kKindParaEditor, 256));
}

TEST_F(MainControllerTest, DriveEventsReachStationWindowsByValue) {
    addDrives(3, 3);
    MainController& c = start();
    FakeToolFactory factory(c);
    c.SetToolWindowFactory(&factory);
    c.ScanIds({3});
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    c.SelectDriveRow(0);
    c.OpenToolWindow(kCmdKeypad);
    c.OpenToolWindow(kCmdOfflineEditor);
    c.OpenToolWindow(kCmdGraphMonitor);
    ASSERT_EQ(factory.made.size(), 3u);
    FakeToolFrame& keypad = *factory.made[0];
    FakeToolFrame& offline = *factory.made[1];
    FakeToolFrame& graph = *factory.made[2];

    c.Disconnect(3);
    executor_.drain();
    ASSERT_EQ(keypad.events.size(), 1u);
    EXPECT_EQ(keypad.events[0].kind, DriveEventKind::kDisconnected);
    EXPECT_EQ(keypad.events[0].station, 3);
    EXPECT_EQ(graph.events.size(), 1u);

    c.Reconnect(3);
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    ASSERT_EQ(keypad.events.size(), 2u);
    const DriveEvent connected = keypad.events[1];
    EXPECT_EQ(connected.kind, DriveEventKind::kConnected);
    EXPECT_EQ(connected.seriesCode, 4);
    EXPECT_EQ(connected.version, c.Records()[3].version);
    ASSERT_NE(connected.driveData, nullptr);
    EXPECT_EQ(connected.driveData, c.Records()[3].driveData);

    // The window's copy keeps the data file after the drive goes and its record is reset.
    c.Disconnect(3);
    c.SetGraphWatchActive(true);
    c.DeviceNameChanged(3);
    executor_.drain();
    EXPECT_EQ(c.Records()[3].driveData, nullptr);
    EXPECT_NE(connected.driveData, nullptr);
    ASSERT_EQ(keypad.events.size(), 5u);
    EXPECT_EQ(keypad.events[2].kind, DriveEventKind::kDisconnected);
    EXPECT_EQ(keypad.events[2].driveData, nullptr);
    EXPECT_EQ(keypad.events[3].kind, DriveEventKind::kGraphWatchMode);
    EXPECT_TRUE(keypad.events[3].graphWatchActive);
    EXPECT_EQ(keypad.events[4].kind, DriveEventKind::kNameChanged);
    EXPECT_EQ(keypad.events[4].station, 3);
    EXPECT_TRUE(offline.events.empty());
}

TEST_F(MainControllerTest, ServicesBundleTheControllersOwnParts) {
    MainController& c = start();
    ToolServices services = c.Services();
    EXPECT_EQ(&services.link, &c.Link());
    EXPECT_EQ(&services.records[3], &c.Records()[3]);
    EXPECT_EQ(&services.prompter, &prompter_);
    services.host.setGraphWatchActive(true);
    EXPECT_TRUE(c.GraphWatchActive());
    EXPECT_TRUE(services.host.graphWatchActive());
}

// Two connected drives; after `breakLine` no row may keep showing values as live.
void ExpectDrivesRemovedAsDisconnected(MainControllerTest& t, MainController& c,
                                       const std::function<void()>& breakLine) {
    c.ScanIds({2, 3});
    ASSERT_TRUE(t.run([&] { return !c.CanStopScan(); }));
    ASSERT_EQ(c.Records().connectedCount(), 2);
    breakLine();
    ASSERT_TRUE(t.run([&] { return c.Records().connectedCount() == 0; }));
    EXPECT_EQ(c.WindowTitle(), "Korvaneメイン［0接続］");
    ASSERT_EQ(c.DriveList().Rows().size(), 2u);
    for (const DriveRow& row : c.DriveList().Rows()) {
        EXPECT_EQ(row.icon, kIconDisconnected);
        EXPECT_EQ(row.texts[6], "接続なし");
        EXPECT_EQ(row.texts[4], "");
    }
}

TEST_F(MainControllerTest, DriveWhoseMonitorReadsAreRefusedForGoodIsRemoved) {
    addDrives(2, 3);
    MainController& c = start();
    ExpectDrivesRemovedAsDisconnected(
        *this, c, [&] { refuse_ = [](const std::string& frame) { return frame[3] == 'Y'; }; });
}

TEST_F(MainControllerTest, PortThatCannotBeOpenedAgainRemovesEveryDrive) {
    addDrives(2, 3);
    MainController& c = start();
    ExpectDrivesRemovedAsDisconnected(*this, c, [&] {
        line_->failOpen = true;
        ASSERT_TRUE(c.ApplyPortSetup(c.PortSetupValues()).accepted);
        ASSERT_FALSE(prompter_.entries().empty());
        EXPECT_EQ(prompter_.entries().back().kind, "error");
    });
}

TEST_F(MainControllerTest, UnsupportedDriveIsListedAgainAfterItsRowWasRemoved) {
    engine_.addDrive({.station = 5, .series = 7});
    MainController& c = start();
    const ConnectChoice only5{0, 5, 1, 255};
    c.Connect(only5);
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    ASSERT_EQ(c.DriveList().ListedStations(), (std::vector<int>{5}));

    c.Refresh();  // removes the row of the drive that has no data files
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    EXPECT_TRUE(c.DriveList().ListedStations().empty());
    EXPECT_EQ(c.Records()[5].connected, 0);

    c.Connect(only5);
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    EXPECT_EQ(c.DriveList().ListedStations(), (std::vector<int>{5}));
}

TEST_F(MainControllerTest, QuickConnectAsksEachIdOnceAndIsRememberedForTheDialog) {
    addDrives(2, 2);
    MainController& c = start();
    EXPECT_FALSE(c.ConnectDialogValues().quick);
    ConnectChoice range{1, 1, 1, 4};
    range.quick = true;
    c.Connect(range);
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    EXPECT_EQ(c.DriveList().ListedStations(), (std::vector<int>{2}));
    int toAbsentStation = 0;
    for (const std::string& frame : line_->sent) toAbsentStation += frame.substr(1, 2) == "04";
    EXPECT_EQ(toAbsentStation, 1);
    EXPECT_TRUE(c.ConnectDialogValues().quick);
    c.Close();
    EXPECT_EQ(store_.getInt(kSettingsSectionMain, "ScanQuick", -1), 1);
}

TEST(PortErrorGate, OneBoxPerFailureUntilTheLineWorksOrIsReopened) {
    RecordingPrompter prompter;
    PortErrorGate gate(prompter);
    // A box that is up while the link ticks on: a good reply and a new failure meanwhile.
    struct Reentrant : Prompter {
        PortErrorGate* gate = nullptr;
        int boxes = 0;
        void ask(const std::string&, const std::string&, YesNo answer) override { answer(false); }
        void askYesNoCancel(const std::string&, const std::string&, YesNoCancel answer) override {
            answer(Answer::kCancel);
        }
        void info(const std::string&, const std::string&) override {}
        void error(const std::string&, const std::string&) override {
            ++boxes;
            gate->lineWorked();
            gate->report("write() failed", "Port");
        }
    } nested;
    PortErrorGate nestedGate(nested);
    nested.gate = &nestedGate;

    const struct Step {
        const char* action;
        std::size_t boxes;
    } steps[] = {
        {"fail", 1}, {"fail", 1},   {"fail", 1}, {"worked", 1}, {"fail", 2},
        {"fail", 2}, {"reopen", 2}, {"fail", 3}, {"worked", 3}, {"worked", 3},
    };
    for (const Step& step : steps) {
        const std::string action = step.action;
        if (action == "fail") gate.report("write() failed", "Port");
        if (action == "worked") gate.lineWorked();
        if (action == "reopen") gate.reopening();
        EXPECT_EQ(prompter.entries().size(), step.boxes) << action;
    }
    nestedGate.report("poll() failed", "Port");
    EXPECT_EQ(nested.boxes, 1);
}

TEST_F(MainControllerTest, GoodRepliesAndReopeningRearmThePortErrorBox) {
    addDrives(2, 2);
    RecordingPrompter boxes;
    PortErrorGate gate(boxes);
    MainController& c = start();
    c.SetPortErrorGate(&gate);
    gate.report("a", "Port");
    gate.report("b", "Port");
    EXPECT_EQ(boxes.entries().size(), 1u);
    c.ScanIds({2});
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    gate.report("c", "Port");
    gate.report("d", "Port");
    EXPECT_EQ(boxes.entries().size(), 2u);
    ASSERT_TRUE(c.ApplyPortSetup(c.PortSetupValues()).accepted);
    gate.report("e", "Port");
    EXPECT_EQ(boxes.entries().size(), 3u);
}

TEST_F(MainControllerTest, DemoSettingsIdentifyStationsOneToFiveOnTheSimulatedLine) {
    addDrives(1, 7);
    SeedDemoSettings(store_);
    MainController& c = start();
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));

    ASSERT_FALSE(line_->opened.empty());
    EXPECT_EQ(line_->opened.front().portName, "SIM");
    EXPECT_EQ(c.WindowTitle(), "Korvaneメイン［5接続］");
    EXPECT_EQ(c.DriveList().ListedStations(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(c.LineStatus().port, "SIM");
    EXPECT_EQ(c.LineStatus().commMode, "TK485");
}

TEST(DriveListColumnWidths, StoredAsInvColPerColumnWithDefaults) {
    MemorySettingsStore store;
    store.setInt("Main", "INVCol 7", 33);
    auto widths = LoadDriveListColumnWidths(store);
    EXPECT_EQ(widths, (std::array<int, kDriveListColumns>{40, 150, 80, 90, 100, 100, 100, 33}));

    widths[1] = 210;
    SaveDriveListColumnWidths(store, widths);
    EXPECT_EQ(store.getInt("Main", "INVCol 1", 0), 210);
    EXPECT_EQ(store.getInt("Main", "INVCol 0", 0), 40);
}

TEST(ConnectForm, TypedIdsOutsideOneTo255AreRefusedWithTheFieldToFix) {
    struct Row {
        unsigned mode;
        const char *one, *from, *to;
        bool ok;
        int badField;
        ConnectChoice choice;
    };
    const Row rows[] = {
        {0, "7", "1", "255", true, -1, {0, 7, 1, 255}},
        {1, "1", " 10", "20 ", true, -1, {1, 1, 10, 20}},
        {5, "1", "1", "255", true, -1, {2, 1, 1, 255}},
        {0, "0", "1", "255", false, 0, {}},
        {1, "1", "256", "300", false, 1, {}},
        {1, "1", "1", "", false, 2, {}},
        {1, "1", "1", "1x", false, 2, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.one) + "/" + row.from + "/" + row.to);
        ConnectFormCheck check = CheckConnectForm(row.mode, row.one, row.from, row.to);
        EXPECT_EQ(check.ok, row.ok);
        EXPECT_EQ(check.badField, row.badField);
        if (row.ok) {
            EXPECT_EQ(check.choice.mode, row.choice.mode);
            EXPECT_EQ(check.choice.one, row.choice.one);
            EXPECT_EQ(check.choice.from, row.choice.from);
            EXPECT_EQ(check.choice.to, row.choice.to);
        } else {
            EXPECT_FALSE(check.message.empty());
        }
    }
    EXPECT_EQ(CheckConnectForm(1, "1", "0", "5").message,
              "1 から 255 までの整数を入力してください。");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// The information sheet writes the store and then tells the main window; the name must survive
// the close, which writes the main window's own table back over the store.
TEST_F(MainControllerTest, DeviceNameFromTheSheetSurvivesTheClose) {
    MainController& controller = start();
    ASSERT_TRUE(StoreDeviceName(store_, 3, "Pump %s 1"));
    controller.deviceNameChanged(3);
    EXPECT_EQ(controller.Settings().deviceName(3), "Pump %s 1");
    controller.Close();
    EXPECT_EQ(ReadDeviceName(store_, 3), "Pump %s 1");
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// What the user changes is on disk before the program is closed, so a crash keeps it: the
// store and the history file are read back while the controller still runs.
TEST_F(MainControllerTest, ChangesAndTripsAreStoredBeforeAnyClose) {
    addDrives(2, 2);
    MainController& c = start();
    auto stored = [this] { return LoadSettings(store_, {"ttyS0", "SIM"}, dirs_); };

    c.Connect(ConnectChoice{0, 2, 1, 255});
    ASSERT_TRUE(runUntil([&] { return !c.CanStopScan(); }));
    EXPECT_EQ(stored().scanIdOne, 2u);
    EXPECT_EQ(ReadConnectedIds(store_), std::optional<std::vector<int>>(std::vector<int>{2}));
    c.Disconnect(2);
    EXPECT_EQ(ReadConnectedIds(store_), std::optional<std::vector<int>>(std::vector<int>{}));
    c.Reconnect(2);
    ASSERT_TRUE(runUntil([&] { return c.Records()[2].isConnected(); }));
    EXPECT_EQ(ReadConnectedIds(store_), std::optional<std::vector<int>>(std::vector<int>{2}));

    PortSetupForm form = c.PortSetupValues();
    form.timeOutText = "1500";
    ASSERT_TRUE(c.ApplyPortSetup(form).accepted);
    EXPECT_EQ(stored().timeOut, 1500u);

    c.StartEventLog();
    EXPECT_EQ(stored().logEnable, 1);
    c.StopEventLog();
    EXPECT_EQ(stored().logEnable, 0);

    ASSERT_TRUE(engine_.drive(2)->trip(0));
    ASSERT_TRUE(runUntil([&] { return c.History().size() == 1; }));
    CHistory onDisk(clock_);
    ASSERT_TRUE(onDisk.load(c.Settings().faultFilePath));
    EXPECT_EQ(onDisk.size(), 1u);
}

}  // namespace
}  // namespace korvane
