// korvane-cli export: the parameter text file without a window, offline from a data file and
// online from a simulated drive.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "integration/programs.h"
#include "paradb/data_catalogue.h"
#include "paradb/para_array.h"
#include "unit/editor/editor_fixture.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

using Json = nlohmann::json;

struct ExportEnv {
    explicit ExportEnv(bool japanese = false) {
        writeFile(DataFilePath(dir.file("Data"), kKapok, kKapokVersion),
                  WriteDataFile(ExportImage(japanese)));
    }
    ProgramResult offline(std::vector<std::string> more) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "export", "--series",   "11",
                                      "--version",      "0x0310", "--data-dir", dir.file("Data")};
        argv.insert(argv.end(), more.begin(), more.end());
        return RunProgram(argv);
    }
    std::string text(const std::string& name) {
        Bytes b = readFile(dir.file(name));
        return std::string(b.begin(), b.end());
    }
    TempDir dir;
};

TEST(ExportCli, OfflineWritesTheEditorsFileAndSaysWhatItWrote) {
    ExportEnv t;
    CParaArray set(kKapok, kKapokVersion);
    set.Add(kAccTime, 75);
    ASSERT_TRUE(SaveParaFile(t.dir.file("set.par"), set));
    ProgramResult r = t.offline({"--file", t.dir.file("set.par"), t.dir.file("out.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = t.text("out.txt");
    EXPECT_EQ(
        Json::parse(r.out),
        (Json{{"file", t.dir.file("out.txt")}, {"bytes", file.size()}, {"encoding", "latin-1"}}));
    EXPECT_EQ(file.substr(0, 24), "OFF-LINE Kapok Ver3.16\r\n");
    EXPECT_NE(file.find("4 = Acc Time            , 7.5            , sec\r\n"), std::string::npos);
    EXPECT_NE(file.find("[Monitor]\r\n\r\n"), std::string::npos);
}

TEST(ExportCli, OfflineWithJapaneseNamesWritesUtf8) {
    ExportEnv t(true);
    ProgramResult r = t.offline({t.dir.file("jp.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Json::parse(r.out)["encoding"], "utf-8");
    EXPECT_EQ(t.text("jp.txt").substr(0, 3), "\xEF\xBB\xBF");
}

TEST(ExportCli, RefusesWhatItCannotExport) {
    ExportEnv t;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"--file", t.dir.file("none.par"), t.dir.file("a.txt")}, 1},  // unreadable set
        {{"--file", "x.csv", t.dir.file("a.txt")}, 2},
        {{}, 2},                             // no output file
        {{t.dir.file("missing/a.txt")}, 1},  // cannot be written
    };
    for (const Case& c : cases) {
        ProgramResult r = t.offline(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(RunProgram({KORVANE_CLI_PATH, "export", "--series", "11", "a.txt"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(t.dir.file("a.txt")));
}

TEST(ExportCli, OnlineReadsEveryParameterOfTheDriveFirst) {
    ExportEnv t;
    SimProcess sim(
        {"--baud", "115200", "--drive", "3:11:0x0310:4:1", "--data-dir", t.dir.file("Data")});
    ASSERT_TRUE(sim.started());
    ProgramResult r =
        RunProgram({KORVANE_CLI_PATH, "--port", sim.pty(), "--baud", "115200", "--timeout", "300",
                    "export", "3", t.dir.file("on.txt"), "--data-dir", t.dir.file("Data")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = t.text("on.txt");
    EXPECT_EQ(Json::parse(r.out)["bytes"], file.size());
    EXPECT_EQ(file.substr(0, file.find("\r\n")), "ON-LINE 3 : Kapok (5.5kW-4) Ver3.16");
    EXPECT_NE(file.find("4 = Acc Time            , 20.0           , sec\r\n"), std::string::npos)
        << file;
}

}  // namespace
}  // namespace korvane::testing
