#include "host/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/settings_store.h"
#include "paradb/drive_record.h"

namespace korvane {
namespace {
namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("korvane-settings-" + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string path(const std::string& name = "") const {
        return name.empty() ? path_.string() : (path_ / name).string();
    }
    std::string touch(const std::string& name) const {
        std::ofstream(path_ / name) << "x";
        return path(name);
    }

private:
    fs::path path_;
};

const PortNameList kPorts{"ttyS0", "ttyUSB0", "SIM"};

TEST(Settings, EmptyStoreGivesTheDocumentedDefaults) {
    MemorySettingsStore store;
    AppDirectories dirs = MakeAppDirectories("/opt/kv");
    AppSettings s = LoadSettings(store, {"ttyUSB3", DefaultPortName(), "SIM"}, dirs);
    EXPECT_EQ(s.commMode, 1u);
    EXPECT_EQ(s.port, DefaultPortName());  // ttyS0, COM1 on Windows
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.dataBits, 8u);
    EXPECT_EQ(s.parity, 0u);
    EXPECT_EQ(s.stopBits, 0u);
    EXPECT_EQ(s.autoTxEnable, 1);
    EXPECT_EQ(s.txActiveHigh, 1);
    EXPECT_EQ(s.timeOut, 1000u);
    EXPECT_EQ(s.retryCount, 3u);
    EXPECT_EQ(s.requestTick, 30u);
    EXPECT_EQ(s.logEnable, 1);
    EXPECT_EQ(s.scanMode, 0u);
    EXPECT_EQ(s.scanIdOne, 1u);
    EXPECT_EQ(s.scanIdFrom, 1u);
    EXPECT_EQ(s.scanIdTo, 255u);
    EXPECT_FALSE(s.scanQuick);
    EXPECT_EQ(s.faultFilePath, "/opt/kv/Log/history1.log");
    EXPECT_EQ(s.logFilePath, "/opt/kv/Log/event.txt");
    for (int station = 0; station < kDeviceNameCount; ++station) {
        EXPECT_EQ(s.deviceName(station), "") << station;
    }
}

TEST(Settings, StoredValuesAreClampedNeverRejected) {
    using S = AppSettings;
    struct Row {
        const char* key;
        int stored;
        unsigned S::*field;
        unsigned expected;
    };
    const Row rows[] = {
        {"CommMode", 0, &S::commMode, 0},
        {"CommMode", 2, &S::commMode, 1},
        {"CommMode", -1, &S::commMode, 1},  // a negative word is a huge unsigned one
        {"DataBit", 4, &S::dataBits, 8},
        {"DataBit", 5, &S::dataBits, 5},
        {"DataBit", 9, &S::dataBits, 8},
        {"Parity", 4, &S::parity, 4},
        {"Parity", 5, &S::parity, 0},
        {"StopBit", 2, &S::stopBits, 2},
        {"StopBit", 3, &S::stopBits, 0},
        {"TimeOut", 500, &S::timeOut, 500},
        {"TimeOut", 499, &S::timeOut, 500},
        {"TimeOut", 3000, &S::timeOut, 3000},
        {"TimeOut", 3001, &S::timeOut, 3000},
        {"TimeOut", -1, &S::timeOut, 3000},
        {"Retry Count", 1, &S::retryCount, 2},
        {"Retry Count", 4, &S::retryCount, 4},
        {"Retry Count", 9, &S::retryCount, 5},
        {"ScanIDOne", 0, &S::scanIdOne, 1},
        {"ScanIDOne", 256, &S::scanIdOne, 255},
        {"ScanMode", 3, &S::scanMode, 2},
        {"BaudRate", 115200, &S::baudRate, 115200},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.setInt("Main", row.key, row.stored);
        AppSettings s = LoadSettings(store, kPorts, MakeAppDirectories("/x"));
        EXPECT_EQ(s.*row.field, row.expected) << row.key << " = " << row.stored;
    }
}

TEST(Settings, ScanRangeIsClampedThenOrdered) {
    struct Row {
        int from, to;
        unsigned expectedFrom, expectedTo;
    };
    const Row rows[] = {
        {50, 10, 50, 50}, {0, 0, 1, 1}, {300, 10, 255, 255}, {10, 300, 10, 255}, {1, 255, 1, 255},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.setInt("Main", "ScanIDFrom", row.from);
        store.setInt("Main", "ScanIDTo", row.to);
        AppSettings s = LoadSettings(store, kPorts, MakeAppDirectories("/x"));
        EXPECT_EQ(s.scanIdFrom, row.expectedFrom) << row.from << ".." << row.to;
        EXPECT_EQ(s.scanIdTo, row.expectedTo) << row.from << ".." << row.to;
    }
}

// A typed device (not in the list) is kept by each system's own rule: settings_posix_test.cpp,
// settings_win32_test.cpp.
TEST(Settings, StoredPortIsKeptOnlyWhileItIsOffered) {
    struct Row {
        std::string stored;
        PortNameList ports;
        std::string expected;
    };
    const Row rows[] = {
        {"ttyUSB0", kPorts, "ttyUSB0"},
        {"SIM", kPorts, "SIM"},
        {"ttyUSB1", kPorts, "ttyS0"},             // adapter unplugged since the last run
        {"COM3", {"ttyUSB2", "SIM"}, "ttyUSB2"},  // a store carried over from elsewhere
        {"ttyUSB1", {}, "ttyUSB1"},               // nothing to choose from: keep what the user had
        // A device server's address stays while its server is down; a malformed one does not.
        {"rfc2217://[::1]:2217", kPorts, "rfc2217://[::1]:2217"},
        {"tcp://ds1", kPorts, "ttyS0"},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.setString("Main", "Port", row.stored);
        EXPECT_EQ(LoadSettings(store, row.ports, MakeAppDirectories("/x")).port, row.expected)
            << row.stored;
    }
}

TEST(Settings, RecentAddressesAreKeptLatestFirstWithoutRepeatsOrJunk) {
    AppSettings s;
    for (const char* a : {"tcp://a:1", "ttyUSB0", "modbus-tcp://b:502", "tcp://a:1", "tcp://bad"})
        RememberAddress(s.recentAddresses, a);
    EXPECT_EQ(s.recentAddresses, (std::vector<std::string>{"tcp://a:1", "modbus-tcp://b:502"}));
    for (int i = 0; i < 20; ++i)
        RememberAddress(s.recentAddresses, "tcp://h:" + std::to_string(i + 1));
    EXPECT_EQ(s.recentAddresses.size(), kMaxRecentAddresses);
    EXPECT_EQ(s.recentAddresses.front(), "tcp://h:20");

    MemorySettingsStore store;
    SaveSettings(s, {}, store);
    EXPECT_EQ(LoadSettings(store, kPorts, MakeAppDirectories("/x")).recentAddresses,
              s.recentAddresses);
    store.setString(kSettingsSectionComm, kRecentAddressesKey, "tcp://ok:1 junk tcp://:2");
    EXPECT_EQ(LoadSettings(store, kPorts, MakeAppDirectories("/x")).recentAddresses,
              std::vector<std::string>{"tcp://ok:1"});
}

TEST(Settings, LogFilePathsFallBackWhenTheFileIsGone) {
    TempDir tmp;
    const std::string kept = tmp.touch("mine.log");
    fs::create_directories(tmp.path("adir"));
    AppDirectories dirs = MakeAppDirectories(tmp.path());
    struct Row {
        std::string stored;
        std::string expectedFault;
        std::string expectedLog;
    };
    const Row rows[] = {
        {kept, kept, kept},
        {"", dirs.log + "/history1.log", dirs.log + "/event.txt"},
        {tmp.path("deleted.log"), dirs.log + "/history1.log", dirs.log + "/event.txt"},
        {tmp.path("adir"), dirs.log + "/history1.log", dirs.log + "/event.txt"},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.setString("Main", "Fault File Path", row.stored);
        store.setString("Main", "Log File Path", row.stored);
        AppSettings s = LoadSettings(store, kPorts, dirs);
        EXPECT_EQ(s.faultFilePath, row.expectedFault) << row.stored;
        EXPECT_EQ(s.logFilePath, row.expectedLog) << row.stored;
    }
}

// Other tools and older builds read the same store, so the key names are an interface: every
// value is checked where it is written and again after the next start has read it back.
TEST(Settings, EverySettingSurvivesACloseAndRestartUnderItsKey) {
    TempDir tmp;
    const std::string file = tmp.touch("h.log");
    AppSettings before;
    struct Row {
        const char* key;
        unsigned AppSettings::*field;
        unsigned value;
    };
    const Row rows[] = {
        {"CommMode", &AppSettings::commMode, 0},      {"BaudRate", &AppSettings::baudRate, 19200},
        {"DataBit", &AppSettings::dataBits, 7},       {"Parity", &AppSettings::parity, 2},
        {"StopBit", &AppSettings::stopBits, 2},       {"TimeOut", &AppSettings::timeOut, 2500},
        {"Retry Count", &AppSettings::retryCount, 5}, {"ScanIDOne", &AppSettings::scanIdOne, 17},
        {"ScanIDFrom", &AppSettings::scanIdFrom, 3},  {"ScanIDTo", &AppSettings::scanIdTo, 40},
        {"ScanMode", &AppSettings::scanMode, 2},
    };
    for (const Row& row : rows) before.*row.field = row.value;
    before.autoTxEnable = 0;
    before.txActiveHigh = 0;
    before.logEnable = 0;
    before.scanQuick = true;
    before.port = "ttyUSB0";
    before.faultFilePath = file;
    before.logFilePath = file;
    before.setDeviceName(0, "zero");
    before.setDeviceName(7, "ポンプ 7");
    before.setDeviceName(255, "last");

    MemorySettingsStore store;
    SaveSettings(before, {3, 200}, store);
    const AppSettings after = LoadSettings(store, kPorts, MakeAppDirectories(tmp.path()));

    for (const Row& row : rows) {
        EXPECT_EQ(store.getInt("Main", row.key, -99), static_cast<int>(row.value)) << row.key;
        EXPECT_EQ(after.*row.field, row.value) << row.key;
    }
    for (const char* flag : {"Auto Tx Enalbe", "Tx Active High", "Log Enable"}) {
        EXPECT_EQ(store.getInt("Main", flag, -99), 0) << flag;
    }
    EXPECT_EQ(after.autoTxEnable + after.txActiveHigh + after.logEnable, 0);
    EXPECT_EQ(store.getInt("Main", "ScanQuick", -99), 1);
    EXPECT_TRUE(after.scanQuick);
    EXPECT_EQ(store.getString("Main", "Port", ""), "ttyUSB0");
    EXPECT_EQ(after.port, "ttyUSB0");
    EXPECT_EQ(store.getString("Main", "Fault File Path", ""), file);
    EXPECT_EQ(after.faultFilePath, file);
    EXPECT_EQ(after.logFilePath, file);
    EXPECT_EQ(store.getString("InvName", "Inv Name7", ""), "ポンプ 7");
    EXPECT_EQ(store.getString("InvName", "Inv Name1", "?"), "");  // written even when empty
    EXPECT_EQ(after.deviceNames, before.deviceNames);
    EXPECT_EQ(ReadConnectedIds(store), (std::vector<int>{3, 200}));
}

// The key is ours alone: a store that never had it keeps not having it until the user turns
// fast pacing on, and turning it off again is remembered.
TEST(Settings, FastPacingIsStoredInItsOwnSectionOnlyOnceChosen) {
    TempDir tmp;
    const AppDirectories dirs = MakeAppDirectories(tmp.path());
    MemorySettingsStore store;
    AppSettings s = LoadSettings(store, kPorts, dirs);
    EXPECT_FALSE(s.fastPacing);
    SaveSettings(s, {}, store);
    EXPECT_EQ(store.getInt("Comm", "Fast Pacing", -1), -1);

    const struct {
        bool set;
        int stored;
    } steps[] = {{true, 1}, {false, 0}, {true, 1}};
    for (const auto& step : steps) {
        s.fastPacing = step.set;
        SaveSettings(s, {}, store);
        EXPECT_EQ(store.getInt("Comm", "Fast Pacing", -1), step.stored);
        EXPECT_EQ(LoadSettings(store, kPorts, dirs).fastPacing, step.set);
    }
    store.setInt("Comm", "Fast Pacing", 7);  // anything but 1 is the default
    EXPECT_FALSE(LoadSettings(store, kPorts, dirs).fastPacing);
}

TEST(ConnectedIds, OnlyConnectedAndSupportedStationsAreSaved) {
    DriveRecords records;
    auto connect = [&](int station, int supported) {
        records[station].connected = 1;
        records[station].supported = supported;
    };
    connect(0, 1);  // station 0 is no drive address
    connect(200, 1);
    connect(3, 1);
    connect(7, 0);    // answered, but no data file for its series
    connect(256, 1);  // an offline editor's record
    EXPECT_EQ(ConnectedStationIds(records), (std::vector<std::uint8_t>{3, 200}));
}

TEST(ConnectedIds, ReadingToleratesAbsentEmptyAndDamagedValues) {
    MemorySettingsStore store;
    EXPECT_EQ(ReadConnectedIds(store), std::nullopt);
    struct Row {
        std::vector<std::uint8_t> stored;
        std::vector<int> expected;
    };
    const Row rows[] = {
        {{}, {}},
        {{1, 2, 255}, {1, 2, 255}},
        {{0, 5, 5, 9, 0}, {5, 9}},
    };
    for (const Row& row : rows) {
        store.setBytes("Main", "ConIDs", row.stored);
        EXPECT_EQ(ReadConnectedIds(store), row.expected);
    }
}

TEST(DeviceNames, StationsOutsideTheTableAreIgnored) {
    AppSettings s;
    s.setDeviceName(-1, "bad");
    s.setDeviceName(256, "bad");
    EXPECT_EQ(s.deviceName(-1), "");
    EXPECT_EQ(s.deviceName(256), "");
}

TEST(AppDirectories, LogTempAndDataLieBelowTheApplicationDirectory) {
    struct Row {
        std::string appDir, app, log, temp, data;
    };
    const Row rows[] = {
        {"/opt/kv", "/opt/kv", "/opt/kv/Log", "/opt/kv/Temp", "/opt/kv/Data"},
        {"/opt/kv/", "/opt/kv", "/opt/kv/Log", "/opt/kv/Temp", "/opt/kv/Data"},
        {"/", "", "/Log", "/Temp", "/Data"},
    };
    for (const Row& row : rows) {
        AppDirectories d = MakeAppDirectories(row.appDir);
        EXPECT_EQ(d.app, row.app);
        EXPECT_EQ(d.log, row.log);
        EXPECT_EQ(d.temp, row.temp);
        EXPECT_EQ(d.data, row.data);
    }
}

TEST(AppDirectories, PreparingCreatesLogAndTempAndKeepsWhatIsThere) {
    TempDir tmp;
    fs::create_directories(tmp.path("Log"));
    std::ofstream(tmp.path("Log/history1.log")) << "keep";
    AppDirectories d = PrepareAppDirectories(tmp.path());
    EXPECT_TRUE(fs::is_directory(d.log));
    EXPECT_TRUE(fs::is_directory(d.temp));
    EXPECT_TRUE(fs::exists(tmp.path("Log/history1.log")));
    // A directory that cannot be made is left for the files inside it to report.
    AppDirectories blocked = PrepareAppDirectories(tmp.path("Log/history1.log"));
    EXPECT_FALSE(fs::exists(blocked.log));
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// An installed program is one whose executable lies in <prefix>/bin beside
// <prefix>/share/korvane/Data; a build tree has neither.
TEST(AppDirectories, AnInstalledProgramIsRecognisedByItsDataBesideBin) {
    TempDir tmp;
    fs::create_directories(tmp.path("usr/bin"));
    fs::create_directories(tmp.path("usr/share/korvane/Data"));
    fs::create_directories(tmp.path("build/src"));
    fs::create_directories(tmp.path("build/share/korvane/Data"));
    struct Row {
        std::string executableDir;
        bool installed;
    };
    const Row rows[] = {
        {tmp.path("usr/bin"), true},
        {tmp.path("build/src"), false},  // data beside, but not a bin directory
        {tmp.path("opt/bin"), false},    // no data shipped
        {"", false},
    };
    for (const Row& row : rows) {
        auto data = InstalledDataDir(row.executableDir);
        EXPECT_EQ(data.has_value(), row.installed) << row.executableDir;
        if (data) {
            EXPECT_EQ(std::filesystem::path(*data),
                      std::filesystem::path(tmp.path("usr/share/korvane/Data")));
        }
    }
}

TEST(AppDirectories, InstalledProgramKeepsLogAndTempInTheUsersDirectoryUnlessOverridden) {
    TempDir tmp;
    const InstalledLayout installed{tmp.path("share/Data"), tmp.path("home/korvane")};

    AppDirectories d = PrepareAppDirectories(std::nullopt, installed);
    EXPECT_EQ(d.data, tmp.path("share/Data"));
    EXPECT_EQ(d.log, tmp.path("home/korvane") + "/Log");
    EXPECT_EQ(d.temp, tmp.path("home/korvane") + "/Temp");
    EXPECT_TRUE(fs::is_directory(d.log));
    EXPECT_TRUE(fs::is_directory(d.temp));

    // --app-dir still decides everything, data included.
    AppDirectories overridden = PrepareAppDirectories(tmp.path("mine"), installed);
    EXPECT_EQ(overridden.data, tmp.path("mine") + "/Data");
    EXPECT_EQ(overridden.log, tmp.path("mine") + "/Log");
}

TEST(DefaultDataDir, TheBuildTreesDataWinsWhileItExists) {
    TempDir tmp;
    fs::create_directories(tmp.path("build"));
    fs::create_directories(tmp.path("installed"));
    struct Row {
        std::string build, installed, expected;
    };
    const Row rows[] = {
        {tmp.path("build"), tmp.path("installed"), tmp.path("build")},
        {tmp.path("gone"), tmp.path("installed"), tmp.path("installed")},
        // Neither: the build tree's path, so the message names what a developer expects.
        {tmp.path("gone"), tmp.path("missing"), tmp.path("gone")},
    };
    for (const Row& row : rows) EXPECT_EQ(DefaultDataDir(row.build, row.installed), row.expected);
}

}  // namespace
}  // namespace korvane
