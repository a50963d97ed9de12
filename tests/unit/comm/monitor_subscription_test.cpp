#include "comm/monitor_subscription.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "common/executor.h"
#include "sim/sim_engine.h"
#include "support/fake_port.h"

namespace korvane {
namespace {

constexpr int kStation = 3;

struct Window : MonitorListener {
    std::vector<DriveReply> got;
    void OnDriveMonitor(int, const DriveReply& r) override { got.push_back(r); }
    bool ReceivesDuringGraphWatch() const override { return false; }

    // The addresses of the latest good result since the last call.
    std::set<int> polled() {
        std::set<int> out;
        for (auto it = got.rbegin(); it != got.rend(); ++it) {
            if (it->errorCode != 0) continue;
            for (int i = 0; i < it->wordCount; ++i)
                out.insert(it->addresses[static_cast<std::size_t>(i)]);
            break;
        }
        got.clear();
        return out;
    }
};

// Two windows of one drive on a real link, over a line answered by a simulated drive.
class MonitorSubscriptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_.addDrive({.station = kStation, .series = 4});
        line_->responder = [this](const std::string& frame) -> std::optional<std::string> {
            if (silent_) return std::nullopt;
            nowUs_ += 1000;
            engine_.receive(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(),
                            nowUs_);
            nowUs_ += 1000000;
            sim::Bytes reply = engine_.takeDue(nowUs_);
            if (reply.empty()) return std::nullopt;
            return std::string(reply.begin(), reply.end());
        };
        ASSERT_EQ(link_.Open([](int) {}, kCommTk485, PortSettings{}, 300, 30, 1), kLinkOpenOk);
        link_.SetPollRange(kStation, kStation);
    }

    void tick(int n) {
        for (int i = 0; i < n; ++i) {
            link_.OnTick();
            executor_.drain();
        }
    }

    std::size_t framesSentDuring(int ticks) {
        const std::size_t before = line_->sent.size();
        tick(ticks);
        return line_->sent.size() - before;
    }

    QueueExecutor executor_;
    std::shared_ptr<test::FakeLine> line_ = std::make_shared<test::FakeLine>();
    CDriveLink link_{executor_, test::MakeFakePortFactory(executor_, line_)};
    sim::SimEngine engine_{sim::SimConfig{}};
    std::int64_t nowUs_ = 0;
    bool silent_ = false;
    Window a_, b_;
};

TEST_F(MonitorSubscriptionTest, WindowsSharingAnAddressKeepEachOthersCounts) {
    MonitorSubscription a(link_, a_), b(link_, b_);
    ASSERT_TRUE(a.add(kStation, {10, 9}));
    ASSERT_TRUE(b.add(kStation, {10}));
    EXPECT_FALSE(b.add(0, {10}));
    EXPECT_FALSE(b.add(256, {10}));
    tick(4);
    EXPECT_EQ(a_.polled(), (std::set<int>{9, 10}));
    EXPECT_EQ(b_.polled(), (std::set<int>{9, 10}));

    // Withdrawing twice must not take away the other window's count for address 10.
    a.withdraw(kStation);
    a.withdraw(kStation);
    a.withdrawAll();
    EXPECT_FALSE(a.isRegistered(kStation));
    tick(4);
    EXPECT_TRUE(a_.got.empty());
    EXPECT_EQ(b_.polled(), (std::set<int>{10}));

    b.withdraw(kStation);
    tick(2);
    EXPECT_EQ(framesSentDuring(10), 0u);
    EXPECT_TRUE(b_.got.empty());
}

TEST_F(MonitorSubscriptionTest, AfterTheLinkDropsAStationNothingIsWithdrawnTwice) {
    auto a = std::make_unique<MonitorSubscription>(link_, a_);
    MonitorSubscription b(link_, b_);
    a->add(kStation, {10, 9});
    b.add(kStation, {10});
    tick(3);
    silent_ = true;
    tick(60);  // two time-outs of ten ticks each end monitoring for good
    ASSERT_FALSE(b_.got.empty());
    ASSERT_EQ(b_.got.back().errorCode, kErrRetriesExhausted);
    a->linkDropped(kStation);
    b.linkDropped(kStation);
    EXPECT_FALSE(a->isRegistered(kStation));
    EXPECT_TRUE(b.pairs().empty());

    // Window b starts over; window a going away must not withdraw b's new registration.
    silent_ = false;
    b.add(kStation, {10});
    a.reset();
    b_.got.clear();
    tick(4 + 30);  // the new registration waits until the failed one's answer is no longer due
    EXPECT_EQ(b_.polled(), (std::set<int>{10}));
    EXPECT_EQ(b.pairs(), (std::vector<std::pair<int, int>>{{kStation, 10}}));
}

}  // namespace
}  // namespace korvane
