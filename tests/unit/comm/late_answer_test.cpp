// Answers that come after their time-out, from a drive that answers in order: each is
// swallowed where it could pass for another question's, and a request never gets the word of
// another address, however late the drive is or whichever answers it loses.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/drive_reply.h"
#include "support/ticked_link.h"

namespace korvane {
namespace {

using test::ParseRequest;

constexpr int kLost = -1;
// Time-out 300 ms at 30 ms ticks: declared on the 11th tick after sending.
constexpr int kTimeoutMs = 300;

int WordAt(int station, int address) {
    return ((station << 12) ^ address) & 0xFFFF;
}

struct Sink : ReplySink {
    std::vector<DriveReply> finals;
    std::vector<int> endTicks;
    int* tick = nullptr;
    void OnDriveReply(int, const DriveReply& r) override {
        if (!IsFinalReply(r)) return;
        finals.push_back(r);
        endTicks.push_back(*tick);
    }
};

// A drive that answers its transmissions one after the other, the n-th `delays[n]` ticks after
// it was sent (kLost: never), later ones after 2 ticks; never two at once, never out of order.
class InOrderDrive : public test::TickedLink {
public:
    InOrderDrive(int mode, int retries, std::vector<int> delays) : delays_(std::move(delays)) {
        line->responder = [this, mode](const std::string& f) -> std::optional<std::string> {
            const std::size_t n = sentTicks.size();
            sentTicks.push_back(tickNo);
            const int delay = n < delays_.size() ? delays_[n] : 2;
            if (delay == kLost) return std::nullopt;
            const int at = std::max(tickNo + delay, lastAnswerTick_ + 1);
            lastAnswerTick_ = at;
            const auto r = ParseRequest(mode, f);
            AnswerAfter(at - tickNo,
                        test::ReadReply(mode, r.station, WordAt(r.station, r.address)));
            return std::nullopt;
        };
        opened = link->Open(nullptr, mode, PortSettings{}, kTimeoutMs, 30, retries) == kLinkOpenOk;
    }
    std::vector<int> sentTicks;
    bool opened = false;

private:
    std::vector<int> delays_;
    int lastAnswerTick_ = 0;
};

struct LateCase {
    const char* name;
    int retries;
    std::vector<int> delays;  // per transmission, in the order sent
    // The results of reads of station 1 at 0x100, 0x101, 0x100: true = the right word, false =
    // a failure (never another word).
    std::vector<bool> answered;
    std::size_t transmissions;  // how many requests went out in all
};

class LateAnswers : public ::testing::TestWithParam<std::tuple<LateCase, int>> {};

TEST_P(LateAnswers, AreSwallowedAndNeverTakenForAnotherQuestion) {
    const LateCase& c = std::get<0>(GetParam());
    const int mode = std::get<1>(GetParam());
    InOrderDrive drive(mode, c.retries, c.delays);
    ASSERT_TRUE(drive.opened);
    Sink sink;
    sink.tick = &drive.tickNo;
    const int addresses[] = {0x100, 0x101, 0x100};
    for (int a : addresses) drive.link->QueueRead(1, a, &sink);
    for (int i = 0; i < 600 && sink.finals.size() < 3; ++i) drive.Tick();
    ASSERT_EQ(sink.finals.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const DriveReply& r = sink.finals[i];
        if (c.answered[i]) {
            EXPECT_EQ(r.errorCode, kErrNone) << c.name << " read " << i;
            EXPECT_EQ(r.values[0], WordAt(1, addresses[i])) << c.name << " read " << i;
        } else {
            EXPECT_EQ(r.errorCode, kErrRetriesExhausted) << c.name << " read " << i;
        }
    }
    EXPECT_EQ(drive.sentTicks.size(), c.transmissions) << c.name;
}

const LateCase kLateCases[] = {
    // The first read times out; its answer comes before the second read may go out, and is
    // swallowed rather than taken as the second's.
    {"one_late_answer_swallowed", 0, {13}, {false, true, true}, 3},
    // Both tries of the first read time out and both answers come later: the second read waits
    // for both.
    {"two_owed", 1, {30, 30}, {false, true, true}, 4},
    // The first try's answer comes during the repeat and answers the same question; the
    // repeat's own, owed, is swallowed before the next question.
    {"late_answer_taken_by_the_repeat", 1, {13, 13}, {true, true, true}, 4},
    // As above, but the repeat's own answer comes later than a guard's silence would wait: the
    // drive showed how slow it is, and that answer is awaited.
    {"repeats_answer_slower_than_the_guard", 1, {20, 25}, {true, true, true}, 4},
    // The first try is lost and the repeat answered: what looks like the repeat's own debt is
    // waited out, once, and every value is right.
    {"a_lost_answer_costs_a_wait_not_a_value", 1, {kLost, 2}, {true, true, true}, 4},
    // A drive slower than the time-out on every answer: slow, never wrong.
    {"every_answer_late",
     3,
     {20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20},
     {true, true, true},
     6},
};

INSTANTIATE_TEST_SUITE_P(BothProtocols, LateAnswers,
                         ::testing::Combine(::testing::ValuesIn(kLateCases),
                                            ::testing::Values(kCommTk485, kCommModbus)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == kCommTk485 ? "_tk485" : "_modbus");
                         });

// The same in fast pacing, where the next request goes out the moment the line allows: a late
// answer still never passes for the next question's.
TEST(LateAnswers, FastPacingNeverTakesANeighboursWord) {
    for (int mode : {kCommTk485, kCommModbus}) {
        test::TickedLink rig;
        std::int64_t nowUs = 0;
        rig.link->SetMonotonicClock([&nowUs] { return nowUs; });
        rig.link->SetPacing(Pacing::kFast);
        int lastAnswerTick = 0;
        rig.line->responder = [&](const std::string& f) -> std::optional<std::string> {
            // 1.8 time-outs late, in order.
            const int at = std::max(rig.tickNo + 18, lastAnswerTick + 1);
            lastAnswerTick = at;
            const auto r = ParseRequest(mode, f);
            rig.AnswerAfter(at - rig.tickNo,
                            test::ReadReply(mode, r.station, WordAt(r.station, r.address)));
            return std::nullopt;
        };
        ASSERT_EQ(rig.link->Open(nullptr, mode, PortSettings{}, kTimeoutMs, 30, 3), kLinkOpenOk);
        Sink sink;
        sink.tick = &rig.tickNo;
        const int addresses[] = {0x100, 0x101, 0x102, 0x103, 0x100, 0x101};
        for (int a : addresses) rig.link->QueueRead(1, a, &sink);
        // Ten fast steps per 30 ms tick.
        for (int i = 0; i < 3000 && sink.finals.size() < 6; ++i) {
            for (int k = 0; k < 10; ++k) {
                nowUs += 3000;
                rig.link->OnTick();
                rig.ex.drain();
            }
            rig.Tick();
        }
        ASSERT_EQ(sink.finals.size(), 6u) << mode;
        for (std::size_t i = 0; i < 6; ++i) {
            if (sink.finals[i].errorCode != kErrNone) continue;
            EXPECT_EQ(sink.finals[i].values[0], WordAt(1, addresses[i])) << mode << " read " << i;
        }
    }
}

}  // namespace
}  // namespace korvane
