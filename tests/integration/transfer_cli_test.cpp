// Upload, download and compare through korvane-cli against a simulated Kapok drive: a whole
// parameter set saved, changed on the drive, found changed and put back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <thread>

#include "integration/kapok_cli_rig.h"
#include "paradb/para_array.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

class TransferCli : public KapokCliTest {};

TEST_F(TransferCli, UploadChangeCompareDownloadCompare) {
    ASSERT_TRUE(sim.started());
    const std::string base = tmp.file("base");
    ProgramResult up = cli({"upload", "3", base});
    ASSERT_EQ(up.exitCode, 0) << up.err;
    Json summary = jsonLines(up.out).back();
    EXPECT_EQ(summary["op"], "upload");
    EXPECT_EQ(summary["file"], base + ".par");
    EXPECT_EQ(summary["kind"], "par");
    EXPECT_GT(summary["read"].get<int>(), 200);
    EXPECT_EQ(summary["unread"], 0);
    EXPECT_EQ(summary["status"], "アップロードアクションが終了しました");

    // Without --force an existing file is not overwritten.
    const auto before = readFile(base + ".par");
    ProgramResult again = cli({"upload", "3", base + ".par"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("ファイルはすでに存在します.\n上書きを希望しますか？"),
              std::string::npos);
    EXPECT_EQ(readFile(base + ".par"), before);

    for (auto [address, value] :
         {std::pair{"0x1003", "450"}, {"0x1004", "123"}, {"0x1002", "-100"}})
        ASSERT_EQ(cli({"write", "3", address, value}).exitCode, 0);

    ProgramResult cmp = cli({"compare", "3", base + ".par"});
    ASSERT_EQ(cmp.exitCode, 3) << cmp.err;
    auto rows = jsonLines(cmp.out);
    ASSERT_EQ(rows.size(), 4u) << cmp.out;
    std::set<int> differing;
    for (std::size_t i = 0; i < 3; ++i) differing.insert(rows[i]["address"].get<int>());
    EXPECT_EQ(differing, (std::set<int>{0x1002, 0x1003, 0x1004}));
    EXPECT_EQ(rows[1]["drive"], "45.0");
    EXPECT_EQ(rows[1]["file"], "20.0");
    EXPECT_EQ(rows[0]["drive"], "-10.0");
    EXPECT_EQ(rows[3]["differences"], 3);

    ProgramResult down = cli({"--trace", "download", "3", base + ".par"});
    ASSERT_EQ(down.exitCode, 0) << down.err;
    auto entries = jsonLines(down.out);
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0]["address"], 0x120A);
    EXPECT_EQ(entries[1]["address"], 0x1114);
    std::set<int> seen;
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        EXPECT_TRUE(seen.insert(entries[i]["address"].get<int>()).second) << entries[i];
        if (entries[i]["address"] == 0x1701) {
            EXPECT_EQ(entries[i]["result"], "passed");
        }
    }
    EXPECT_EQ(entries.back()["refused"], 0);
    EXPECT_EQ(entries.back()["status"], "ダウンロードアクションが終了しました");
    // The frames show the order: the first write on the line is the leading address.
    const auto firstWrite = down.err.find("TX 05 30 33 57 ");
    ASSERT_NE(firstWrite, std::string::npos);
    EXPECT_EQ(down.err.substr(firstWrite + 15, 11), "31 32 30 41");  // 120A

    ProgramResult same = cli({"compare", "3", base + ".par"});
    EXPECT_EQ(same.exitCode, 0) << same.out;
    EXPECT_EQ(jsonLines(same.out).back()["differences"], 0);
    EXPECT_NE(same.err.find("全てのパラメータデータは同じです"), std::string::npos);
}

TEST_F(TransferCli, DownloadListsTheValuesTheDriveRefused) {
    ASSERT_TRUE(sim.started());
    CParaArray set(11, 0x0310);
    set.Add(0x1003, 6001);  // one above its maximum
    set.Add(0x1004, 100);
    const std::string path = tmp.file("range.par");
    ASSERT_TRUE(SaveParaFile(path, set));
    ProgramResult r = cli({"download", "3", path});
    EXPECT_EQ(r.exitCode, 1);
    auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0]["address"], 0x1003);
    EXPECT_EQ(lines[0]["result"], "refused");
    EXPECT_EQ(lines[0]["error"], 7);
    EXPECT_EQ(lines[1]["result"], "written");
    EXPECT_EQ(lines[2]["written"], 1);
    EXPECT_EQ(lines[2]["refused"], 1);
}

TEST_F(TransferCli, DriveFallingSilentMidUploadLeavesThePreviousFile) {
    ASSERT_TRUE(sim.started());
    CParaArray previous(11, 0x0310);
    previous.Add(0x1003, 77);
    const std::string path = tmp.file("prev.par");
    ASSERT_TRUE(SaveParaFile(path, previous));
    const auto before = readFile(path);

    auto upload = std::async(std::launch::async, [&] {
        return cli({"upload", "3", path, "--force"});
    });
    // Silence the drive once the upload is well under way.
    for (int i = 0; i < 600; ++i) {
        std::string status = sim.command("status");
        auto at = status.find("requests ");
        if (at != std::string::npos && std::stoi(status.substr(at + 9)) > 40) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sim.command("silent 3");
    ProgramResult r = upload.get();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("停止しますか？"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(path), before);
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path()))
        EXPECT_EQ(entry.path().filename(), "prev.par");  // no temporary left behind
}

TEST(TransferCliUsage, MalformedCommandLinesAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases{
        {"upload", "3"},
        {"upload", "0", "a.par"},
        {"download", "3", "a.par", "--force"},
        {"compare", "3", "a.par", "b.par"},
        {"compare", "3", "a.par", "--data-dir"},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", "/dev/null"};
        argv.insert(argv.end(), args.begin(), args.end());
        EXPECT_EQ(RunProgram(argv).exitCode, 2) << args[0] << " " << args.back();
    }
}

}  // namespace
}  // namespace korvane::testing
