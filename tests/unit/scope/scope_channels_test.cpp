// The channel panel's lists: a window refills them only when the channel set says what they
// hold changed, so nothing that merely samples may say so.
#include "scope/scope_channels.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "comm/drive_link.h"
#include "common/clock.h"
#include "common/executor.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"
#include "host/tool_services.h"
#include "paradb/drive_record.h"
#include "paradb/monitor_list.h"
#include "scope/memory_chart.h"
#include "scope/scope_monitor.h"
#include "support/fake_port.h"
#include "support/link_verdicts.h"

namespace korvane::scope {
namespace {

class NoTimers : public ScopeTimers {
public:
    void start(ScopeClock, int) override {}
    void stop(ScopeClock) override {}
};

// The cases act on the fixture from outside it.
class ScopeListsTest : public ::testing::Test {
public:
    ScopeListsTest() {
        connect(1, 4);
        connect(2, 4);
        store_.setInt(kScopeSection, "Ch0-On", 1);
        store_.setInt(kScopeSection, "Ch0-ID", 1);
        store_.setInt(kScopeSection, "Ch0-Addr", 10);
        std::vector<MonitorItem> items;
        BuildMonitorList(4, 0x0100, kMonitorListAll, items);
        int index = 0;
        while (items.at(static_cast<std::size_t>(index)).address != 10) ++index;
        store_.setInt(kScopeSection, "Ch0-AddrIndex", index);
        monitor_.channelSet().setFreshness(verdicts_.query());
        monitor_.open();
        monitor_.startMonitoring();
    }
    void connect(int station, int series) {
        DriveRecord& r = records_[station];
        r.connected = r.supported = 1;
        r.seriesCode = series;
        r.version = 0x0100;
    }
    void poll(int raw) {
        DriveReply reply;
        reply.station = 1;
        reply.command = 'R';
        reply.wordCount = 1;
        reply.addresses[0] = 10;
        reply.values[0] = raw;
        verdicts_.note(1, reply);
        monitor_.channelSet().OnDriveMonitor(1, reply);
    }
    unsigned revision(int channel) const { return monitor_.channels()[channel].listsRevision; }

    QueueExecutor executor_;
    CDriveLink link_{executor_,
                     test::MakeFakePortFactory(executor_, std::make_shared<test::FakeLine>())};
    DriveRecords records_;
    MemorySettingsStore store_;
    RecordingPrompter prompter_;
    FixedClock clock_{LocalTime{2026, 12, 8, 10, 0, 0, 0}};
    StandaloneToolHost host_;
    ToolServices services_{link_,  records_,  store_, prompter_,
                           clock_, executor_, host_,  MakeAppDirectories("/nonexistent")};
    MemoryChart chart_;
    NoTimers timers_;
    test::LinkVerdicts verdicts_;
    ScopeMonitor monitor_{services_, chart_, timers_};
};

TEST_F(ScopeListsTest, OnlyAChangeOfWhatTheListsHoldCountsAsOne) {
    struct Case {
        const char* name;
        std::function<void(ScopeListsTest&)> act;
        bool channel0Changes;
    };
    const Case cases[] = {
        {"samples and poll results",
         [](ScopeListsTest& t) {
             for (int raw : {1000, 2000, 3000}) {
                 t.poll(raw);
                 t.verdicts_.advance(100);
                 t.monitor_.onSample();
                 t.monitor_.onSecond();
             }
         },
         false},
        {"offset, division and style",
         [](ScopeListsTest& t) {
             t.monitor_.sampler().setOffsetIndex(0, 2);
             t.monitor_.sampler().setDivIndex(0, 1);
             t.monitor_.style().setGrid(false);
         },
         false},
        {"the same drives again", [](ScopeListsTest& t) { t.monitor_.refreshStations(); }, false},
        {"the item already chosen",
         [](ScopeListsTest& t) {
             t.monitor_.chooseItem(0, t.monitor_.channels()[0].itemSelection);
         },
         false},
        {"another item", [](ScopeListsTest& t) { t.monitor_.chooseItem(0, 0); }, true},
        {"another station", [](ScopeListsTest& t) { t.monitor_.chooseStation(0, 2); }, true},
        {"a drive that comes",
         [](ScopeListsTest& t) {
             t.connect(7, 4);
             t.monitor_.refreshStations();
         },
         true},
        {"another series at an offered station",
         [](ScopeListsTest& t) {
             t.connect(7, 5);
             t.monitor_.refreshStations();
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned before = revision(0);
        c.act(*this);
        EXPECT_EQ(revision(0) != before, c.channel0Changes);
    }
    EXPECT_TRUE(monitor_.monitoring()) << "every case ran during a run";
}

}  // namespace
}  // namespace korvane::scope
