// korvane-cli against a simulated Kapok drive that refuses part of the requests: no file it
// writes may hold a value the drive did not give, no value that fits no word reaches the drive,
// and no file is read or written where it cannot be.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "common/prompter.h"
#include "common/text.h"
#include "integration/kapok_cli_rig.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

std::string textOf(const std::string& path) {
    const Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

int blankValues(const std::string& text) {
    int blank = 0;
    const std::string empty = ",                , ";
    for (auto at = text.find(empty); at != std::string::npos; at = text.find(empty, at + 1))
        ++blank;
    return blank;
}

class FileSafetyCli : public KapokCliTest {
protected:
    int requests() {
        const std::string status = sim.command("status");
        const auto at = status.find("requests ");
        return at == std::string::npos ? 0 : std::stoi(status.substr(at + 9));
    }

    // Runs the command and, once it is well under way, has the drive refuse a third of what it
    // is asked until the command ends.
    ProgramResult underRefusals(const std::vector<std::string>& args) {
        const int before = requests();
        auto run = std::async(std::launch::async, [&] { return cli(args); });
        for (int i = 0; i < 1500 && requests() < before + 40; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sim.command("nak ID 30");
        ProgramResult r = run.get();
        sim.command("nak off");
        return r;
    }
};

TEST_F(FileSafetyCli, ExportLeavesWhatItCouldNotReadBlankOrWritesNothing) {
    ASSERT_TRUE(sim.started());
    ProgramResult clean = cli({"export", "3", tmp.file("clean.txt")});
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(Json::parse(clean.out)["unread"], 0);
    const int alwaysBlank = blankValues(textOf(tmp.file("clean.txt")));

    const std::string out = tmp.file("on.txt");
    ProgramResult r = underRefusals({"export", "3", out});
    EXPECT_EQ(r.exitCode, 1);
    const Json result = Json::parse(r.out);
    const int unread = result["unread"];
    EXPECT_GT(unread, 0);
    EXPECT_NE(r.err.find(std::to_string(unread) + " 個のパラメータは読み取れませんでした"),
              std::string::npos)
        << r.err;
    // Every line whose value is blank is one of the unread ones; no 0 or default stands in.
    EXPECT_EQ(blankValues(textOf(out)), alwaysBlank + unread) << textOf(out);

    const std::string none = tmp.file("none.txt");
    ProgramResult strict = underRefusals({"export", "3", none, "--complete-only"});
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("--complete-only"), std::string::npos) << strict.err;
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(FileSafetyCli, PartialUploadReplacesACompleteFileOnlyWithPartial) {
    ASSERT_TRUE(sim.started());
    const std::string path = tmp.file("full.par");
    ASSERT_EQ(cli({"upload", "3", path}).exitCode, 0);
    const Bytes complete = readFile(path);

    ProgramResult kept = underRefusals({"upload", "3", path, "--force"});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_GT(jsonLines(kept.out).back()["unread"].get<int>(), 0);
    EXPECT_NE(kept.err.find("--partial"), std::string::npos) << kept.err;
    EXPECT_EQ(readFile(path), complete);

    ProgramResult replaced = underRefusals({"upload", "3", path, "--force", "--partial"});
    EXPECT_EQ(replaced.exitCode, 1);
    const Json summary = jsonLines(replaced.out).back();
    EXPECT_EQ(summary["status"].get<std::string>().rfind("アップロードアクションが終了しました", 0),
              0u);
    CParaArray set(11, 0x0310);
    ASSERT_EQ(ReadParaFile(path, set).outcome, FileReadOutcome::kOk);
    EXPECT_EQ(static_cast<int>(set.addresses.size()), summary["read"].get<int>());
}

TEST_F(FileSafetyCli, UserGroupUploadNamesEveryEntryItCouldNotRead) {
    ASSERT_TRUE(sim.started());
    ProgramResult params = RunProgram({KORVANE_CLI_PATH, "params", "--series", "11", "--version",
                                       "0x0310", "--data-dir", KORVANE_TEST_DATA_DIR});
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0310;
    for (int round = 0; round < 2; ++round)
        for (const Json& p : jsonLines(params.out)) group.AddEntry(p["address"].get<int>(), 1);
    const std::string path = tmp.file("g.usr");
    ASSERT_TRUE(SaveUserGroupFile(path, group));

    ProgramResult r = underRefusals({"upload", "3", path});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = jsonLines(r.out);
    const Json summary = lines.back();
    ASSERT_EQ(static_cast<int>(lines.size()) - 1, summary["unread"].get<int>()) << r.out;
    EXPECT_GT(summary["unread"].get<int>(), 0);
    EXPECT_NE(summary["status"].get<std::string>().find("ファイルの以前の値のまま"),
              std::string::npos);
    UserGroup back;
    ASSERT_TRUE(ReadUserGroupFile(path, back).ok());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["result"], "unread");
        bool keptOne = false;
        for (const auto& e : back.entries)
            keptOne =
                keptOne || (static_cast<int>(e->address) == lines[i]["address"] && e->value == 1);
        EXPECT_TRUE(keptOne) << lines[i];
    }
}

