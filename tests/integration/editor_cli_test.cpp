// korvane-cli get and set against korvane-sim: the parameter editor's group read and edit
// dialog without a window.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "editor/edit_texts.h"
#include "integration/programs.h"
#include "paradb/data_file_writer.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

std::vector<Json> Lines(const std::string& out) {
    std::vector<Json> parsed;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) parsed.push_back(Json::parse(line));
    return parsed;
}

class EditorCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.started()); }

    ProgramResult Cli(std::vector<std::string> args,
                      const std::string& dataDir = KORVANE_TEST_DATA_DIR) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", sim.pty(),   "--baud", "115200",
                                      "--timeout",      "500",    "--retries", "2"};
        argv.insert(argv.end(), args.begin(), args.end());
        // read and write know no data files.
        if (args[0] != "read" && args[0] != "write")
            argv.insert(argv.end(), {"--data-dir", dataDir});
        return RunProgram(argv);
    }
    int Word(const char* address) {
        ProgramResult r = Cli({"read", "3", address});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.exitCode == 0 ? Lines(r.out).at(0)["value"].get<int>() : -1;
    }

    SimProcess sim{{"--baud", "115200", "--drive", "3:11:0x0310:5:1"}};
};

TEST_F(EditorCli, GetReadsGroupsAndParametersOnceEach) {
    ProgramResult r = Cli({"get", "3", "Drive Group"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0]["name"], "Command Freq");
    EXPECT_EQ(lines[2]["address"], 0x1003);
    EXPECT_EQ(lines[2]["value"], "20.0");
    EXPECT_EQ(lines[2]["group"], "Drive Group");

    r = Cli({"get", "3", "0x1005", "4099", "0x1005"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["value"], "Fx/Rx-1");
    EXPECT_EQ(lines[1]["value"], "20.0");

    EXPECT_EQ(Cli({"get", "3", "No Such Group"}).exitCode, 2);
    EXPECT_EQ(Cli({"get", "3", "0x1FFF"}).exitCode, 1);  // not in the data file
    EXPECT_EQ(Cli({"get", "9"}).exitCode, 1);            // nobody at station 9
}

TEST_F(EditorCli, GetReportsAParameterTheDriveRefuses) {
    // A data file that knows one parameter the drive does not have.
    TempDir dir;
    DataFileImage image;
    image.series = 11;
    image.version = 0x0310;
    image.types = {{"TIME1", "sec", 1, 10, 0}};
    DataFileImage::Item known;
    known.address = 0x1003;
    known.maximum = 6000;
    known.name = "Acceleration Time";
    known.typeName = "TIME1";
    DataFileImage::Item unknown = known;
    unknown.address = 0x1FFF;
    unknown.name = "Phantom";
    image.groups = {{"G", {unknown, known}}};
    writeFile(dir.file("Kapok/Kapok_0310.dat"), WriteDataFile(image));

    ProgramResult r = Cli({"get", "3"}, dir.path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0]["value"].is_null());
    EXPECT_EQ(lines[0]["error"], 6);
    EXPECT_EQ(lines[0]["error_text"], "アドレス範囲エラー");
    EXPECT_EQ(lines[1]["value"], "20.0");
    EXPECT_FALSE(lines[1].contains("error"));
}

TEST_F(EditorCli, SetWritesTextsOfEveryKindAndReadsBack) {
    ProgramResult r = Cli({"set", "3", "0x1003", "25.0 sec"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              R"({"station":3,"address":4099,"name":"Acceleration Time","old":"20.0","new":"25.0",)"
              R"("unit":"sec","error":0})"
              "\n");
    struct Case {
        const char* address;
        const char* text;
        const char* shown;
        int word;
    } cases[] = {
        {"0x1005", "Int 485", "Int 485", 3},
        {"0x1005", "4", "Field Bus", 4},
        {"0x1002", "-50.0", "-50.0", 0x10000 - 500},
        {"0x1231", "b101", "b101", 5},
        {"0x1237", "0x8001", "b1000000000000001", 0x8001},
    };
    for (const auto& c : cases) {
        r = Cli({"set", "3", c.address, c.text});
        ASSERT_EQ(r.exitCode, 0) << c.text << r.err;
        EXPECT_EQ(Lines(r.out).at(0)["new"], c.shown) << c.text;
        EXPECT_EQ(Word(c.address), c.word) << c.text;
    }
    // Shown in rpm when the drive asks for it: 1500 rpm with 4 poles is 50 Hz.
    ASSERT_EQ(Cli({"write", "3", "0x001A", "1"}).exitCode, 0);
    r = Cli({"set", "3", "0x1115", "1500 rpm"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out).at(0)["old"], "1800");
    EXPECT_EQ(Lines(r.out).at(0)["unit"], "rpm");
    EXPECT_EQ(Word("0x1115"), 5000);
}

TEST_F(EditorCli, SetRefusesOutOfRangeAndRunningDrivesWithoutWriting) {
    struct Case {
        const char* address;
        const char* text;
        const char* message;
    } cases[] = {
        {"0x1003", "600.1", "*** データ範囲エラー ***"},
        {"0x1231", "b1000", "*** データ範囲エラー ***"},
        {"0x1002", "-180.1", "*** データ範囲エラー ***"},
        {"0x1003", "12.35", "*** 小数点以下は1桁まで入力できます ***"},
        {"0x1003", "12.345 sec", "*** 小数点以下は1桁まで入力できます ***"},
    };
    for (const auto& c : cases) {
        ProgramResult r = Cli({"--trace", "set", "3", c.address, c.text});
        EXPECT_EQ(r.exitCode, 1) << c.text;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("TX 05 30 33 57"), std::string::npos) << c.text;  // no W frame
    }
    EXPECT_EQ(Cli({"set", "3", "0x1347", "0x0311"}).exitCode, 1);  // read-only
    EXPECT_EQ(Cli({"set", "3", "0x1003", "fast"}).exitCode, 1);

    // Running: a parameter that may not change while running is refused, one that may is not.
    ASSERT_EQ(Cli({"write", "3", "6", "2"}).exitCode, 0);
    for (int i = 0; i < 50 && (Word("0x000E") & 1); ++i) {
    }
    ProgramResult r = Cli({"--trace", "set", "3", "0x1115", "55.00"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(kRunLockText), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("TX 05 30 33 57"), std::string::npos);
    EXPECT_EQ(Word("0x1115"), 6000);
    EXPECT_EQ(Cli({"set", "3", "0x1003", "30.0"}).exitCode, 0);
}

}  // namespace
}  // namespace korvane::testing
