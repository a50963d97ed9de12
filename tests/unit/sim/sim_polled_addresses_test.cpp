// Every word the program polls from a drive must exist on a simulated drive of each series and
// version there is a data file for: a refused poll makes the program drop the drive.
#include <gtest/gtest.h>

#include <set>

#include "app/connection_manager.h"
#include "monitor/info_sheet.h"
#include "monitor/keypad_model.h"
#include "paradb/data_catalogue.h"
#include "paradb/monitor_list.h"
#include "sim/data_file_parameters.h"
#include "sim/sim_drive.h"

namespace korvane::sim {
namespace {

std::set<int> PolledAddresses(int series, int version) {
    std::set<int> all;
    auto add = [&](const std::vector<int>& list) { all.insert(list.begin(), list.end()); };
    add(MonitoredAddresses(series, version));
    add(FaultAddresses(series, version));
    add(RunPageAddresses(series));
    add(TerminalPageAddresses());
    add(FaultPageAddresses(series, version));
    all.insert(DefaultSlotAddress(series, 0));
    all.insert(DefaultSlotAddress(series, 1));
    // What the keypad's displays and the graph monitor's channels can be set to.
    std::vector<MonitorItem> items;
    for (int kind : {kMonitorListAll, kMonitorListValues, kMonitorListInputs, kMonitorListOutputs,
                     kMonitorListTrips})
        BuildMonitorList(series, version, kind, items);
    for (const MonitorItem& item : items) all.insert(item.address);
    return all;
}

TEST(SimPolledAddresses, EverySeriesWithADataFileServesWhatTheProgramPolls) {
    VersionCatalogue catalogue;
    catalogue.Build(KORVANE_TEST_DATA_DIR);
    int drives = 0;
    for (int series = 0; series < 32; ++series) {
        for (std::uint16_t version : catalogue.Versions(series)) {
            SimDrive drive({1, series, version, 3, 1});
            ASSERT_TRUE(ApplyDataFile(drive, KORVANE_TEST_DATA_DIR)) << series;
            ++drives;
            for (int address : PolledAddresses(series, version)) {
                std::uint16_t value = 0;
                EXPECT_EQ(drive.read(static_cast<std::uint16_t>(address), value), Access::Ok)
                    << "series " << series << " version " << std::hex << version << " address 0x"
                    << address;
            }
        }
    }
    EXPECT_GE(drives, 8);
}

}  // namespace
}  // namespace korvane::sim
