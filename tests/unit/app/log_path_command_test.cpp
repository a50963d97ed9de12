#include "app/log_path_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/prompter.h"

namespace korvane {
namespace {
namespace fs = std::filesystem;

TEST(ChangeLogFilePath, PathFollowsOnlyASuccessfulSwitch) {
    const fs::path dir =
        fs::temp_directory_path() / ("korvane-logpath-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const std::string existing = (dir / "old.log").string();
    const std::string fresh = (dir / "new.log").string();
    std::ofstream(existing) << "x";
    fs::remove(fresh);
    const std::string question = existing + " ファイルはすでに存在します.\n上書きを希望しますか？";

    struct Row {
        const char* name;
        std::string chosen;
        std::vector<bool> answers;
        bool switchSucceeds;
        LogPathChange expected;
        bool switchCalled;
        std::vector<std::string> kinds;
    };
    const Row rows[] = {
        {"same path", "/cur.log", {}, true, LogPathChange::Unchanged, false, {}},
        {"cancelled dialog", "", {}, true, LogPathChange::Unchanged, false, {}},
        {"new file", fresh, {}, true, LogPathChange::Switched, true, {}},
        {"existing, yes", existing, {true}, true, LogPathChange::Switched, true, {"question"}},
        {"existing, no", existing, {false}, true, LogPathChange::Declined, false, {"question"}},
        {"switch fails", fresh, {}, false, LogPathChange::Failed, true, {"error"}},
    };
    for (const Row& row : rows) {
        RecordingPrompter prompter;
        prompter.scriptAnswers(row.answers);
        std::string current = "/cur.log";
        bool called = false;
        LogFileSwitch switchTo = [&](const std::string& path, std::string& errorText) {
            called = true;
            EXPECT_EQ(path, row.chosen);
            if (!row.switchSucceeds) errorText = "cannot open";
            return row.switchSucceeds;
        };
        LogPathChange change = ChangeLogFilePath(row.chosen, current, switchTo, prompter, "Cap");
        EXPECT_EQ(change, row.expected) << row.name;
        EXPECT_EQ(called, row.switchCalled) << row.name;
        EXPECT_EQ(current, change == LogPathChange::Switched ? row.chosen : "/cur.log") << row.name;
        ASSERT_EQ(prompter.entries().size(), row.kinds.size()) << row.name;
        for (std::size_t i = 0; i < row.kinds.size(); ++i) {
            const RecordingPrompter::Entry& e = prompter.entries()[i];
            EXPECT_EQ(e.kind, row.kinds[i]) << row.name;
            EXPECT_EQ(e.caption, "Cap") << row.name;
            EXPECT_EQ(e.text, e.kind == "question" ? question : "cannot open") << row.name;
        }
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace korvane
