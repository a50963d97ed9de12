#include "app/demo_mode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace korvane {
namespace {

namespace fs = std::filesystem;

TEST(DemoMode, LogAndTemporaryFilesStayBelowTheDemosOwnDirectory) {
    const fs::path scratch =
        fs::temp_directory_path() / ("korvane_demo_dirs_" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    const AppDirectories real = MakeAppDirectories("/opt/korvane");
    const AppDirectories demo = DemoDirectories(real, scratch.string());
    EXPECT_EQ(demo.data, real.data);
    for (const std::string& dir : {demo.log, demo.temp}) {
        EXPECT_EQ(fs::path(dir).parent_path(), scratch) << dir;
        EXPECT_TRUE(fs::is_directory(dir)) << dir;
    }
    EXPECT_NE(demo.log, real.log);
    fs::remove_all(scratch);
}

}  // namespace
}  // namespace korvane
