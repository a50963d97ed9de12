// The information sheet's three pages against a simulated drive of every series and version
// there is a data file for: each page's polling is answered, and no drive is dropped for it.
#include <gtest/gtest.h>

#include <set>

#include "app/connection_manager.h"
#include "common/clock.h"
#include "common/settings_store.h"
#include "host/tool_services.h"
#include "integration/sim_line.h"
#include "monitor/info_sheet.h"
#include "paradb/data_catalogue.h"

namespace korvane {
namespace {

using testing::LinkRig;
using testing::SimLine;

constexpr int kBaud = 115200;

// Every poll result of one station: the addresses answered and the failures.
class PollWatch : public MonitorListener {
public:
    void OnDriveMonitor(int, const DriveReply& reply) override {
        if (reply.errorCode != kErrNone) {
            ++failures;
            return;
        }
        for (int i = 0; i < reply.wordCount && i < kMaxReplyWords; ++i)
            answered.insert(reply.addresses[static_cast<std::size_t>(i)]);
    }
    std::set<int> answered;
    int failures = 0;
};

struct SeriesVersion {
    int series;
    int version;
};

std::vector<SeriesVersion> SimulatedSeries() {
    VersionCatalogue catalogue;
    catalogue.Build(KORVANE_TEST_DATA_DIR);
    std::vector<SeriesVersion> all;
    for (int series = 0; series < 32; ++series)
        for (std::uint16_t version : catalogue.Versions(series)) all.push_back({series, version});
    return all;
}

std::vector<int> PageAddresses(int page, const DriveRecord& drive) {
    if (page == InfoSheet::kRunPage) return RunPageAddresses(drive.seriesCode);
    if (page == InfoSheet::kTerminalPage) return TerminalPageAddresses();
    return FaultPageAddresses(drive.seriesCode, drive.version);
}

TEST(InfoPagesOverSim, EveryPageOfEverySimulatedSeriesIsAnswered) {
    const std::vector<SeriesVersion> drives = SimulatedSeries();
    ASSERT_GE(drives.size(), 8u);
    sim::SimConfig config;
    config.line.baud = kBaud;
    config.dataDir = KORVANE_TEST_DATA_DIR;  // parameter areas as strict as the real drives'
    SimLine line(config);
    std::vector<int> stations;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const int station = static_cast<int>(i) + 1;
        line.engine().addDrive({station, drives[i].series, drives[i].version, 4, 1});
        stations.push_back(station);
    }
    ASSERT_TRUE(line.start());
    LinkRig rig;
    ASSERT_EQ(rig.open(line.path(), kCommTk485, kBaud, 200, 30, 2), kLinkOpenOk);
    DriveRecords records;
    ConnectionEvents quiet;
    ConnectionManager manager(rig.link, records, quiet, ConnectionConfig{KORVANE_TEST_DATA_DIR, 2});
    manager.ScanIds(stations);
    ASSERT_TRUE(rig.runUntil([&] { return !manager.IsScanning(); }));

    MemorySettingsStore settings;
    FixedClock clock{LocalTime{}};
    StandaloneToolHost host;
    ToolServices services{rig.link, records,      settings, rig.prompter,
                          clock,    rig.executor, host,     AppDirectories{}};
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const int station = stations[i];
        SCOPED_TRACE(::testing::Message() << "series " << drives[i].series << " version 0x"
                                          << std::hex << drives[i].version);
        ASSERT_TRUE(records[station].isConnected());
        PollWatch watch;
        ASSERT_TRUE(rig.link.AddListener(station, &watch));
        InfoSheet sheet(services, station);
        for (int page = 0; page < InfoSheet::kPageCount; ++page) {
            sheet.showPage(page);
            const std::vector<int> wanted = PageAddresses(page, records[station]);
            watch.answered.clear();
            ASSERT_TRUE(rig.runUntil([&] {
                if (watch.failures > 0) return true;
                for (int a : wanted)
                    if (!watch.answered.count(a)) return false;
                return true;
            })) << "page "
                << page;
            EXPECT_EQ(watch.failures, 0) << "page " << page;
        }
        EXPECT_TRUE(records[station].isConnected());
        rig.link.RemoveListener(station, &watch);
    }
}

}  // namespace
}  // namespace korvane