// 0x10064 would be written as 100 and then compare the same.
TEST_F(FileSafetyCli, AValueThatFitsNoWordIsRefusedDifferentAndMarked) {
    ASSERT_TRUE(sim.started());
    CParaArray set(11, 0x0310);
    set.Add(0x1003, 0x10064);
    set.Add(0x1004, 100);
    const std::string path = tmp.file("wide.par");
    ASSERT_TRUE(SaveParaFile(path, set));
    ASSERT_EQ(cli({"write", "3", "0x1003", "100"}).exitCode, 0);

    ProgramResult down = cli({"--trace", "download", "3", path});
    EXPECT_EQ(down.exitCode, 1);
    auto lines = jsonLines(down.out);
    ASSERT_EQ(lines.size(), 3u) << down.out;
    EXPECT_EQ(lines[0]["address"], 0x1003);
    EXPECT_EQ(lines[0]["result"], "refused");
    EXPECT_EQ(lines[1]["result"], "written");
    EXPECT_EQ(down.err.find("TX 05 30 33 57 31 30 30 33"), std::string::npos);  // W of 1003

    ProgramResult cmp = cli({"compare", "3", path});
    EXPECT_EQ(cmp.exitCode, 3);
    auto rows = jsonLines(cmp.out);
    ASSERT_EQ(rows.size(), 2u) << cmp.out;
    EXPECT_EQ(rows[0]["address"], 0x1003);
    EXPECT_EQ(rows[0]["file"], "0x00010064");

    ProgramResult params =
        RunProgram({KORVANE_CLI_PATH, "params", "--series", "11", "--version", "0x0310", "--file",
                    path, "--data-dir", KORVANE_TEST_DATA_DIR});
    ASSERT_EQ(params.exitCode, 0) << params.err;
    for (const Json& p : jsonLines(params.out)) {
        if (p["address"] == 0x1003) {
            EXPECT_EQ(p["fits"], false);
            EXPECT_EQ(p["value"], "0x00010064");
        } else {
            EXPECT_EQ(p["fits"], true) << p;
        }
    }
}

TEST_F(FileSafetyCli, NothingIsReadFromTheDriveForAFileThatCannotBeSaved) {
    ASSERT_TRUE(sim.started());
    const int before = requests();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"upload", "3", tmp.file("missing/set.par")},
          std::vector<std::string>{"export", "3", tmp.file("missing/out.txt")}}) {
        ProgramResult r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(requests(), before);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("missing")));
}

TEST(FileSafetyReaders, SpecialFilesAreRefusedAtOnce) {
    TempDir tmp;
    for (const char* name : {"set.par", "group.usr", "chart.sco"})
        ASSERT_EQ(::mkfifo(tmp.file(name).c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> commands{
        {"params", "--series", "11", "--version", "0x0310", "--file", tmp.file("set.par")},
        {"params", "--series", "11", "--version", "0x0310", "--file", tmp.file("group.usr")},
        {"sco", tmp.file("chart.sco")},
        {"sco", "/dev/zero"},
    };
    for (std::vector<std::string> args : commands) {
        args.insert(args.begin(), KORVANE_CLI_PATH);
        if (args[1] == "params") args.insert(args.end(), {"--data-dir", KORVANE_TEST_DATA_DIR});
        // Killed after a minute if it blocks: -1, never 1.
        EXPECT_EQ(RunProgram(args).exitCode, 1) << args.back();
    }
}

TEST(FileSafetyReport, HeaderTextsAndTitlesThatAreNotUtf8AreDecoded) {
    TempDir tmp;
    UserGroup group;
    group.seriesCode = 11;
    group.version = 0x0311;
    group.AddEntry(0x1003, 450);
    const std::string usr = tmp.file("pump\xFF.usr");
    ASSERT_TRUE(SaveUserGroupFile(usr, group));
    const std::string out = tmp.file("r.htm");
    ProgramResult r =
        RunProgram({KORVANE_CLI_PATH, "report", out, "--series", "11", "--version", "0x0311",
                    "--file", usr, "--company", "Kanto\xFF", "--division", "\xE8\xA8", "--author",
                    "a\xC3(", "--data-dir", KORVANE_TEST_DATA_DIR});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string page = textOf(out);
    EXPECT_EQ(ValidUtf8(page), page);
    for (const char* text : {"Kanto\xEF\xBF\xBD", "a\xEF\xBF\xBD(", "pump\xEF\xBF\xBD"})
        EXPECT_NE(page.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace korvane::testing
