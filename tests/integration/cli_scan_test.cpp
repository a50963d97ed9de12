// korvane-cli scan against korvane-sim: identification as the program does it at start-up.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "integration/programs.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

TEST(CliScan, ReportsEveryDriveFoundWithItsTextsAndDataFileStatus) {
    SimProcess sim({"--baud", "115200", "--drive", "3:11:0x0310:4:1", "--drive", "5:7:0x0501:2:0",
                    "--drive", "7:9:0x0199:3:0"});
    ASSERT_TRUE(sim.started());
    ProgramResult r =
        RunProgram({KORVANE_CLI_PATH, "--port", sim.pty(), "--baud", "115200", "--timeout", "150",
                    "--retries", "2", "scan", "1-5,7", "--data-dir", KORVANE_TEST_DATA_DIR});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> lines;
    std::vector<Json> found;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
        found.push_back(Json::parse(line));
    }
    ASSERT_EQ(found.size(), 3u) << r.out;

    EXPECT_EQ(
        lines[0],
        R"({"station":3,"series":11,"series_name":"Kapok","capacity":"5.5kW-4","version":"3.16",)"
        R"("version_word":784,"time_scale":10,"supported":true,"data_file":"ノーエラー"})");
    // A newer Gum drive reports one capacity code above its table's.
    EXPECT_EQ(found[1]["capacity"], "1.5kW-2");
    EXPECT_EQ(found[1]["supported"], false);
    // An Ivy version with no sample data file is connected; its data file says why it is unusable.
    EXPECT_EQ(found[2]["station"], 7);
    EXPECT_EQ(found[2]["supported"], true);
    EXPECT_EQ(found[2]["data_file"], "データファイルを検出できません");
}

std::vector<int> FoundStations(const std::string& out) {
    std::vector<int> stations;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        stations.push_back(Json::parse(line)["station"].get<int>());
    return stations;
}

// Each ID is asked once, briefly; those that answered are identified as a normal scan does. A
// drive 90 ms late still answers within the question's time-out, but only by some 60 ms: a
// machine stalled longer than that may miss it, so one miss of the whole scan is tried again.
TEST(CliScan, QuickScanFindsExactlyTheDrivesPresentEvenWhenTheyAnswerLate) {
    for (const char* protocol : {"tk485", "modbus"}) {
        for (const char* delay : {"0", "90"}) {
            SimProcess sim({"--protocol", protocol, "--baud", "115200", "--delay", delay, "--drive",
                            "3:11:0x0310:4:1", "--drive", "12:4:0x0100:3:1"});
            ASSERT_TRUE(sim.started());
            std::vector<int> found;
            for (int attempt = 0; attempt < 3 && found != std::vector<int>{3, 12}; ++attempt) {
                ProgramResult r = RunProgram({KORVANE_CLI_PATH, "--port", sim.pty(), "--protocol",
                                              protocol, "--baud", "115200", "scan", "1-14",
                                              "--quick", "--data-dir", KORVANE_TEST_DATA_DIR});
                ASSERT_EQ(r.exitCode, 0) << r.err;
                found = FoundStations(r.out);
                for (int station : found)
                    ASSERT_TRUE(station == 3 || station == 12) << protocol << " " << r.out;
            }
            EXPECT_EQ(found, (std::vector<int>{3, 12})) << protocol << " delay " << delay;
        }
    }
}

TEST(CliScan, RefusesMalformedIdLists) {
    for (const char* ids : {"0-3", "5-2", "1,,x", "256"}) {
        ProgramResult r = RunProgram({KORVANE_CLI_PATH, "--port", "/dev/null", "scan", ids});
        EXPECT_EQ(r.exitCode, 2) << ids;
    }
}

}  // namespace
}  // namespace korvane::testing
