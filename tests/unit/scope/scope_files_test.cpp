// The CSV record and the "Scope" settings as other programs and later runs read them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/settings_store.h"
#include "host/settings.h"
#include "scope/record_file.h"
#include "scope/scope_settings.h"

namespace korvane::scope {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ScopeFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("korvane_scope_files_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "Temp");
        dirs_ = MakeAppDirectories(dir_.string());
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
    AppDirectories dirs_;
};

TEST_F(ScopeFilesTest, EveryRecordLineIsOnDiskAsSoonAsWrittenWithCrLfAndNoHeader) {
    const fs::path path = dir_ / "rec.csv";
    {
        std::ofstream old(path);
        old << "earlier run\n";
    }
    RecordFile record;
    ASSERT_TRUE(record.open(path.string(), RecordFile::Mode::kReplace));
    const std::string line = "1.00, 2.00, -3.50, 0.00\r\n";
    for (int i = 0; i < 450; ++i) {
        ASSERT_TRUE(record.writeLine({1.0, 2.005, -3.5, 0.0}));
        // A crash now would lose nothing written so far.
        ASSERT_EQ(fs::file_size(path), (i + 1) * line.size());
    }
    EXPECT_EQ(record.flushCount(), 450);
    record.close();
    std::string expected;
    for (int i = 0; i < 450; ++i) expected += line;
    EXPECT_EQ(readAll(path), expected);
}

TEST_F(ScopeFilesTest, AppendingKeepsTheEarlierRunAndReplacingDropsIt) {
    const fs::path path = dir_ / "rec.csv";
    for (auto mode : {RecordFile::Mode::kReplace, RecordFile::Mode::kAppend}) {
        RecordFile record;
        ASSERT_TRUE(record.open(path.string(), mode));
        ASSERT_TRUE(record.writeLine({0.5, 0, 0, 0}));
    }
    EXPECT_EQ(readAll(path), "0.50, 0.00, 0.00, 0.00\r\n0.50, 0.00, 0.00, 0.00\r\n");
    RecordFile again;
    ASSERT_TRUE(again.open(path.string(), RecordFile::Mode::kReplace));
    again.close();
    EXPECT_EQ(fs::file_size(path), 0u);
    RecordFile nowhere;
    EXPECT_FALSE(nowhere.open((dir_ / "missing" / "rec.csv").string(), RecordFile::Mode::kAppend));
}

TEST(RecordLine, AValueThatIsNotLiveIsAnEmptyFieldAndTheTimeComesFirst) {
    struct Row {
        RecordValues values;
        std::string time;
        std::string line;
    };
    const Row rows[] = {
        {{1.0, std::nullopt, 0.0, 0.0}, "", "1.00, , 0.00, 0.00\r\n"},
        {{std::nullopt, std::nullopt, std::nullopt, std::nullopt}, "", ", , , \r\n"},
        {{std::nullopt, 2.5, 0.0, 0.0}, "", ", 2.50, 0.00, 0.00\r\n"},
        {{1.0, 2.0, 3.0, 4.0},
         "2026-12-08T10:00:01.500",
         "2026-12-08T10:00:01.500, 1.00, 2.00, 3.00, 4.00\r\n"},
        {{1.0, std::nullopt, 0.0, 0.0}, "t", "t, 1.00, , 0.00, 0.00\r\n"},
    };
    for (const Row& row : rows) EXPECT_EQ(FormatRecordLine(row.values, row.time), row.line);
}

TEST_F(ScopeFilesTest, FreshStoreGivesTheDocumentedDefaults) {
    MemorySettingsStore store;
    const ScopeSettings s = LoadScopeSettings(store, dirs_);
    EXPECT_EQ(s.channels[0].colour, 0xB5FFE7u);
    EXPECT_EQ(s.channels[1].colour, 0xDEFF94u);
    EXPECT_EQ(s.channels[2].colour, 0xFF69FFu);
    EXPECT_EQ(s.channels[3].colour, 0xD6D7D6u);
    EXPECT_EQ(s.backgroundColour, 0x000000u);
    EXPECT_EQ(s.textColour, 0xFFFFFFu);
    EXPECT_EQ(s.gridColour, 0x008000u);
    EXPECT_EQ(s.cursorColour, 0x00FFFFu);
    EXPECT_EQ(s.yMin, 0.0);
    EXPECT_EQ(s.yMax, 100.0);
    EXPECT_EQ(TimeSpanSeconds(s.timeSpan), 60);
    EXPECT_EQ(ScanPeriodMs(s.scanTime), 1000);
    EXPECT_EQ(RecordPeriodMs(s.recordTime), 5000);
    EXPECT_EQ(fs::path(s.recordPath), dir_ / "Temp" / "scope.csv");
    EXPECT_EQ(fs::path(s.snapshotPath), dir_ / "Temp" / "snapshot.bmp");
    EXPECT_EQ(s.channels[0].address, 0xFFFF);
    EXPECT_EQ(OffsetValue(s.channels[0].offsetIndex), 0.0);
    EXPECT_EQ(DivValue(s.channels[0].divIndex), 1.0);
}

TEST_F(ScopeFilesTest, StoredValuesOutsideTheirRangesAreReplaced) {
    MemorySettingsStore store;
    const char* S = kScopeSection;
    store.setString(S, "YAxis Min", "80");
    store.setString(S, "YAxis Max", "20");
    store.setInt(S, "Time Span", 16);
    store.setInt(S, "Scan Time", -1);
    store.setInt(S, "Record Time", 19);
    store.setInt(S, "Ch0-ID", 300);
    store.setInt(S, "Ch1-ID", -2);
    store.setInt(S, "Ch0-Offset", 17);
    store.setInt(S, "Ch0-Div", 15);
    store.setInt(S, "Ch0-Width", 4);
    store.setInt(S, "Trigger Channel", 4);
    store.setInt(S, "Current Cursor", -1);
    store.setInt(S, "SnapShot Filter Index", 0);
    store.setString(S, "Record Path", (dir_ / "gone.csv").string());
    const ScopeSettings s = LoadScopeSettings(store, dirs_);
    EXPECT_EQ(s.yMin, 20.0);
    EXPECT_EQ(s.yMax, 80.0);
    EXPECT_EQ(s.timeSpan, kDefaultTimeSpan);
    EXPECT_EQ(s.scanTime, kDefaultScanTime);
    EXPECT_EQ(s.recordTime, kDefaultRecordTime);
    EXPECT_EQ(s.channels[0].station, 0);
    EXPECT_EQ(s.channels[1].station, 0);
    EXPECT_EQ(s.channels[0].offsetIndex, kDefaultOffset);
    EXPECT_EQ(s.channels[0].divIndex, kDefaultDiv);
    EXPECT_EQ(s.channels[0].widthIndex, 0);
    EXPECT_EQ(s.triggerChannel, 0);
    EXPECT_EQ(s.currentCursor, 0);
    EXPECT_EQ(s.snapshotFilterIndex, 3);
    EXPECT_EQ(fs::path(s.recordPath), dir_ / "Temp" / "scope.csv");
}

TEST_F(ScopeFilesTest, RunningFlagsNeedMonitoringAndAChannelOn) {
    const char* S = kScopeSection;
    MemorySettingsStore off;
    off.setInt(S, "Record Run", 1);
    off.setInt(S, "Trigger Run", 1);
    ScopeSettings s = LoadScopeSettings(off, dirs_);
    EXPECT_EQ(s.recordRun, 0);
    EXPECT_EQ(s.triggerRun, 0);

    MemorySettingsStore noChannel;
    noChannel.setInt(S, "Monitor Run", 1);
    noChannel.setInt(S, "Record Run", 1);
    noChannel.setInt(S, "Graph Watch Mode", 1);
    s = LoadScopeSettings(noChannel, dirs_);
    EXPECT_EQ(s.monitorRun, 0);
    EXPECT_EQ(s.recordRun, 0);
    EXPECT_EQ(s.graphWatchMode, 0);
}

TEST_F(ScopeFilesTest, SavedSettingsReadBackUnderTheirKeyNames) {
    MemorySettingsStore store;
    ScopeSettings s = LoadScopeSettings(store, dirs_);
    s.triggerLevel = " 12.5";
    s.yMin = -10;
    s.cursorColour = 0x123456;
    s.channels[2].colour = 0x0000FF;
    SaveScopeSettings(s, store);
    EXPECT_EQ(store.getString(kScopeSection, "Trigger Level", ""), "12.500000");
    EXPECT_EQ(store.getString(kScopeSection, "YAxis Min", ""), "-10.000000");
    EXPECT_EQ(store.getInt(kScopeSection, "Corsor Color", 0), 0x123456);
    EXPECT_EQ(store.getInt(kScopeSection, "Ch2-Color", 0), 0x0000FF);
    EXPECT_EQ(store.getInt(kScopeSection, "First", 1), 1);
    const ScopeSettings back = LoadScopeSettings(store, dirs_);
    EXPECT_EQ(back.yMin, -10.0);
    EXPECT_EQ(back.triggerLevel, "12.500000");
}

}  // namespace
}  // namespace korvane::scope
