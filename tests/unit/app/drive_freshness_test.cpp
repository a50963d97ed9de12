// Which values the main list greys: the connection manager takes the link's verdicts into the
// drive record, and the list model marks those cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/connection_manager.h"
#include "app/drive_list_model.h"
#include "unit/monitor/monitor_rig.h"

namespace korvane {
namespace {

struct CountingEvents : ConnectionEvents {
    int valueChanges = 0;
    void driveValuesChanged(int) override { ++valueChanges; }
};

class DriveFreshness : public ::testing::Test {
protected:
    void SetUp() override {
        rig.link.SetMonotonicClock([this] { return now; });
        rig.drives.words[1] = {{0, 4}, {1, 4}, {2, 1}, {3, 0x0100}, {10, 3000}, {9, 55}, {14, 1}};
        manager.ScanIds({1});
        tick(20);
        ASSERT_TRUE(rig.records[1].isConnected());
        list.UpdateRow(rig.records[1]);
    }
    void tick(int n) {
        for (int i = 0; i < n; ++i) {
            now += 30'000;
            rig.tick();
        }
    }
    const DriveRow& row() {
        list.UpdateValues(rig.records[1]);
        return list.Rows().at(0);
    }

    test::MonitorRig rig{3};
    std::int64_t now = 1'000'000;
    CountingEvents events;
    ConnectionManager manager{rig.link, rig.records, events, {KORVANE_TEST_DATA_DIR, 3}};
    DriveListModel list{[](int) { return std::string(); }};
};

TEST_F(DriveFreshness, ListGreysWhatIsNotLiveAndRestoresIt) {
    struct Case {
        const char* name;
        bool silent;
        bool graphWatch;
        int ticks;
        std::vector<int> greyColumns;
    };
    // A time-out comes on the 11th tick after sending (300 ms at 30 ms ticks). Graph watch mode
    // keeps the frequency and current of the record as they were; the status and fault words
    // go on as far as graph watch polls them.
    const Case cases[] = {{"failed once", true, false, 12, {4, 5, 6, 7}},
                          {"graph watch", false, true, 3, {4, 5}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tick(10);
        EXPECT_TRUE(rig.records[1].staleAddresses.empty());
        EXPECT_EQ(row().stale, (std::array<bool, kDriveListColumns>{}));
        EXPECT_FALSE(row().iconStale);

        const int changesBefore = events.valueChanges;
        if (c.silent) rig.drives.silent.insert(1);
        manager.SetGraphWatchMode(c.graphWatch);
        tick(c.ticks);
        ASSERT_TRUE(rig.records[1].isConnected());
        EXPECT_GT(events.valueChanges, changesBefore);
        const DriveRow& stale = row();
        for (int column : c.greyColumns) EXPECT_TRUE(stale.stale[column]) << column;
        for (int column : {0, 1, 2, 3}) EXPECT_FALSE(stale.stale[column]) << column;
        EXPECT_EQ(stale.iconStale, stale.stale[6]);

        rig.drives.silent.clear();
        manager.SetGraphWatchMode(false);
        tick(30);
        EXPECT_TRUE(rig.records[1].staleAddresses.empty());
        EXPECT_FALSE(row().stale[4]);
    }
}

}  // namespace
}  // namespace korvane
