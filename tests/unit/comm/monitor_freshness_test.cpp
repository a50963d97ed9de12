#include "comm/monitor_freshness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "unit/monitor/monitor_rig.h"

namespace korvane {
namespace {

constexpr std::int64_t kSlack = 30;

// One step of a value's life: a good reply, a failed exchange, or a look at the clock.
struct Step {
    char what;  // 'r' received, 'f' failed, 'u' update
    std::int64_t at;
    bool fresh;  // the verdict after the step
};

TEST(ValueFreshness, FollowsRepliesFailuresAndOverduePolling) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"never received", {{'u', 0, false}, {'u', 10'000, false}}},
        {"a good reply", {{'r', 0, true}, {'u', 1'000'000, true}}},  // no period learned yet
        {"one failure, then a good reply",
         {{'r', 0, true}, {'f', 50, false}, {'u', 60, false}, {'r', 70, true}}},
        // Period 100: overdue once more than 2 x 100 + slack have passed since the last reply.
        {"two rounds without a reply",
         {{'r', 0, true},
          {'r', 100, true},
          {'r', 200, true},
          {'u', 430, true},
          {'u', 431, false},
          {'r', 500, true}}},
        // The interval across a failure measured the repeats, not the polling.
        {"a failed interval teaches nothing",
         {{'r', 0, true},
          {'r', 100, true},
          {'f', 150, false},
          {'r', 5000, true},
          {'u', 5230, true},
          {'u', 5231, false}}},
        // A queued request between two polls stretches an interval: no flicker.
        {"a stretched interval",
         {{'r', 0, true},
          {'r', 100, true},
          {'r', 200, true},
          {'u', 430, true},
          {'r', 430, true},
          {'u', 660, true},
          {'u', 661, false}}},
        // A round that really grew (more values polled) is taken within a few rounds.
        {"a longer round",
         {{'r', 0, true},
          {'r', 100, true},
          {'r', 200, true},
          {'r', 500, true},
          {'r', 800, true},
          {'r', 1100, true},
          {'u', 1730, true},
          {'u', 1731, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ValueFreshness v;
        for (const Step& s : c.steps) {
            if (s.what == 'r') (void)v.received(s.at);
            if (s.what == 'f') (void)v.failed();
            if (s.what == 'u') (void)v.update(s.at, kSlack);
            EXPECT_EQ(v.fresh(), s.fresh) << s.what << " at " << s.at;
        }
    }
}

TEST(ValueFreshness, ALongPauseIsForgottenWithinAFewRounds) {
    ValueFreshness v;
    std::int64_t t = 0;
    (void)v.received(t);
    (void)v.received(t += 100);
    (void)v.received(t += 15'000);  // a transfer held the polling
    for (int i = 0; i < 30; ++i) (void)v.received(t += 100);
    EXPECT_LT(v.periodUs(), 200);
    (void)v.update(t + 500, kSlack);
    EXPECT_FALSE(v.fresh());
}

// A listener that counts what the link tells it.
struct Watcher : MonitorListener {
    int results = 0;
    int notices = 0;
    void OnDriveMonitor(int, const DriveReply&) override { ++results; }
    void OnMonitorFreshness(int) override { ++notices; }
};

// The link on a fake line with a clock that moves 30 ms per tick.
class LinkFreshness : public ::testing::Test {
protected:
    void SetUp() override {
        rig.link.SetMonotonicClock([this] { return now; });
        rig.link.AddMonitorAddresses(1, addresses.data(), static_cast<int>(addresses.size()));
        rig.link.AddListener(1, &watcher);
        rig.drives.words[1] = {{5, 4000}, {10, 3990}, {9, 12}};
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            now += 30'000;
            rig.tick();
        }
    }
    bool fresh(int address) { return rig.link.IsMonitorValueFresh(1, address); }

    test::MonitorRig rig{3};
    std::int64_t now = 1'000'000;
    std::vector<int> addresses{5, 10, 9};
    Watcher watcher;
};

TEST_F(LinkFreshness, StaleAfterOneFailureOrTwoRoundsLiveAgainOnTheNextGoodReply) {
    struct Case {
        const char* name;
        // What makes the values stale: a silent drive, or a queue that holds the polling.
        bool silent;
        int queued;
    };
    const Case cases[] = {{"one failed exchange", true, 0}, {"polling held", false, 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tick(12);  // registration and a few rounds
        for (int a : addresses) EXPECT_TRUE(fresh(a)) << a;
        const int noticesBefore = watcher.notices;
        if (c.silent) rig.drives.silent.insert(1);
        for (int i = 0; i < c.queued; ++i) rig.link.QueueRead(1, 0x100 + i, nullptr);
        tick(c.silent ? 12 : 6);  // the first time-out, or six held polls
        for (int a : addresses) EXPECT_FALSE(fresh(a)) << a;
        if (!c.silent) {
            EXPECT_GT(watcher.notices, noticesBefore);  // told without a result
        }
        rig.drives.silent.clear();
        tick(30);
        for (int a : addresses) EXPECT_TRUE(fresh(a)) << a;
    }
    EXPECT_FALSE(rig.link.IsMonitorValueFresh(1, 0x777));  // nobody polls it
}

}  // namespace
}  // namespace korvane
