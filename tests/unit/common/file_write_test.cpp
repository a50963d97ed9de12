#include "common/file_write.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_read.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// UTF-8 paths all the way down: a Japanese folder name must reach the file system as it is.
TEST(SafeSaveFile, ReplacesFilesInFoldersWithJapaneseNames) {
    const std::string root = testing::MakeTempDirectory("korvane-save-");
    ASSERT_FALSE(root.empty());
    const std::string dir = root + "/\xe3\x83\x91\xe3\x83\xa9\xe3\x83\xa1\xe3\x83\xbc\xe3\x82\xbf";
    ASSERT_TRUE(fs::create_directory(fs::path(std::u8string(dir.begin(), dir.end()))));
    const std::string path = dir + "/\xe8\xa8\xad\xe5\xae\x9a.par";

    std::string error;
    ASSERT_TRUE(SafeSaveFile(path, Bytes{1, 2, 3}, &error)) << error;
    ASSERT_TRUE(SafeSaveFile(path, Bytes{4, 5}, &error)) << error;
    Bytes read;
    ASSERT_TRUE(ReadRegularFile(path, read, 1024, &error)) << error;
    EXPECT_EQ(read, (Bytes{4, 5}));
    EXPECT_TRUE(CanSaveFile(path, &error)) << error;
    // Nothing is left beside the file: no temporary, no probe.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(std::u8string(dir.begin(), dir.end()))),
                            fs::directory_iterator()),
              1);

    EXPECT_FALSE(ReadRegularFile(path, read, 1, &error));
    EXPECT_FALSE(ReadRegularFile(dir, read, 1024, &error));
    EXPECT_FALSE(CanSaveFile(dir, &error));
    EXPECT_FALSE(SafeSaveFile(dir + "/missing/x.par", Bytes{1}, &error));
    EXPECT_FALSE(error.empty());
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace
}  // namespace korvane
