// korvane-cli against korvane-sim on a pseudo-terminal: the programs as a user runs them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/programs.h"
#include "sim/pty_pair.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

// Fast line, short time-outs: failures are found in well under a second.
ProgramResult cli(const SimProcess& sim, std::vector<std::string> args) {
    std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", sim.pty(),   "--baud", "115200",
                                  "--timeout",      "150",    "--retries", "1"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

std::vector<Json> lines(const std::string& out) {
    std::vector<Json> parsed;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        parsed.push_back(Json::parse(line));  // throws on anything but JSON
    return parsed;
}

std::vector<std::string> simOptions(const char* protocol) {
    return {"--protocol", protocol,         "--baud",  "115200",
            "--drive",    "1:4:0x0100:3:1", "--drive", "3:11:0x0310:5:1"};
}

class CliOverSim : public ::testing::TestWithParam<const char*> {};

TEST_P(CliOverSim, ReadsWritesAndReportsRejections) {
    SimProcess sim(simOptions(GetParam()));
    ASSERT_TRUE(sim.started());
    const std::vector<std::string> protocol{"--protocol", GetParam()};
    auto withProtocol = [&](std::vector<std::string> args) {
        args.insert(args.begin(), protocol.begin(), protocol.end());
        return args;
    };

    ProgramResult r = cli(sim, withProtocol({"read", "3", "0", "1", "2", "0x0003"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto got = lines(r.out);
    ASSERT_EQ(got.size(), 4u);
    const int identity[] = {11, 5, 1, 0x0310};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(got[i]["station"], 3);
        EXPECT_EQ(got[i]["command"], "R");
        EXPECT_EQ(got[i]["address"], static_cast<int>(i));
        EXPECT_EQ(got[i]["value"], identity[i]);
        EXPECT_EQ(got[i]["error"], 0);
    }

    r = cli(sim, withProtocol({"write", "1", "0x0200", "-2"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out).at(0)["value"], 0xFFFE);
    r = cli(sim, withProtocol({"read", "1", "0x0200"}));
    EXPECT_EQ(lines(r.out).at(0)["value"], 0xFFFE);

    struct Rejection {
        std::vector<std::string> args;
        int error;
        const char* text;
    } rejections[] = {
        {{"write", "1", "0", "7"}, 8, "書き込みモードエラー"},
        {{"write", "1", "5", "40001"}, 7, "データ範囲エラー"},
        {{"read", "1", "4"}, 6, "アドレス範囲エラー"},
    };
    for (const auto& rej : rejections) {
        r = cli(sim, withProtocol(rej.args));
        EXPECT_EQ(r.exitCode, 1) << rej.args[0];
        auto j = lines(r.out).at(0);
        EXPECT_EQ(j["error"], rej.error);
        EXPECT_EQ(j["failing"], rej.error);
        EXPECT_EQ(j["error_text"], rej.text);
        EXPECT_TRUE(j["value"].is_null());
    }

    // One bad address among good ones: every read is still made and printed, in order.
    r = cli(sim, withProtocol({"read", "1", "0", "4", "3"}));
    EXPECT_EQ(r.exitCode, 1);
    got = lines(r.out);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["value"], 4);
    EXPECT_EQ(got[1]["error"], 6);
    EXPECT_EQ(got[2]["value"], 0x0100);
}

TEST_P(CliOverSim, MonitorsUntilThePollCountAndRunsTheMotor) {
    SimProcess sim(simOptions(GetParam()));
    ASSERT_TRUE(sim.started());
    ProgramResult r = cli(sim, {"--protocol", GetParam(), "write", "1", "6", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli(sim, {"--protocol", GetParam(), "monitor", "1", "0x000E", "0x0005", "--polls", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto got = lines(r.out);
    ASSERT_EQ(got.size(), 4u);
    for (const auto& j : got) {
        EXPECT_EQ(j["station"], 1);
        EXPECT_EQ(j["error"], 0);
        ASSERT_EQ(j["values"].size(), j["addresses"].size());
        for (std::size_t i = 0; i < j["addresses"].size(); ++i) {
            if (j["addresses"][i] == 0x000E) {
                EXPECT_TRUE(j["values"][i].get<int>() & 0x02) << j.dump();  // forward
            }
            if (j["addresses"][i] == 0x0005) {
                EXPECT_EQ(j["values"][i], 6000);
            }
        }
    }
}

TEST_P(CliOverSim, FaultsChangedWhileServingReachTheCli) {
    SimProcess sim(simOptions(GetParam()));
    ASSERT_TRUE(sim.started());
    ASSERT_NE(sim.command("silent 1").find("silent 1"), std::string::npos);
    ProgramResult r = cli(sim, {"--protocol", GetParam(), "--trace", "read", "1", "0"});
    EXPECT_EQ(r.exitCode, 1);
    auto j = lines(r.out).at(0);
    EXPECT_EQ(j["error"], 100);
    EXPECT_EQ(j["failing"], 4);
    EXPECT_EQ(j["error_text"], "タイムアウトエラー");
    EXPECT_NE(r.err.find(" TX "), std::string::npos);
    EXPECT_NE(r.err.find("retry 1"), std::string::npos);

    sim.command("speak 1");
    sim.command("nak WM");
    r = cli(sim, {"--protocol", GetParam(), "write", "1", "5", "100"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(lines(r.out).at(0)["error"], 8);

    sim.command("clear");
    r = cli(sim, {"--protocol", GetParam(), "--trace", "read", "1", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(" RX "), std::string::npos);
    EXPECT_EQ(r.err.find("retry"), std::string::npos);
}

// A drive slower than the time-out (1.2 and 1.8 times it): every value printed is the drive's
// word at that address, or null with a failure; never the previous address's word.
TEST_P(CliOverSim, ASlowDriveGivesFailuresNeverItsNeighboursValues) {
    for (const char* delay : {"180", "270"}) {
        std::vector<std::string> options = simOptions(GetParam());
        options.insert(options.end(), {"--delay", delay});
        SimProcess sim(options);
        ASSERT_TRUE(sim.started());
        ProgramResult r = cli(sim, {"--protocol", GetParam(), "read", "3", "0", "1", "2", "3"});
        auto got = lines(r.out);
        ASSERT_EQ(got.size(), 4u) << r.err;
        const int identity[] = {11, 5, 1, 0x0310};
        bool anyFailed = false;
        for (std::size_t i = 0; i < 4; ++i) {
            if (got[i]["error"] == 0) {
                EXPECT_EQ(got[i]["value"], identity[i]) << delay << " address " << i;
            } else {
                EXPECT_TRUE(got[i]["value"].is_null());
                anyFailed = true;
            }
        }
        EXPECT_EQ(r.exitCode, anyFailed ? 1 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, CliOverSim, ::testing::Values("tk485", "modbus"));

// Noise faster than the program reads it: the read still ends, as a failure.
TEST(Cli, ANoiseFloodEndsTheReadInAFailureNotAHang) {
    sim::PtyPair pty;
    std::string error;
    ASSERT_TRUE(pty.open(error)) << error;
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const std::string noise(4096, 'Z');
        while (!stop) {
            if (::write(pty.masterFd(), noise.data(), noise.size()) <= 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ProgramResult r = RunProgram({KORVANE_CLI_PATH, "--port", pty.slavePath(), "--baud", "115200",
                                  "--timeout", "150", "--retries", "1", "read", "1", "0"});
    stop = true;
    flood.join();
    EXPECT_EQ(r.exitCode, 1) << r.err;
    auto got = lines(r.out);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0]["value"].is_null());
}

TEST(Cli, UsageErrorsExitWithTwoAndTheUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--port", "/dev/null"},
        {"--port", "/dev/null", "fly", "1"},
        {"read", "1", "0"},  // no port
        {"--port", "/dev/null", "read", "1"},
        {"--port", "/dev/null", "read", "0", "0"},
        {"--port", "/dev/null", "read", "1", "0x10000"},
        {"--port", "/dev/null", "read", "1", "12abc"},
        {"--port", "/dev/null", "write", "1", "5"},
        {"--port", "/dev/null", "monitor", "1", "5", "--polls", "0"},
        {"--port", "/dev/null", "--parity", "weird", "read", "1", "0"},
        {"--port", "/dev/null", "--stop-bits", "3", "read", "1", "0"},
        {"--port", "/dev/null", "--bogus", "read", "1", "0"},
        {"--port"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        ProgramResult r = RunProgram(argv);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("usage: korvane-cli"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    ProgramResult help = RunProgram({KORVANE_CLI_PATH, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"read STATION", "write STATION", "monitor STATION"}) {
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    }
}

TEST(Cli, APortThatCannotBeOpenedFailsWithTheSystemsReason) {
    ProgramResult r =
        RunProgram({KORVANE_CLI_PATH, "--port", "/nonexistent/ttyX", "read", "1", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(
        r.err.find(
            "WARNING:  open() Failed with the following error: \nNo such file or directory\nPort: "
            "/nonexistent/ttyX\n"),
        std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace korvane::testing
