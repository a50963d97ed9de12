// Every reader of the program goes through one whole-file read that takes regular files only:
// a FIFO without a writer, a device or a directory is refused at once, never waited on or
// drained.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "common/file_read.h"
#include "common/ini_settings_store.h"
#include "common/prompter.h"
#include "paradb/para_array.h"
#include "paradb/user_group.h"
#include "scope/sco_file.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

// Runs `read` on its own thread. Should it block on the FIFO after all, a writer is opened so
// that the thread ends and the test fails instead of hanging.
bool endsPromptly(const std::function<bool()>& read, const std::string& fifo) {
    std::packaged_task<bool()> task(read);
    auto result = task.get_future();
    std::thread worker(std::move(task));
    const bool ended = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!ended) {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    worker.join();
    EXPECT_FALSE(result.get()) << "a special file was read";
    return ended;
}

TEST(FileRead, OnlyRegularFilesWithinTheLimitAreRead) {
    TempDir dir;
    writeFile(dir.file("small"), Bytes(10, 'a'));
    writeFile(dir.file("large"), Bytes(4097, 'a'));
    writeFile(dir.file("empty"), {});
    std::filesystem::create_directories(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    struct Case {
        std::string path;
        bool read;
        std::size_t bytes;
    };
    const Case cases[] = {
        {dir.file("small"), true, 10},   {dir.file("empty"), true, 0},
        {dir.file("large"), false, 0},   {dir.file("folder"), false, 0},
        {dir.file("missing"), false, 0}, {"/dev/zero", false, 0},
        {"/dev/null", false, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> out{1, 2, 3};
        std::string error;
        EXPECT_EQ(ReadRegularFile(c.path, out, 4096, &error), c.read) << c.path;
        EXPECT_EQ(out.size(), c.bytes) << c.path;
        EXPECT_EQ(error.empty(), c.read) << c.path << ": " << error;
    }
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(endsPromptly([&] { return ReadRegularFile(dir.file("fifo"), out, 4096); },
                             dir.file("fifo")));
}

// Each kind of file the program opens, named by a FIFO with no writer.
TEST(FileRead, NoReaderOfTheProgramWaitsOnAFifo) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    RecordingPrompter quiet;
    const std::pair<const char*, std::function<bool()>> readers[] = {
        {"parameter set",
         [&] {
             CParaArray set(11, 0x0310);
             return ReadParaFile(fifo, set).ok();
         }},
        {"user group",
         [&] {
             UserGroup group;
             return ReadUserGroupFile(fifo, group).ok();
         }},
        {"scope file",
         [&] {
             scope::ScoFile file;
             return scope::ReadScoFile(fifo, file);
         }},
        {"settings", [&] { return !IniSettingsStore::Load(fifo).empty(); }},
    };
    for (const auto& [what, read] : readers) EXPECT_TRUE(endsPromptly(read, fifo)) << what;
}

}  // namespace
}  // namespace korvane::testing
