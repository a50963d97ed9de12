// The connection manager over a real serial port against the simulated line: scanning,
// identification, live values, trips, lost drives.
#include "app/connection_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/settings_store.h"
#include "host/settings.h"
#include "integration/sim_line.h"
#include "paradb/data_file.h"
#include "sim/sim_drive.h"

namespace korvane {
namespace {

using testing::LinkRig;
using testing::SimLine;

constexpr int kBaud = 38400;
constexpr int kTimeoutMs = 500;  // met by the simulator also on a loaded machine
constexpr int kRetries = 2;

struct RecordingEvents : ConnectionEvents {
    std::vector<std::string> lines;  // "<station>:<text>"
    std::vector<int> faults;
    std::vector<int> connected, disconnected;
    std::map<int, int> valueUpdates;
    std::string title;
    void driveValuesChanged(int station) override { ++valueUpdates[station]; }
    void eventLine(int station, const std::string& text) override {
        lines.push_back(std::to_string(station) + ":" + text);
    }
    void faultRecorded(const DriveRecord& r) override { faults.push_back(r.station); }
    void driveConnected(int station, const DriveRecord&) override { connected.push_back(station); }
    void driveDisconnected(int station, const DriveRecord&) override {
        disconnected.push_back(station);
    }
    void titleChanged(const std::string& t) override { title = t; }
    bool logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

class ConnectionOverSim : public ::testing::TestWithParam<int> {
protected:
    explicit ConnectionOverSim(std::vector<sim::DriveIdentity> drives = sim::DemoDrives())
        : line_(Config()) {
        for (const auto& d : drives) line_.engine().addDrive(d);
    }

    sim::SimConfig Config() const {
        sim::SimConfig c;
        c.protocol = GetParam() == kCommModbus ? sim::SimProtocol::Modbus : sim::SimProtocol::Tk485;
        c.line.baud = kBaud;
        return c;
    }

    void SetUp() override {
        ASSERT_TRUE(line_.start());
        ASSERT_EQ(rig_.open(line_.path(), GetParam(), kBaud, kTimeoutMs, 30, kRetries),
                  kLinkOpenOk);
    }

    bool scanAndWait(const std::vector<int>& ids) {
        manager_.ScanIds(ids);
        return rig_.runUntil([&] { return !manager_.IsScanning(); });
    }

