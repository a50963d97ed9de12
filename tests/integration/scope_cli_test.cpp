// korvane-cli scope against korvane-sim: a drive ramping up after a run command is sampled,
// recorded and caught by a rising trigger; korvane-cli sco reads scope files back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "integration/programs.h"
#include "scope/sco_file.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

fs::path tempDir(const char* name) {
    fs::path dir = fs::temp_directory_path() /
                   (std::string("korvane_scope_cli_") + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ProgramResult cli(const SimProcess& sim, std::vector<std::string> args) {
    std::vector<std::string> argv{KORVANE_CLI_PATH, "--port",    sim.pty(), "--baud",
                                  "115200",         "--timeout", "300"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, 90000);
}

TEST(ScopeCli, RecordsARisingRampAndStopsTenSamplesAfterTheCrossing) {
    const fs::path dir = tempDir("ramp");
    const std::string csv = (dir / "rec.csv").string();
    SimProcess sim({"--baud", "115200", "--drive", "1:4:0x0100"});
    ASSERT_TRUE(sim.started());
    // 30 s from 0 to 60 Hz: 2 Hz a second. The ramp starts before the scope does, so the level
    // lies 15 s into it: a loaded machine under sanitizers starts sampling well below it.
    ASSERT_EQ(cli(sim, {"write", "1", "7", "300"}).exitCode, 0);
    ASSERT_EQ(cli(sim, {"write", "1", "6", "2"}).exitCode, 0);
    ProgramResult r =
        cli(sim, {"scope", "1:10", "1:9", "--scan", "0.1", "--trigger", "1:rising:30", "--record",
                  "1", "--csv", csv, "--duration", "60", "--data-dir", KORVANE_TEST_DATA_DIR});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    std::vector<Json> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
    std::size_t trigger = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].contains("trigger")) continue;
        ASSERT_EQ(trigger, lines.size()) << "a monotonic ramp crosses once";
        trigger = i;
    }
    ASSERT_LT(trigger, lines.size()) << r.out;
    ASSERT_GE(trigger, 2u);
    const Json& fired = lines[trigger];
    EXPECT_EQ(fired["channel"], 1);
    // The crossing sample is the one printed just before; the one before it is below the level.
    const double value = fired["value"];
    EXPECT_GE(value, 30.0);
    EXPECT_EQ(lines[trigger - 1]["values"][0], value);
    EXPECT_LT(lines[trigger - 2]["values"][0].get<double>(), 30.0);
    EXPECT_EQ(lines.size() - trigger - 1, 10u) << "monitoring ends on the tenth sample after";

    // The first sample comes before any reply: nothing received is null, never 0.
    EXPECT_TRUE(lines[0]["values"][0].is_null()) << lines[0];
    double previous = -1;
    double t = -1;
    for (const Json& j : lines) {
        if (j.contains("trigger")) continue;
        ASSERT_EQ(j["values"].size(), 2u);
        EXPECT_GT(j["t"].get<double>(), t);
        t = j["t"];
        if (j["values"][0].is_null()) continue;
        const double v = j["values"][0];
        EXPECT_GE(v, previous) << "the ramp only rises";
        previous = v;
    }
    EXPECT_GT(previous, 30.0);

    // The record: four fields, two decimals, CR LF, and the same rising ramp; a value not
    // received yet is an empty field.
    const std::string text = readAll(csv);
    ASSERT_FALSE(text.empty());
    std::istringstream rec(text);
    double last = -1;
    int count = 0;
    for (std::string line; std::getline(rec, line, '\n'); ++count) {
        ASSERT_TRUE(line.ends_with("\r")) << line;
        EXPECT_TRUE(line.ends_with(", 0.00, 0.00\r")) << line;
        if (line.starts_with(",")) continue;
        double a = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf, ", &a), 1) << line;
        EXPECT_GE(a, last);
        last = a;
    }
    EXPECT_GE(count, 1);
    fs::remove_all(dir);
}

