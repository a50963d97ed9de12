// The keypad and the information sheet against simulated drives: the run keys move a real ramp,
// the lamps follow the drive, a trip shows on the sheet and the stop key resets it; and the
// command line's info and run commands over korvane-sim.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/connection_manager.h"
#include "common/clock.h"
#include "common/settings_store.h"
#include "host/tool_services.h"
#include "integration/programs.h"
#include "integration/sim_line.h"
#include "monitor/info_sheet.h"
#include "monitor/keypad_model.h"

namespace korvane {
namespace {

using testing::LinkRig;
using testing::SimLine;

constexpr int kBaud = 38400;
constexpr int kKapok = 3;

class MonitorWindowsOverSim : public ::testing::Test {
protected:
    MonitorWindowsOverSim() : line_(Config()) {
        line_.engine().addDrive({kKapok, 11, 0x0310, 4, 1});
    }

    static sim::SimConfig Config() {
        sim::SimConfig c;
        c.protocol = sim::SimProtocol::Tk485;
        c.line.baud = kBaud;
        return c;
    }

    void SetUp() override {
        ASSERT_TRUE(line_.start());
        ASSERT_EQ(rig_.open(line_.path(), kCommTk485, kBaud, 200, 30, 3), kLinkOpenOk);
        manager_.ScanIds({kKapok});
        ASSERT_TRUE(rig_.runUntil([&] { return !manager_.IsScanning(); }));
        ASSERT_TRUE(records_[kKapok].isConnected());
    }

    // Runs the link, ticking the keypad every 300 ms, until done().
    bool runWithKeypad(KeypadModel& keypad, const std::function<bool()>& done) {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        return rig_.runUntil([&] {
            if (Clock::now() >= next) {
                keypad.onTick();
                next += std::chrono::milliseconds(kKeypadTickMs);
            }
            return done();
        });
    }

    const DriveRecord& kapok() const { return records_[kKapok]; }