    SimLine line_;
    LinkRig rig_;
    DriveRecords records_;
    RecordingEvents events_;
    ConnectionManager manager_{rig_.link, records_, events_,
                               ConnectionConfig{KORVANE_TEST_DATA_DIR, kRetries}};
};

TEST_P(ConnectionOverSim, ScanIdentifiesDrivesSkipsMissingStationsAndLoadsDataFiles) {
    ASSERT_TRUE(scanAndWait({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(events_.title, "Korvaneメイン［4接続］");
    EXPECT_EQ(events_.connected, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(records_.connectedCount(), 4);

    const DriveRecord& kapok = records_[3];
    EXPECT_EQ(kapok.seriesCode, 11);
    EXPECT_EQ(kapok.version, 0x0310);
    ASSERT_TRUE(kapok.driveData);
    EXPECT_EQ(kapok.driveData->status, kDataFileOk) << kapok.driveData->GetStatusText();

    const DriveRecord& gum = records_[5];
    EXPECT_EQ(gum.connected, 1);
    EXPECT_EQ(gum.supported, 0);
    EXPECT_FALSE(gum.driveData);
    EXPECT_EQ(records_[6].connected, 0);
    EXPECT_TRUE(events_.logged("1:接続済み"));
    EXPECT_FALSE(events_.logged("5:接続済み")) << "an unsupported drive is listed, not logged";

    // "ConIDs" keeps exactly the connected, supported drives, and scanning them again finds
    // them again.
    MemorySettingsStore store;
    SaveSettings(AppSettings{}, ConnectedStationIds(records_), store);
    auto ids = ReadConnectedIds(store);
    ASSERT_TRUE(ids);
    EXPECT_EQ(*ids, (std::vector<int>{1, 2, 3, 4}));
}

TEST_P(ConnectionOverSim, LiveValuesRunStateChangesAndTripsReachRecordsHistoryAndLog) {
    ASSERT_TRUE(scanAndWait({1}));
    line_.withEngine([](sim::SimEngine& e) {
        ASSERT_TRUE(e.drive(1)->write(0x0005, 3000) == sim::Access::Ok);
        ASSERT_TRUE(e.drive(1)->write(0x0006, 2) == sim::Access::Ok);
    });
    ASSERT_TRUE(rig_.runUntil([&] { return records_[1].outputFrequency == 3000; }));
    EXPECT_TRUE(std::any_of(events_.lines.begin(), events_.lines.end(), [](const std::string& l) {
        return l.find("順方向 加速中…") != std::string::npos;
    }));

    line_.withEngine([](sim::SimEngine& e) { ASSERT_TRUE(e.drive(1)->trip(0)); });
    ASSERT_TRUE(rig_.runUntil([&] { return !events_.faults.empty(); }));
    EXPECT_EQ(events_.faults, (std::vector<int>{1}));
    EXPECT_EQ(records_[1].faultWatch, 1);
    EXPECT_NE(records_[1].faultWord1, 0);
    EXPECT_TRUE(std::any_of(events_.lines.begin(), events_.lines.end(), [](const std::string& l) {
        return l.rfind("1:", 0) == 0 && l.find("障害発生") != std::string::npos &&
               l != "1:障害発生";
    })) << "the fault line names the trip";
}

TEST_P(ConnectionOverSim, DriveThatStopsAnsweringIsRemovedAndLogged) {
    ASSERT_TRUE(scanAndWait({1, 2}));
    line_.withEngine([](sim::SimEngine& e) {
        auto f = e.faults();
        f.silentStations.insert(2);
        e.setFaults(f);
    });
    ASSERT_TRUE(rig_.runUntil([&] { return !events_.disconnected.empty(); }));
    EXPECT_EQ(events_.disconnected, (std::vector<int>{2}));
    EXPECT_TRUE(events_.logged("2:切断済み"));
    EXPECT_EQ(records_[2].connected, 0);
    EXPECT_FALSE(records_[2].driveData);
    EXPECT_EQ(events_.title, "Korvaneメイン［1接続］");
    // The other drive is still watched.
    const int before = records_[1].statusWord;
    line_.withEngine(
        [](sim::SimEngine& e) { ASSERT_TRUE(e.drive(1)->write(0x0006, 2) == sim::Access::Ok); });
    ASSERT_TRUE(rig_.runUntil([&] { return records_[1].statusWord != before; }));
}

// The graph monitor negates a reversing drive's values from its status word, so graph watch,
// which polls little else, still polls that word.
TEST_P(ConnectionOverSim, GraphWatchKeepsTheStatusWordCurrent) {
    ASSERT_TRUE(scanAndWait({1}));
    manager_.SetGraphWatchMode(true);
    const int before = records_[1].statusWord;
    line_.withEngine(
        [](sim::SimEngine& e) { ASSERT_TRUE(e.drive(1)->write(0x0006, 2) == sim::Access::Ok); });
    EXPECT_TRUE(rig_.runUntil([&] { return records_[1].statusWord != before; }));
    manager_.SetGraphWatchMode(false);
}

// Every monitored value of a silent drive is marked stale at its first failed or overdue poll,
// long before the repeats run out and the drive is removed; a drive that answers again before
// that is live again.
TEST_P(ConnectionOverSim, ValuesOfASilentDriveGoStaleBeforeItIsRemoved) {
    // More repeats than usual keep the removal far behind the first failure on a loaded machine.
    ASSERT_EQ(rig_.open(line_.path(), GetParam(), kBaud, kTimeoutMs, 30, 6), kLinkOpenOk);
    ASSERT_TRUE(scanAndWait({1, 2}));
    const DriveRecord& drive = records_[2];
    const std::size_t monitored = MonitoredAddresses(drive.seriesCode, drive.version).size();
    // A few rounds, so that the polling period is known by more than the identification.
    const int rounds = events_.valueUpdates[2] + 8 * static_cast<int>(monitored);
    ASSERT_TRUE(rig_.runUntil(
        [&] { return events_.valueUpdates[2] >= rounds && drive.staleAddresses.empty(); }));
    auto silence = [&](bool on) {
        line_.withEngine([on](sim::SimEngine& e) {
            auto f = e.faults();
            if (on) {
                f.silentStations.insert(2);
            } else {
                f.silentStations.erase(2);
            }
            e.setFaults(f);
        });
    };
    for (bool answerAgain : {true, false}) {
        SCOPED_TRACE(answerAgain ? "answers again" : "stays silent");
        silence(true);
        ASSERT_TRUE(rig_.runUntil(
            [&] { return !drive.isConnected() || drive.staleAddresses.size() == monitored; }));
        EXPECT_TRUE(drive.isConnected()) << "stale only when the drive was already removed";
        if (answerAgain) {
            silence(false);
            ASSERT_TRUE(rig_.runUntil(
                [&] { return !drive.isConnected() || drive.staleAddresses.empty(); }));
            EXPECT_TRUE(drive.isConnected());
        }
    }
    ASSERT_TRUE(rig_.runUntil([&] { return !events_.disconnected.empty(); }));
}

TEST_P(ConnectionOverSim, StoppedScanIgnoresTheLateReply) {
    manager_.ScanIds({1, 2, 3});
    rig_.link.OnTick();  // the first read is on the line
    manager_.StopScan();
    EXPECT_FALSE(manager_.IsScanning());
    ASSERT_TRUE(
        rig_.runUntil([&] { return rig_.link.QueueLength() == 0 && !rig_.link.IsWaiting(); }));
    EXPECT_EQ(records_.connectedCount(), 0);
    EXPECT_EQ(records_[1].seriesCode, 0) << "the answer came after the scan was stopped";
}

// A watcher that must never write to a drive (the plant gateway) sends nothing when a trip
// clears; the main window would clear the drive's reset bit then.
TEST_P(ConnectionOverSim, AWatcherThatNeverWritesSendsNoWriteWhenATripClears) {
    const bool modbus = GetParam() == kCommModbus;
    std::vector<std::string> writes;
    rig_.link.SetFrameTrace([&](bool sent, const std::uint8_t* bytes, std::size_t n) {
        const std::string frame(reinterpret_cast<const char*>(bytes), n);
        const bool write = modbus ? n > 2 && (bytes[1] == 0x06 || bytes[1] == 0x10)
                                  : frame.find("01W") != std::string::npos;
        if (sent && write) writes.push_back(frame);
    });
    ConnectionConfig config{KORVANE_TEST_DATA_DIR, kRetries};
    config.neverWrite = true;
    ConnectionManager watcher(rig_.link, records_, events_, config);
    watcher.ScanIds({1});
    ASSERT_TRUE(rig_.runUntil([&] { return !watcher.IsScanning(); }));
    ASSERT_TRUE(records_[1].isConnected());
    line_.withEngine([](sim::SimEngine& e) { ASSERT_TRUE(e.drive(1)->trip(0)); });
    ASSERT_TRUE(rig_.runUntil([&] { return records_[1].faultWatch == 1; }));
    line_.withEngine([](sim::SimEngine& e) {
        ASSERT_TRUE(e.drive(1)->write(0x0006, sim::kRunReset) == sim::Access::Ok);
    });
    ASSERT_TRUE(rig_.runUntil([&] { return records_[1].faultWatch == 0; }));
    const int updates = events_.valueUpdates[1] + 5;
    ASSERT_TRUE(rig_.runUntil([&] { return events_.valueUpdates[1] >= updates; }));
    EXPECT_TRUE(writes.empty()) << writes.size() << " writes";
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, ConnectionOverSim,
                         ::testing::Values(kCommTk485, kCommModbus), [](const auto& info) {
                             return info.param == kCommTk485 ? "Tk485" : "Modbus";
                         });

class ThirtyThreeDrives : public ConnectionOverSim {
protected:
    static std::vector<sim::DriveIdentity> Drives() {
        std::vector<sim::DriveIdentity> drives;
        for (int id = 1; id <= 33; ++id) drives.push_back({id, 9, 0x0102, 3, 1});
        return drives;
    }
    ThirtyThreeDrives() : ConnectionOverSim(Drives()) {}
};

TEST_P(ThirtyThreeDrives, TheThirtySecondDriveEndsTheScan) {
    std::vector<int> ids;
    for (int id = 1; id <= 40; ++id) ids.push_back(id);
    ASSERT_TRUE(scanAndWait(ids));
    EXPECT_EQ(records_.connectedCount(), 32);
    EXPECT_EQ(records_[33].connected, 0);
    EXPECT_EQ(events_.title, "Korvaneメイン［32接続］");
}

INSTANTIATE_TEST_SUITE_P(Tk485, ThirtyThreeDrives, ::testing::Values(kCommTk485));

}  // namespace
}  // namespace korvane
