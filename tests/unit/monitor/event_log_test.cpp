#include "monitor/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "common/clock.h"
#include "common/prompter.h"

namespace korvane {
namespace {

// The prompter here answers at once; so does the change.
CEventLog::ChangeResult ChangeFile(CEventLog& log, const std::string& current,
                                   const std::string& path, Prompter& prompter) {
    std::optional<CEventLog::ChangeResult> result;
    log.changeFile(current, path, prompter, "Korvane",
                   [&](CEventLog::ChangeResult r) { result = r; });
    EXPECT_TRUE(result.has_value());
    return result.value_or(CEventLog::ChangeResult::kUnchanged);
}

// In-memory files whose writes can be made to fail.
class MemoryLogFiles : public LogFileSystem {
public:
    struct State {
        std::string text;
        std::size_t flushedBytes = 0;
    };

    bool exists(const std::string& path) const override { return files.count(path) != 0; }
    std::unique_ptr<LogFile> createFresh(const std::string& path) override {
        if (refuseCreate) return nullptr;
        files[path] = State{};
        return std::make_unique<File>(*this, files[path]);
    }

    std::map<std::string, State> files;
    bool refuseCreate = false;
    int writesBeforeFailure = -1;  // -1: never fail

private:
    class File : public LogFile {
    public:
        File(MemoryLogFiles& owner, State& state) : owner_(owner), state_(state) {}
        bool write(std::string_view text) override {
            if (owner_.writesBeforeFailure == 0) return false;
            if (owner_.writesBeforeFailure > 0) --owner_.writesBeforeFailure;
            state_.text += text;
            return true;
        }
        bool flush() override {
            state_.flushedBytes = state_.text.size();
            return true;
        }

    private:
        MemoryLogFiles& owner_;
        State& state_;
    };
};

constexpr const char* kHeader =
    "[ Korvaneイベントログファイル ]\r\nDate : 2024.03.05 07:08:09\r\n\r\n";

struct EventLogFixture : ::testing::Test {
    FixedClock clock{LocalTime{2024, 3, 5, 7, 8, 9, 0}};
    MemoryLogFiles files;
    CEventLog log{clock, files};

    void appendOk(const std::string& text) { ASSERT_TRUE(log.append(7, "Elm", "", text)); }
};

TEST(FormatEventLine, UsesTheDeviceNameOnlyWhenThereIsOne) {
    EXPECT_EQ(FormatEventLine(3, "Juniper", "", "接続済み"), "3:Juniper 接続済み");
    EXPECT_EQ(FormatEventLine(12, "Elm", "ポンプ1", "切断済み"), "12:Elm(ポンプ1) 切断済み");
}

TEST_F(EventLogFixture, FileHasHeaderThenTimeStampedLinesWithCrLf) {
    ASSERT_TRUE(log.start("event.txt"));
    EXPECT_EQ(files.files["event.txt"].text, kHeader);
    EXPECT_EQ(files.files["event.txt"].flushedBytes, std::string(kHeader).size());

    clock.set({2024, 12, 31, 23, 59, 58, 0});
    ASSERT_TRUE(log.append(1, "Fir", "Fan", "接続済み"));
    EXPECT_EQ(files.files["event.txt"].text,
              std::string(kHeader) + "2024.12.31 23:59:58 >> 1:Fir(Fan) 接続済み\r\n");
    ASSERT_EQ(log.pane().lines().size(), 1u);
    EXPECT_EQ(log.pane().lines()[0], "2024.12.31 23:59:58 >> 1:Fir(Fan) 接続済み");
    EXPECT_EQ(log.status(), kEventLogNoError);
}

TEST_F(EventLogFixture, StopAndStartAgainAppendsToTheSameFileWithoutSecondHeader) {
    ASSERT_TRUE(log.start("event.txt"));
    appendOk("a");
    log.stop();
    appendOk("shown only");
    ASSERT_TRUE(log.start("other.txt"));  // a file is open: the path is not looked at
    appendOk("b");
    EXPECT_EQ(files.files.count("other.txt"), 0u);
    const std::string& text = files.files["event.txt"].text;
    EXPECT_EQ(text, std::string(kHeader) + "2024.03.05 07:08:09 >> 7:Elm a\r\n" +
                        "2024.03.05 07:08:09 >> 7:Elm b\r\n");
    EXPECT_EQ(log.pane().lines().size(), 3u);
}

TEST_F(EventLogFixture, PaneKeepsTheNewest200WhileTheFileKeepsEverything) {
    ASSERT_TRUE(log.start("event.txt"));
    for (int i = 1; i <= 201; ++i) appendOk(std::to_string(i));
    const auto& lines = log.pane().lines();
    ASSERT_EQ(lines.size(), 200u);
    EXPECT_EQ(lines.front(), "2024.03.05 07:08:09 >> 7:Elm 2");
    EXPECT_EQ(lines.back(), "2024.03.05 07:08:09 >> 7:Elm 201");
    EXPECT_EQ(log.pane().selected(), 199);
    EXPECT_NE(files.files["event.txt"].text.find(">> 7:Elm 1\r\n"), std::string::npos);

    // Every line is on the file the moment it is logged: nothing waits for the close.
    const std::string& text = files.files["event.txt"].text;
    EXPECT_EQ(files.files["event.txt"].flushedBytes, text.size());
    appendOk("202");
    EXPECT_EQ(files.files["event.txt"].flushedBytes, text.size());
}

TEST_F(EventLogFixture, WriteFailureClosesTheFileStopsLoggingAndHidesTheLine) {
    ASSERT_TRUE(log.start("event.txt"));
    appendOk("first");
    files.writesBeforeFailure = 0;
    EXPECT_FALSE(log.append(7, "Elm", "", "lost"));
    EXPECT_EQ(log.status(), kEventLogCannotWrite);
    EXPECT_STREQ(log.statusText(), "ログファイルにデータを書き込めません");
    EXPECT_FALSE(log.isLogging());
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.pane().lines().size(), 1u);