    SimLine line_;
    LinkRig rig_;
    DriveRecords records_;
    ConnectionEvents quiet_;
    ConnectionManager manager_{rig_.link, records_, quiet_,
                               ConnectionConfig{KORVANE_TEST_DATA_DIR, 3}};
    MemorySettingsStore settings_;
    FixedClock clock_{LocalTime{}};
    StandaloneToolHost host_;
    ToolServices services_{rig_.link, records_,      settings_, rig_.prompter,
                           clock_,    rig_.executor, host_,     AppDirectories{}};
};

TEST_F(MonitorWindowsOverSim, KeypadRunsTheDriveForwardAndResetsATrip) {
    KeypadModel keypad(services_, kKapok);
    ASSERT_EQ(keypad.slot(1).address, 10);  // output frequency
    keypad.pressForward();
    // The ramp is seen both by the keypad's own display and by the lamps, which blink while it
    // accelerates and stay lit once it is at speed.
    ASSERT_TRUE(runWithKeypad(keypad, [&] { return keypad.display(1).value > 1.0; }));
    const double early = keypad.display(1).value;
    ASSERT_TRUE(runWithKeypad(keypad, [&] { return keypad.display(1).value > early + 1.0; }));
    EXPECT_NE(kapok().statusWord & kStatusForward, 0);
    ASSERT_TRUE(runWithKeypad(keypad, [&] { return keypad.lamps().forward; }));
    EXPECT_FALSE(keypad.lamps().reverse);
    EXPECT_FALSE(keypad.lamps().fault);
    EXPECT_TRUE(keypad.keysEnabled());

    line_.withEngine([](sim::SimEngine& e) { ASSERT_TRUE(e.drive(kKapok)->trip(0)); });
    ASSERT_TRUE(runWithKeypad(keypad, [&] { return keypad.lamps().fault; }));
    keypad.pressStop();
    ASSERT_TRUE(runWithKeypad(
        keypad, [&] { return keypad.keysEnabled() && !(kapok().statusWord & kStatusFault); }));
    ASSERT_TRUE(runWithKeypad(keypad, [&] { return !keypad.lamps().fault; }));
}

TEST_F(MonitorWindowsOverSim, InformationSheetShowsATripSetInTheSimulator) {
    InfoSheet sheet(services_, kKapok);
    sheet.showPage(InfoSheet::kFaultPage);
    ASSERT_EQ(sheet.faultPage().trips().size(), 37u);
    line_.withEngine([](sim::SimEngine& e) { ASSERT_TRUE(e.drive(kKapok)->trip(16)); });
    // Bit 16 is bit 0 of the second word, the last box of that word's twelve.
    ASSERT_TRUE(rig_.runUntil([&] { return sheet.faultPage().trips()[27].on; }));
    int on = 0;
    for (const InfoBox& b : sheet.faultPage().trips()) on += b.on ? 1 : 0;
    EXPECT_EQ(on, 1);
    EXPECT_EQ(sheet.faultPage().trips()[27].caption, "MC故障トリップ");

    sheet.showPage(InfoSheet::kRunPage);
    ASSERT_TRUE(
        rig_.runUntil([&] { return !sheet.runPage().text(RunStatusPage::kRunStatus).empty(); }));
    EXPECT_EQ(sheet.runPage().text(RunStatusPage::kRunStatus), "障害");
    EXPECT_EQ(sheet.title(), "3 : Kapok (5.5kW-4) Ver3.16");
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
    return out;
}

TEST(CliInfoRun, ShowsPagesRunsAndResetsOverTheSimulator) {
    testing::SimProcess sim({"--baud", "115200", "--drive", "3:11:0x0310:4:1"});
    ASSERT_TRUE(sim.started());
    auto cli = [&](std::vector<std::string> args) {
        std::vector<std::string> argv = {
            KORVANE_CLI_PATH, "--port", sim.pty(),   "--baud", "115200",
            "--timeout",      "150",    "--retries", "2"};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.insert(argv.end(), {"--data-dir", KORVANE_TEST_DATA_DIR});
        return testing::RunProgram(argv);
    };

    auto run = cli({"run", "3", "forward"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto j = JsonLines(run.out);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["command"], "forward");
    EXPECT_EQ(j[0]["value"], 2);
    EXPECT_NE(j[0]["status"].get<int>() & 0x02, 0) << run.out;

    sim.command("trip 3 0");
    auto info = cli({"info", "3", "--polls", "2"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    j = JsonLines(info.out);
    ASSERT_EQ(j.size(), 6u) << info.out;
    EXPECT_EQ(j[0]["page"], "run");
    EXPECT_EQ(j[0]["title"], "3 : Kapok (5.5kW-4) Ver3.16");
    EXPECT_EQ(j[0]["values"]["run_status"], "障害");
    EXPECT_EQ(j[1]["page"], "terminals");
    EXPECT_EQ(j[2]["page"], "faults");
    EXPECT_EQ(j[2]["trips"].size(), 37u);
    EXPECT_EQ(j[5]["trips"][15]["name"], "過負荷トリップ");
    EXPECT_EQ(j[5]["trips"][15]["on"], true);

    auto stop = cli({"run", "3", "stop"});
    ASSERT_EQ(stop.exitCode, 0) << stop.err;
    j = JsonLines(stop.out);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["value"], 8);
    EXPECT_EQ(j[0]["status"].get<int>() & 0x08, 0) << stop.out;

    auto faults = cli({"info", "3", "--page", "faults"});
    ASSERT_EQ(faults.exitCode, 0) << faults.err;
    j = JsonLines(faults.out);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["trips"][15]["on"], false);

    EXPECT_EQ(cli({"run", "3", "sideways"}).exitCode, 2);
    EXPECT_EQ(cli({"info", "3", "--page", "all"}).exitCode, 2);
}

TEST(CliInfoRun, ShowsADriveThatHasNoDataFile) {
    // Kapok has data files for 0x0310 and 0x0311 only; the sheet needs none.
    testing::SimProcess sim({"--baud", "115200", "--drive", "5:11:0x0399:4:1"});
    ASSERT_TRUE(sim.started());
    auto info = testing::RunProgram({KORVANE_CLI_PATH, "--port", sim.pty(), "--baud", "115200",
                                     "--timeout", "150", "--retries", "2", "info", "5",
                                     "--data-dir", KORVANE_TEST_DATA_DIR});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto j = JsonLines(info.out);
    ASSERT_EQ(j.size(), 3u) << info.out;
    EXPECT_EQ(j[0]["values"]["run_status"], "停止");
    EXPECT_EQ(j[2]["trips"].size(), 37u);
}

}  // namespace
}  // namespace korvane
