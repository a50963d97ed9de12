// Whole parameter sets through the network transports, a connection that breaks mid-download,
// and answers that come late through a MODBUS TCP gateway.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "integration/kapok_cli_rig.h"
#include "integration/programs.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One simulated drive (station 3, with a data file) on a fast line.
std::vector<std::string> SimOptions(const std::string& protocol, const std::string& serve) {
    std::vector<std::string> o{"--baud",          "115200",     "--drive",
                               "3:11:0x0310:5:1", "--protocol", protocol};
    if (!serve.empty()) o.insert(o.end(), {serve, "0"});
    return o;
}

ProgramResult Cli(const std::string& port, const std::string& protocol,
                  std::vector<std::string> args, const std::string& timeoutMs = "150") {
    std::vector<std::string> argv{KORVANE_CLI_PATH, "--port",    port,     "--protocol",
                                  protocol,         "--baud",    "115200", "--timeout",
                                  timeoutMs,        "--retries", "1"};
    argv.insert(argv.end(), args.begin(), args.end());
    const bool transfer = args[0] == "upload" || args[0] == "download";
    if (transfer) argv.insert(argv.end(), {"--data-dir", KORVANE_TEST_DATA_DIR});
    return RunProgram(argv, 240000);
}

// Upload, a change on the drive, and the file written back: the outputs in order, and the
// uploaded file's bytes.
struct Transfers {
    std::string transcript;
    std::string parFile;
};

Transfers UploadChangeDownload(const std::string& port, const std::string& protocol,
                               const std::string& base) {
    Transfers t;
    const std::vector<std::vector<std::string>> commands = {
        {"upload", "3", base},
        {"write", "3", "0x1003", "450"},
        {"download", "3", base + ".par"},
        {"read", "3", "0x1003"},
    };
    for (const auto& command : commands) {
        ProgramResult r = Cli(port, protocol, command);
        t.transcript += command[0] + " exit " + std::to_string(r.exitCode) + "\n" + r.out;
        if (r.exitCode != 0) t.transcript += r.err;
    }
    t.parFile = ReadAll(base + ".par");
    return t;
}

class TransferOverNetwork : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(TransferOverNetwork, GivesTheOutputAndTheFileItGivesOverThePseudoTerminal) {
    const auto [protocol, serve] = GetParam();
    TempDir tmp;
    // The same file name both times: the outputs name it.
    const std::string base = tmp.file("set");
    Transfers overPty, overNet;
    {
        SimProcess sim(SimOptions(protocol, ""));
        ASSERT_TRUE(sim.started());
        overPty = UploadChangeDownload(sim.pty(), protocol, base);
    }
    std::filesystem::remove(base + ".par");
    {
        SimProcess sim(SimOptions(protocol, serve));
        ASSERT_TRUE(sim.started());
        ASSERT_NE(sim.pty().find("://127.0.0.1:"), std::string::npos) << sim.pty();
        overNet = UploadChangeDownload(sim.pty(), protocol, base);
    }
    EXPECT_NE(overPty.transcript.find("upload exit 0"), std::string::npos) << overPty.transcript;
    EXPECT_NE(overPty.transcript.find("download exit 0"), std::string::npos) << overPty.transcript;
    EXPECT_GT(overPty.parFile.size(), 1000u);
    EXPECT_EQ(overNet.transcript, overPty.transcript) << serve;
    EXPECT_TRUE(overNet.parFile == overPty.parFile) << serve << ": the uploaded files differ";
}

INSTANTIATE_TEST_SUITE_P(Transports, TransferOverNetwork,
                         ::testing::Values(std::pair{"tk485", "--tcp"},
                                           std::pair{"modbus", "--modbus-tcp"}),
                         [](const auto& info) {
                             return std::string(info.param.first) +
                                    (std::string(info.param.second) == "--tcp" ? "_tcp"
                                                                               : "_modbus_tcp");
                         });

// The server goes away while a download writes: the download ends, says what it wrote, and
// fails as the link failed; nothing waits for a connection that is gone.
TEST(TransferOverNetworkFailure, AConnectionResetMidDownloadEndsItAsAFailure) {
    for (const char* serve : {"--tcp", "--modbus-tcp"}) {
        const std::string protocol = std::string(serve) == "--tcp" ? "tk485" : "modbus";
        TempDir tmp;
        const std::string base = tmp.file("set");
        SimProcess sim(SimOptions(protocol, serve));
        ASSERT_TRUE(sim.started());
        ASSERT_EQ(Cli(sim.pty(), protocol, {"upload", "3", base}).exitCode, 0);
        auto requests = [&] {
            const std::string status = sim.command("status");
            const auto at = status.find("requests ");
            return at == std::string::npos ? -1 : std::stoi(status.substr(at + 9));
        };
        const int before = requests();
        auto download = std::async(std::launch::async, [&] {
            return Cli(sim.pty(), protocol, {"download", "3", base + ".par"});
        });
        // Cut the connection once the download is well under way.
        for (int i = 0; i < 2400 && requests() < before + 60; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_GE(requests(), before + 60) << serve;
        sim.kill();
        ASSERT_EQ(download.wait_for(std::chrono::minutes(3)), std::future_status::ready) << serve;
        ProgramResult r = download.get();
        EXPECT_EQ(r.exitCode, 1) << serve << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find("lost"), std::string::npos) << serve << "\n" << r.err;
        // Every entry it lists was done before the line went.
        auto entries = jsonLines(r.out);
        ASSERT_FALSE(entries.empty()) << serve;
        int written = 0;
        for (const auto& e : entries)
            if (e.contains("result") && e["result"] == "written") ++written;
        EXPECT_GT(written, 0) << serve << "\n" << r.out;
    }
}

// A MODBUS TCP gateway whose drive answers later than the time-out: every value printed is the
// drive's word at that address, or null with a failure, never another address's word; nor does
// an answer still owed to a program that ended reach the next one.
TEST(CliOverModbusTcp, LateRepliesAreNeverTakenForTheNextRequests) {
    for (const char* delay : {"180", "270"}) {
        std::vector<std::string> options = SimOptions("modbus", "--modbus-tcp");
        options.insert(options.end(), {"--delay", delay});
        SimProcess sim(options);
        ASSERT_TRUE(sim.started());
        for (const char* pacing : {"tick", "fast", "tick"}) {
            ProgramResult r = Cli(sim.pty(), "modbus",
                                  {"--pacing", pacing, "read", "3", "0", "1", "2", "3", "0", "1"});
            auto got = jsonLines(r.out);
            ASSERT_EQ(got.size(), 6u) << r.err;
            const int identity[] = {11, 5, 1, 0x0310, 11, 5};
            bool anyFailed = false;
            for (std::size_t i = 0; i < got.size(); ++i) {
                if (got[i]["error"] == 0) {
                    EXPECT_EQ(got[i]["value"], identity[i]) << delay << " " << pacing << " " << i;
                } else {
                    EXPECT_TRUE(got[i]["value"].is_null());
                    anyFailed = true;
                }
            }
            EXPECT_EQ(r.exitCode, anyFailed ? 1 : 0) << delay << " " << pacing;
        }
    }
}

}  // namespace
}  // namespace korvane::testing
