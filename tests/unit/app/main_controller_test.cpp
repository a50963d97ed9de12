#include "app/main_controller.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "app/demo_mode.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "sim/sim_engine.h"
#include "support/fake_port.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// The controller on a fake line whose replies come from the simulated drives, answered at once.
class MainControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // mkdtemp: ctest runs tests in parallel processes, where object addresses repeat.
        std::string pattern = (fs::temp_directory_path() / "korvane-unit-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        dirs_ = PrepareAppDirectories(root_.string());
        store_.setInt(kSettingsSectionMain, "Log Enable", 0);
        line_->responder = [this](const std::string& frame) -> std::optional<std::string> {
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

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

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
