// A port typed as Windows names its ports: COMn or \\.\COMn.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/settings_store.h"
#include "host/settings.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

const PortNameList kComPorts{"COM1", "COM3", "SIM"};

std::string LoadedPort(const std::string& stored) {
    MemorySettingsStore store;
    store.setString("Main", "Port", stored);
    return LoadSettings(store, kComPorts, MakeAppDirectories("C:\\x")).port;
}

TEST(Settings, TypedNameThatIsNoPresentComPortGivesWayToTheFirstPort) {
    const std::string dir = testing::MakeTempDirectory("korvane-ports-");
    ASSERT_FALSE(dir.empty());
    const std::string file = dir + "\\COM3";
    std::ofstream(file) << "x";
    const struct Row {
        std::string stored;
        std::string expected;
    } rows[] = {
        {"COM3", "COM3"},
        {"COM200", "COM1"},  // no such device: the adapter was unplugged
        {"\\\\.\\COM201", "COM1"},
        {"COM0", "COM1"},
        {file, "COM1"},            // a file is no port, whatever its name
        {"/dev/ttyUSB0", "COM1"},  // carried over from a Linux set-up
        {"ttyS0", "COM1"},
    };
    for (const Row& row : rows) EXPECT_EQ(LoadedPort(row.stored), row.expected) << row.stored;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

// The first COM name the system has a device for, "" when it has none.
std::string SomePresentComPort() {
    std::wstring names(65536, L'\0');
    const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (std::size_t at = 0; at < length && names[at] != L'\0';) {
        const std::size_t end = names.find(L'\0', at);
        const std::wstring name = names.substr(at, end - at);
        at = end + 1;
        if (name.size() > 3 && name.size() <= 6 && name.compare(0, 3, L"COM") == 0 &&
            name.find_first_not_of(L"0123456789", 3) == std::wstring::npos && name[3] != L'0')
            return std::string(name.begin(), name.end());
    }
    return {};
}

TEST(Settings, TypedComPortIsKeptWhileWindowsHasItsDevice) {
    const std::string present = SomePresentComPort();
    if (present.empty()) GTEST_SKIP() << "this system has no COM port";
    // Not in the list: a virtual port the registry does not name is still kept while it is there.
    EXPECT_EQ(LoadedPort("\\\\.\\" + present), "\\\\.\\" + present);
    MemorySettingsStore store;
    store.setString("Main", "Port", present);
    EXPECT_EQ(LoadSettings(store, {"SIM"}, MakeAppDirectories("C:\\x")).port, present);
}

TEST(Settings, ANewSetUpStartsOnCom1) {
    EXPECT_EQ(AppSettings{}.port, "COM1");
    EXPECT_EQ(
        LoadSettings(MemorySettingsStore{}, {"COM2", "COM1", "SIM"}, MakeAppDirectories("C:\\x"))
            .port,
        "COM1");
}

}  // namespace
}  // namespace korvane
