// A port typed as a device path, as POSIX systems name their devices.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/settings_store.h"
#include "host/settings.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

TEST(Settings, TypedDevicePathIsKeptWhileItExists) {
    const std::string dir = testing::MakeTempDirectory("korvane-ports-");
    ASSERT_FALSE(dir.empty());
    const std::string pty = dir + "/pts7";
    std::ofstream(pty) << "x";
    const PortNameList ports{"ttyS0", "ttyUSB0", "SIM"};
    const struct Row {
        std::string stored;
        std::string expected;
    } rows[] = {
        {pty, pty},  // a pseudo-terminal or by-id link the list does not name
        {dir + "/gone", "ttyS0"},
        {"pts7", "ttyS0"},  // a bare name is a listed one or nothing
        {"COM3", "ttyS0"},  // carried over from a Windows set-up
        {"\\\\.\\COM3", "ttyS0"},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.setString("Main", "Port", row.stored);
        EXPECT_EQ(LoadSettings(store, ports, MakeAppDirectories("/x")).port, row.expected)
            << row.stored;
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST(Settings, ANewSetUpStartsOnTheFirstStandardUart) {
    EXPECT_EQ(AppSettings{}.port, "ttyS0");
    EXPECT_EQ(
        LoadSettings(MemorySettingsStore{}, {"ttyUSB0", "ttyS0", "SIM"}, MakeAppDirectories("/x"))
            .port,
        "ttyS0");
}

}  // namespace
}  // namespace korvane