    // Logging stays off until started again; then a fresh file with a header.
    files.writesBeforeFailure = -1;
    appendOk("shown, not written");
    EXPECT_EQ(log.pane().lines().size(), 2u);
    ASSERT_TRUE(log.start("event.txt"));
    EXPECT_EQ(files.files["event.txt"].text, kHeader);
}

TEST_F(EventLogFixture, OpenFailuresGiveTheirStatusAndLeaveLoggingOff) {
    files.refuseCreate = true;
    EXPECT_FALSE(log.start("event.txt"));
    EXPECT_EQ(log.status(), kEventLogCannotOpen);
    EXPECT_STREQ(log.statusText(), "ログファイルが開けません");
    EXPECT_FALSE(log.isLogging());

    files.refuseCreate = false;
    files.writesBeforeFailure = 0;  // the header cannot be written
    EXPECT_FALSE(log.start("event.txt"));
    EXPECT_EQ(log.status(), kEventLogCannotWrite);
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.isLogging());
    EXPECT_STREQ(EventLogStatusText(0), "ノーエラー");
    EXPECT_STREQ(EventLogStatusText(3), "ログファイルパスを変更できません");
}

TEST_F(EventLogFixture, ChangeFileAsksBeforeReplacingAndKeepsTheOldFileOnFailure) {
    RecordingPrompter prompter;
    ASSERT_TRUE(log.start("event.txt"));
    files.files["new.txt"].text = "old contents";

    EXPECT_EQ(ChangeFile(log, "event.txt", "event.txt", prompter),
              CEventLog::ChangeResult::kUnchanged);
    EXPECT_TRUE(prompter.entries().empty());

    prompter.scriptAnswers({false});
    EXPECT_EQ(ChangeFile(log, "event.txt", "new.txt", prompter),
              CEventLog::ChangeResult::kUnchanged);
    ASSERT_EQ(prompter.entries().size(), 1u);
    EXPECT_EQ(prompter.entries()[0].text,
              "new.txt ファイルはすでに存在します.\n上書きを希望しますか？");
    EXPECT_EQ(files.files["new.txt"].text, "old contents");

    files.refuseCreate = true;
    EXPECT_EQ(ChangeFile(log, "event.txt", "elsewhere.txt", prompter),
              CEventLog::ChangeResult::kFailed);
    EXPECT_EQ(log.status(), kEventLogCannotChangePath);
    EXPECT_EQ(prompter.entries().back().kind, "error");
    EXPECT_EQ(prompter.entries().back().text, "ログファイルパスを変更できません");
    appendOk("still logged");  // the current file is still in use
    EXPECT_NE(files.files["event.txt"].text.find("still logged"), std::string::npos);

    files.refuseCreate = false;
    prompter.scriptAnswers({true});
    EXPECT_EQ(ChangeFile(log, "event.txt", "new.txt", prompter), CEventLog::ChangeResult::kChanged);
    appendOk("moved");
    EXPECT_EQ(files.files["new.txt"].text,
              std::string(kHeader) + "2024.03.05 07:08:09 >> 7:Elm moved\r\n");
}

TEST(DiskEventLog, StartingOnAnExistingFileReplacesItWithAFreshOne) {
    auto dir =
        std::filesystem::temp_directory_path() /
        ("korvane_event_log_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "event.txt").string();
    std::ofstream(path) << "yesterday's events, much longer than today's header will be\n";

    FixedClock clock{LocalTime{2024, 3, 5, 7, 8, 9, 0}};
    DiskLogFileSystem disk;
    {
        CEventLog log(clock, disk);
        ASSERT_TRUE(log.start(path));
        ASSERT_TRUE(log.append(2, "Ivy", "", "接続済み"));
    }  // destruction flushes
    std::stringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();  // closed before the removal
    EXPECT_EQ(content.str(), std::string(kHeader) + "2024.03.05 07:08:09 >> 2:Ivy 接続済み\r\n");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korvane
