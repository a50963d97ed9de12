// Every core API that takes a path, used inside a folder with a Japanese name. On Linux the
// bytes go through untouched; on Windows they must reach the file system as UTF-16, not in the
// ANSI code page, or the names come out as question marks. The folder is listed through the
// standard library's own UTF-8 conversion, not the program's, so a mangled name is seen.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "common/clock.h"
#include "common/file_path.h"
#include "common/file_read.h"
#include "common/file_write.h"
#include "host/app_directories.h"
#include "monitor/alarm_history.h"
#include "monitor/event_log.h"
#include "paradb/data_catalogue.h"
#include "paradb/data_dir.h"
#include "paradb/data_file.h"
#include "paradb/data_file_writer.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"
#include "report/report_settings.h"
#include "report/report_writers.h"
#include "scope/record_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string kFolder = "試験フォルダ";

fs::path Native(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(Native(dir), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::u8string name = it->path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadText(const std::string& path) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(ReadRegularFile(path, bytes, 1 << 20, &error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

class JapanesePaths : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = testing::MakeTempDirectory("korvane-paths-");
        ASSERT_FALSE(root_.empty());
        dir = root_ + "/" + kFolder;
        ASSERT_TRUE(fs::create_directory(Native(dir)));
    }
    void TearDown() override {
        std::error_code ec;
        if (!root_.empty()) fs::remove_all(Native(root_), ec);
    }
    std::string dir;

private:
    std::string root_;
};

// Each case writes through one API, reads back through the program, and names what the folder
// then holds.
struct Case {
    const char* api;
    std::function<void(const std::string& dir)> run;
    std::vector<std::string> listing;
};

DataFileImage OneItemImage() {
    DataFileImage image;
    image.title = "Kapok";
    image.series = 11;
    image.version = 0x0310;
    image.types = {{"FREQ3", "Hz", 1, 100, 0}};
    DataFileImage::Group group{"基本", {}};
    group.items.push_back({0x1201, 1, 1, 0, 0, 40000, 6000, "Max", "FREQ3", ""});
    image.groups = {group};
    return image;
}

const Case kCases[] = {
    {"safe save and file read",
     [](const std::string& dir) {
         const std::string path = dir + "/設定.par";
         std::string error;
         EXPECT_TRUE(CanSaveFile(path, &error)) << error;
         ASSERT_TRUE(SafeSaveFile(path, Bytes{1, 2}, &error)) << error;
         ASSERT_TRUE(SafeSaveFile(path, Bytes{'o', 'k'}, &error)) << error;
         EXPECT_EQ(ReadText(path), "ok");
         EXPECT_TRUE(PathExists(path));
         EXPECT_TRUE(IsRegularFile(path));
         EXPECT_FALSE(IsDirectory(path));
     },
     {"設定.par"}},
    {"record file, replaced then appended",
     [](const std::string& dir) {
         const std::string path = dir + "/記録.csv";
         for (auto mode : {scope::RecordFile::Mode::kReplace, scope::RecordFile::Mode::kReplace,
                           scope::RecordFile::Mode::kAppend}) {
             scope::RecordFile file;
             ASSERT_TRUE(file.open(path, mode));
             ASSERT_TRUE(file.writeLine({1.0, std::nullopt, 2.5, 3.0}));
         }
         EXPECT_EQ(ReadText(path), "1.00, , 2.50, 3.00\r\n1.00, , 2.50, 3.00\r\n");
     },
     {"記録.csv"}},
    {"event log",
     [](const std::string& dir) {
         const std::string path = dir + "/イベント.log";
         DiskLogFileSystem files;
         EXPECT_FALSE(files.exists(path));
         {
             auto log = files.createFresh(path);
             ASSERT_NE(log, nullptr);
             ASSERT_TRUE(log->write("運転\r\n"));
             ASSERT_TRUE(log->flush());
         }
         EXPECT_TRUE(files.exists(path));
         EXPECT_EQ(ReadText(path), "運転\r\n");
     },
     {"イベント.log"}},
    {"alarm history save and load",
     [](const std::string& dir) {
         const std::string path = dir + "/履歴.his";
         SystemClock clock;
         CHistory history(clock);
         ASSERT_TRUE(history.load(path));
         EXPECT_FALSE(history.add(DriveRecord(7), "ポンプ"));
         ASSERT_TRUE(history.save());
         CHistory again(clock);
         ASSERT_TRUE(again.load(path));
         ASSERT_EQ(again.size(), 1u);
     },
     {"履歴.his"}},
    {"report page",
     [](const std::string& dir) {
         const ReportExportTarget target = ResolveReportExportTarget(dir + "/報告", 2);
         EXPECT_EQ(target.path, dir + "/報告.htm");
         ReportSheet sheet;
         sheet.reset(3);
         const ReportExportResult result = ExportReport(sheet, target, "報告");
         ASSERT_TRUE(result.ok) << result.error;
         EXPECT_NE(ReadText(target.path).find("報告"), std::string::npos);
     },
     {"報告.htm"}},
    {"data directory, its catalogue and a data file",
     [](const std::string& dir) {
         const std::string path = DataFilePath(dir, 11, 0x0310);
         ASSERT_FALSE(path.empty());
         ASSERT_TRUE(fs::create_directory(Native(dir + "/" + DataFileSeriesName(11))));
         std::string error;
         ASSERT_TRUE(SafeSaveFile(path, WriteDataFile(OneItemImage()), &error)) << error;
         VersionCatalogue catalogue;
         catalogue.Build(dir);
         EXPECT_EQ(catalogue.Versions(11), std::vector<std::uint16_t>{0x0310});
         DriveRecord drive(3);
         drive.seriesCode = 11;
         drive.version = 0x0310;
         CDataFile file;
         EXPECT_EQ(file.Load(&drive, dir), 1) << file.status;
         EXPECT_EQ(DefaultDataDir(dir, dir + "/無い"), dir);
     },
     {DataFileSeriesName(11)}},
    {"installed data directory",
     [](const std::string& dir) {
         ASSERT_TRUE(fs::create_directories(Native(dir + "/bin")));
         ASSERT_TRUE(fs::create_directories(Native(dir + "/share/korvane/Data")));
         EXPECT_EQ(InstalledDataDir(dir + "/bin"),
                   Utf8FromPath(PathFromUtf8(dir + "/share/korvane/Data").lexically_normal()));
         EXPECT_TRUE(IsDirectory(dir + "/bin"));
     },
     {"bin", "share"}},
    {"application folders",
     [](const std::string& dir) {
         const AppDirectories dirs = PrepareAppDirectories(dir + "/アプリ", std::nullopt);
         EXPECT_TRUE(IsDirectory(dirs.log));
         EXPECT_TRUE(IsDirectory(dirs.temp));
         EXPECT_EQ(Listing(dir + "/アプリ"), (std::vector<std::string>{"Log", "Temp"}));
     },
     {"アプリ"}},
    {"names taken apart",
     [](const std::string& dir) {
         EXPECT_EQ(UserGroupTitle(dir + "/お気に入り.usr"), "お気に入り");
         EXPECT_EQ(Utf8FromPath(PathFromUtf8(dir + "/記録.csv").filename()), "記録.csv");
         std::FILE* none = OpenFile(dir + "/無い.csv", "rb");
         EXPECT_EQ(none, nullptr);
         if (none) std::fclose(none);
         EXPECT_FALSE(PathExists(dir + "/無い.csv"));
     },
     {}},
};

TEST_F(JapanesePaths, EveryPathTakingApiKeepsTheName) {
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(c.api);
        const std::string own = dir + "/場合" + std::to_string(i);
        ASSERT_TRUE(fs::create_directory(Native(own)));
        c.run(own);
        EXPECT_EQ(Listing(own), c.listing);
    }
    EXPECT_EQ(Listing(dir).size(), std::size(kCases));
}

}  // namespace
}  // namespace korvane
