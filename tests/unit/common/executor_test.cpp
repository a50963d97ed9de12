#include "common/executor.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "common/format.h"

namespace korvane {
namespace {

TEST(QueueExecutor, RunsPostedWorkInOrderIncludingWorkPostedWhileDraining) {
    QueueExecutor ex;
    std::vector<int> seen;
    ex.post([&] {
        seen.push_back(1);
        ex.post([&] { seen.push_back(3); });
    });
    ex.post([&] { seen.push_back(2); });
    EXPECT_EQ(ex.drain(), 3u);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
}

TEST(QueueExecutor, KeepsOrderOfBytesPostedFromAnotherThread) {
    QueueExecutor ex;
    std::vector<int> seen;
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) ex.post([&seen, i] { seen.push_back(i); });
    });
    worker.join();
    ex.drain();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

// A loop that ticks between batches: work posted while a batch runs waits for the next one, and
// a deadline already passed runs nothing, so the tick is never starved.
TEST(QueueExecutor, BatchesLeaveWorkPostedMeanwhileForLater) {
    QueueExecutor ex;
    std::vector<int> seen;
    ex.post([&] {
        seen.push_back(1);
        ex.post([&] { seen.push_back(2); });
    });
    ex.runPosted();
    EXPECT_EQ(seen, std::vector<int>{1});
    ex.runUntil(QueueExecutor::Clock::now() - std::chrono::seconds(1));
    EXPECT_EQ(seen, std::vector<int>{1});
    ex.runUntil(QueueExecutor::Clock::now() + std::chrono::seconds(60));  // returns once idle
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(Strprintf, FormatsLongTextsWithoutTruncation) {
    std::string long_text(5000, 'x');
    EXPECT_EQ(strprintf("%s|%04X", long_text.c_str(), 0x1a).size(), 5005u);
    EXPECT_EQ(strprintf("%c%s%02X%c", 5, "01R01001", 0xA5, 4),
              "\x05"
              "01R01001A5\x04");
}

}  // namespace
}  // namespace korvane
