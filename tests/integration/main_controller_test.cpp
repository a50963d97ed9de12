// The main window's logic without a window: start-up on the built-in simulated line, the
// drive list and title, close and restart with "ConIDs", and a port that cannot be opened.
#include "app/main_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "app/demo_mode.h"
#include "comm/posix_serial_port.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "sim/sim_port.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class MainOverSim : public ::testing::Test {
protected:
    MainOverSim() {
        appDir_ = fs::temp_directory_path() / ("korvane-main-" + std::to_string(::getpid()));
        fs::remove_all(appDir_);
    }
    ~MainOverSim() override { fs::remove_all(appDir_); }

    std::unique_ptr<MainController> makeController() {
        AppDirectories dirs = PrepareAppDirectories(appDir_.string());
        dirs.data = KORVANE_TEST_DATA_DIR;
        PortFactory factory = [this] {
            auto inner =
                std::make_unique<PosixSerialPort>(executor_, ReportThroughPrompter(prompter_));
            return std::make_unique<sim::SimAwarePort>(
                std::move(inner), simHost_,
                [this](const std::string& t) { prompter_.error(t, "SIM"); });
        };
        MainEnvironment env{
            executor_, store_, prompter_, clock_, factory, dirs, {"ttyKV9", kSimulatedPortName}};
        return std::make_unique<MainController>(std::move(env));
    }

    bool runUntil(MainController& c, const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (c.LinkTimerRunning()) c.OnLinkTick();
            executor_.waitAndDrain(std::chrono::milliseconds(c.LinkTimerMs()));
        }
        return true;
    }

    fs::path appDir_;
    QueueExecutor executor_;
    MemorySettingsStore store_;
    RecordingPrompter prompter_;
    FixedClock clock_{LocalTime{2026, 12, 8, 10, 30, 0, 0}};
    const MainController* current_ = nullptr;
    sim::SimulatedLineHost simHost_{
        sim::DemoDrives(),
        [this] { return current_ && current_->Settings().commMode == kCommModeModbusRtu; }};
};

TEST_F(MainOverSim, DemoFindsFourDrivesAndListsFiveRowsThenReconnectsFromConIds) {
    {
        SeedDemoSettings(store_);
        auto main = makeController();
        main->Start();
        ASSERT_TRUE(runUntil(*main, [&] { return !main->CanStopScan(); }));
        EXPECT_EQ(main->WindowTitle(), "Korvaneメイン［4接続］");
        const auto& rows = main->DriveList().Rows();
        ASSERT_EQ(rows.size(), 5u);
        EXPECT_EQ(rows[4].texts[6], "サポートなし");
        EXPECT_EQ(rows[2].texts[2], "Kapok");
        EXPECT_TRUE(prompter_.entries().empty()) << prompter_.entries()[0].text;
        // Connection lines went to the event log file in the Log directory.
        EXPECT_EQ(main->EventLog().pane().lines().size(), 4u);
        main->Close();
    }
    std::vector<std::uint8_t> conIds;
    ASSERT_TRUE(store_.getBytes("Main", "ConIDs", conIds));
    EXPECT_EQ(conIds, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(store_.getString("Main", "Port", ""), kSimulatedPortName);

    auto again = makeController();
    again->Start();
    ASSERT_TRUE(runUntil(
        *again, [&] { return again->Records().connectedCount() == 4 && !again->CanStopScan(); }));
    EXPECT_EQ(again->DriveList().Rows().size(), 4u) << "the unsupported drive is not reconnected";
}

TEST_F(MainOverSim, PortThatCannotBeOpenedIsReportedAndTheProgramRunsOn) {
    store_.setString("Main", "Port", "ttyKV9");  // listed, but no such device
    auto main = makeController();
    main->Start();
    bool reported = false;
    for (const auto& e : prompter_.entries())
        reported |= e.kind == "error" && e.text == PortOpenFailedText(main->Settings().port);
    EXPECT_TRUE(reported);
    EXPECT_FALSE(main->LinkTimerRunning());
    // A later port setup on the simulated line works.
    PortSetupForm form = main->PortSetupValues();
    form.port = kSimulatedPortName;
    ASSERT_TRUE(main->ApplyPortSetup(form).accepted);
    EXPECT_TRUE(main->LinkTimerRunning());
    main->Reconnect(3);
    ASSERT_TRUE(runUntil(*main, [&] { return main->Records()[3].isConnected(); }));
}

TEST_F(MainOverSim, SwitchingTheBuiltInLineToModbusKeepsItsDrives) {
    SeedDemoSettings(store_);
    auto main = makeController();
    current_ = main.get();
    main->Start();
    ASSERT_TRUE(runUntil(*main, [&] { return !main->CanStopScan(); }));
    ASSERT_EQ(main->Records().connectedCount(), 4);

    PortSetupForm form = main->PortSetupValues();
    form.protocolIndex = 0;  // MODBUS-RTU
    ASSERT_TRUE(main->ApplyPortSetup(form).accepted);
    EXPECT_EQ(main->Link().CommModeValue(), kCommModbus);
    main->Refresh();
    ASSERT_TRUE(runUntil(*main, [&] { return !main->CanStopScan(); }));
    EXPECT_EQ(main->Records().connectedCount(), 4);
    EXPECT_EQ(main->Records()[3].seriesCode, 11);
    EXPECT_TRUE(prompter_.entries().empty());
}

}  // namespace
}  // namespace korvane