TEST(ScopeCli, AnAddressOutsideTheMonitorListIsAUsageErrorThatListsThem) {
    SimProcess sim({"--baud", "115200", "--drive", "1:4:0x0100"});
    ASSERT_TRUE(sim.started());
    ProgramResult r =
        cli(sim, {"scope", "1:7", "--duration", "1", "--data-dir", KORVANE_TEST_DATA_DIR});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("\n  10  "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n  15  障害"), std::string::npos) << r.err;
}

TEST(ScopeCli, ScoPrintsTheFileAndItsPointsAndRefusesADamagedOne) {
    const fs::path dir = tempDir("sco");
    scope::ScoFile f;
    f.elapsedSeconds = 12;
    f.timeSpan = 6;
    f.channels[0] = {1, 7, 10, 0x21, 10, 3, 5, 4};
    f.stamps = {scope::OleDateFromLocal({2026, 12, 8, 9, 30, 0, 250}),
                scope::OleDateFromLocal({2026, 12, 8, 9, 30, 1, 250})};
    f.y = {std::vector<double>{15.0, 20.5}, {0, 0}, {0, 0}, {1, -1}};
    ASSERT_TRUE(scope::WriteScoFile((dir / "a.sco").string(), f));
    ProgramResult r = RunProgram(
        {KORVANE_CLI_PATH, "sco", (dir / "a.sco").string(), "--csv", (dir / "a.csv").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["span"], 120);
    EXPECT_EQ(j["samples"], 2);
    EXPECT_EQ(j["first"], "2026-12-08T09:30:00.250");
    EXPECT_EQ(j["last"], "2026-12-08T09:30:01.250");
    EXPECT_EQ(j["channels"][0]["offset"], 10.0);
    EXPECT_EQ(j["channels"][0]["div"], 0.5);
    EXPECT_EQ(j["channels"][1]["series"], 255);
    EXPECT_EQ(readAll(dir / "a.csv"),
              "2026-12-08T09:30:00.250, 15, 0, 0, 1\r\n"
              "2026-12-08T09:30:01.250, 20.5, 0, 0, -1\r\n");

    f.stamps.clear();
    for (auto& column : f.y) column.clear();
    ASSERT_TRUE(scope::WriteScoFile((dir / "empty.sco").string(), f));
    r = RunProgram({KORVANE_CLI_PATH, "sco", (dir / "empty.sco").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Json::parse(r.out)["first"].is_null());

    std::string bytes = readAll(dir / "a.sco");
    bytes.resize(bytes.size() - 1);
    std::ofstream(dir / "cut.sco", std::ios::binary) << bytes;
    r = RunProgram({KORVANE_CLI_PATH, "sco", (dir / "cut.sco").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "範囲ファイルを開くことができません\n");
    EXPECT_EQ(r.out, "");
    fs::remove_all(dir);
}

// Ctrl-C ends a recording with every line written so far on disk, though fewer than the 200
// lines that make a flush were written.
TEST(ScopeCli, InterruptingClosesTheRecordFileWithItsLastLines) {
    const fs::path dir = tempDir("interrupt");
    const std::string csv = (dir / "rec.csv").string();
    SimProcess sim({"--baud", "115200", "--drive", "1:4:0x0100"});
    ASSERT_TRUE(sim.started());
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(KORVANE_CLI_PATH, KORVANE_CLI_PATH, "--port", sim.pty().c_str(), "--baud", "115200",
                "scope", "1:10", "--scan", "0.1", "--record", "1", "--csv", csv.c_str(),
                "--data-dir", KORVANE_TEST_DATA_DIR, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    FILE* samples = ::fdopen(out[0], "r");
    int lines = 0;
    char buffer[512];
    // Twenty-five samples at 0.1 s: the record has had at least two ticks.
    while (lines < 25 && std::fgets(buffer, sizeof buffer, samples)) ++lines;
    ASSERT_EQ(lines, 25);
    ::kill(pid, SIGINT);
    while (std::fgets(buffer, sizeof buffer, samples)) {
    }
    std::fclose(samples);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string text = readAll(csv);
    EXPECT_GE(text.size(), 2 * std::string("0.00, 0.00, 0.00, 0.00\r\n").size());
    EXPECT_TRUE(text.ends_with("\r\n")) << text;
    fs::remove_all(dir);
}

TEST(ScopeCli, ADriveThatStopsAnsweringFailsTheRun) {
    SimProcess sim({"--baud", "115200", "--drive", "1:4:0x0100"});
    ASSERT_TRUE(sim.started());
    auto scope = std::async(std::launch::async, [&] {
        return cli(sim, {"scope", "1:10", "--scan", "0.1", "--duration", "80", "--data-dir",
                         KORVANE_TEST_DATA_DIR});
    });
    // Silence the drive once sampling is under way.
    for (int i = 0; i < 600; ++i) {
        std::string status = sim.command("status");
        auto at = status.find("requests ");
        if (at != std::string::npos && std::stoi(status.substr(at + 9)) > 20) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sim.command("silent 1");
    const ProgramResult r = scope.get();
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("station 1 stopped answering"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace korvane::testing
