// When an answer that came too late can be taken for another request's: only a request to the
// same station that asks something else waits for the line to fall silent. A repeat, another
// station, or the same question again go out at once, and a late answer from another station
// is dropped rather than failing the exchange it lands in.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/drive_reply.h"
#include "comm/modbus_codec.h"
#include "comm/owed_replies.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "support/ticked_link.h"

namespace korvane {
namespace {

using test::ParseRequest;
using Request = test::LineRequest;

constexpr int kNever = -1;
// Time-out 300 ms at 30 ms ticks: declared on the 11th tick after sending; a guard is 10 ticks
// of silence after that.
constexpr int kTimeoutMs = 300;
constexpr int kGuardTicks = 10;

int WordAt(int station, int address) {
    return ((station << 12) ^ address) & 0xFFFF;
}

// Each request answered as a drive would.
std::string Answer(int mode, const std::string& f) {
    const Request r = ParseRequest(mode, f);
    if (!r.write) return test::ReadReply(mode, r.station, WordAt(r.station, r.address));
    if (mode != kCommTk485) return f;  // the echo
    int word = 0;
    EXPECT_TRUE(tk485::ParseHex(f.substr(9, 4), word));
    return tk485::BuildAckReply(r.station, 'W', &word, 1);
}

struct Sink : ReplySink {
    std::vector<std::pair<int, DriveReply>> got;  // tick, result
    int* tick = nullptr;
    void OnDriveReply(int, const DriveReply& r) override { got.emplace_back(*tick, r); }
    int endTick() const { return got.empty() ? -1 : got.back().first; }
};

struct GuardCase {
    const char* name;
    int retries;
    std::vector<int> firstDelays;  // ticks until each transmission of the first request is
                                   // answered, kNever for silence; later ones stay silent
    Request next;
    bool guarded;
};

// A line whose ticks the test counts; each frame is answered `delayFor` ticks after it was sent.
// With `wildClock` the link's steady clock leaps ten seconds at every reading: a tick-paced
// link counts its ticks, and nothing it decides may follow that clock.
class GuardRig : public test::TickedLink {
public:
    GuardRig(int mode, int retries, std::function<int(const std::string&)> delayFor,
             bool wildClock = false)
        : mode_(mode) {
        if (wildClock)
            link->SetMonotonicClock([us = std::int64_t{0}]() mutable { return us += 10'000'000; });
        line->responder = [this, delayFor](const std::string& f) -> std::optional<std::string> {
            const int delay = delayFor(f);
            if (delay != kNever) AnswerAfter(delay, Answer(mode_, f));
            return std::nullopt;
        };
        opened = link->Open(nullptr, mode, PortSettings{}, kTimeoutMs, 30, retries) == kLinkOpenOk;
    }

    bool opened = false;

private:
    int mode_;
};

class LateReplyGuard : public ::testing::TestWithParam<std::tuple<GuardCase, int, bool>> {
protected:
    const GuardCase& c() const { return std::get<0>(GetParam()); }
    int mode() const { return std::get<1>(GetParam()); }
    bool wildClock() const { return std::get<2>(GetParam()); }

    void SetUp() override {
        first.tick = second.tick = &rig.tickNo;
        ASSERT_TRUE(rig.opened);
    }

    int DelayFor(const std::string&) {
        if (first.got.empty() || !IsFinalReply(first.got.back().second)) {
            firstSentTicks.push_back(rig.tickNo);
            const std::size_t n = firstSentTicks.size() - 1;
            return n < c().firstDelays.size() ? c().firstDelays[n] : kNever;
        }
        if (nextSentTick < 0) nextSentTick = rig.tickNo;
        return 2;
    }
    void Tick() { rig.Tick(); }

    GuardRig rig{mode(), c().retries, [this](const std::string& f) { return DelayFor(f); },
                 wildClock()};
    std::unique_ptr<CDriveLink>& link = rig.link;
    std::vector<int> firstSentTicks;
    int nextSentTick = -1;
    Sink first, second;
};

TEST_P(LateReplyGuard, OnlyARequestThatCouldTakeTheOwedAnswerWaits) {
    link->QueueRead(1, 0x100, &first);
    const Request& n = c().next;
    if (n.write) {
        link->QueueWrite(n.station, n.address, 0x1234, &second);
    } else {
        link->QueueRead(n.station, n.address, &second);
    }
    for (int i = 0; i < 200 && second.got.empty(); ++i) Tick();

    // Every repeat of the first request follows its time-out on the next tick.
    ASSERT_GE(first.got.size(), firstSentTicks.size());
    for (std::size_t i = 1; i < firstSentTicks.size(); ++i)
        EXPECT_EQ(firstSentTicks[i] - first.got[i - 1].first, 1) << "repeat " << i;
    ASSERT_GE(nextSentTick, 0);
    const int waited = nextSentTick - first.endTick();
    if (c().guarded) {
        EXPECT_GT(waited, kGuardTicks);
    } else {
        EXPECT_LE(waited, 1);
    }
    // The next request gets its own answer, first time, whatever else was on the line.
    ASSERT_EQ(second.got.size(), 1u);
    const DriveReply& r = second.got[0].second;
    EXPECT_EQ(r.errorCode, kErrNone);
    EXPECT_EQ(r.values[0], n.write ? 0x1234 : WordAt(n.station, n.address));
}

const GuardCase kGuardCases[] = {
    {"other_station", 0, {kNever}, {2, 0x100}, false},
    {"same_station_other_address", 0, {kNever}, {1, 0x101}, true},
    {"same_station_write", 0, {kNever}, {1, 0x100, true}, true},
    {"same_question_again", 0, {kNever}, {1, 0x100}, false},
    {"repeats_then_other_station", 2, {}, {2, 0x100}, false},
    {"answered_in_time", 0, {2}, {1, 0x101}, false},
    // The first answer comes during the repeat and is taken as the repeat's: the repeat's own
    // answer is still owed.
    {"late_answer_taken_then_same_station", 2, {13}, {1, 0x101}, true},
    {"late_answer_taken_then_other_station", 2, {13}, {2, 0x100}, false},
    // The first request's answer lands in the next one's exchange and is refused by its header.
    {"late_answer_lands_at_other_station", 0, {13}, {2, 0x100}, false},
};

INSTANTIATE_TEST_SUITE_P(BothProtocols, LateReplyGuard,
                         ::testing::Combine(::testing::ValuesIn(kGuardCases),
                                            ::testing::Values(kCommTk485, kCommModbus),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == kCommTk485 ? "_tk485" : "_modbus") +
                                    (std::get<2>(info.param) ? "_wild_clock" : "");
                         });

// A guard that ends for one station says nothing about another station's answer, owed by a
// later transmission: that station's next question must still wait for it.
TEST(LateReplyGuard, EndsOnlyForTheStationItWasFor) {
    for (int mode : {kCommTk485, kCommModbus}) {
        GuardRig rig(mode, 0, [mode](const std::string& f) {
            const Request r = ParseRequest(mode, f);
            if (r.address != 0x100) return 2;
            return r.station == 1 ? kNever : 25;  // station 2 answers after its time-out
        });
        ASSERT_TRUE(rig.opened);
        Sink sink;
        sink.tick = &rig.tickNo;
        for (int station : {1, 2}) rig.link->QueueRead(station, 0x100, &sink);
        for (int station : {1, 2}) rig.link->QueueRead(station, 0x101, &sink);
        for (int i = 0; i < 300 && sink.got.size() < 6; ++i) rig.Tick();
        ASSERT_EQ(sink.got.size(), 6u) << mode;
        for (int station : {1, 2}) {
            const DriveReply& r = sink.got[3 + static_cast<std::size_t>(station)].second;
            EXPECT_EQ(r.station, station);
            EXPECT_EQ(r.errorCode, kErrNone) << mode << " station " << station;
            EXPECT_EQ(r.values[0], WordAt(station, 0x101)) << mode << " station " << station;
        }
    }
}

// What an exchange leaves owed, what an answer pays, and for how long a debt is waited for.
TEST(OwedReplies, CountsTheAnswersEachStationOwes) {
    using A = OwedReplies::Answer;
    struct Step {
        char what;  // 'x' exchange ended, 'a' an answer came
        int station;
        const char* frame;  // the exchange's question ("" for an answer while none is on the line)
        std::int64_t us;    // when it was sent (x), or when the answer came (a)
        int error;          // x: how it ended; a: the verdict expected (A as int)
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::size_t owedAtEnd;  // by station 1 at 1000
    } cases[] = {
        {"a time-out is owed, its answer pays it",
         {{'x', 1, "A", 0, kErrTimeout}, {'a', 1, "", 400, int(A::Swallowed)}},
         0},
        {"two time-outs owe two",
         {{'x', 1, "A", 0, kErrTimeout}, {'x', 1, "A", 300, kErrTimeout}},
         2},
        {"the repeat takes its predecessor's answer and owes its own",
         {{'x', 1, "A", 0, kErrTimeout}, {'a', 1, "A", 400, int(A::Repeated)}},
         1},
        {"another question swallows it",
         {{'x', 1, "A", 0, kErrTimeout}, {'a', 1, "B", 400, int(A::Swallowed)}},
         0},
        {"another station's answer pays nothing here",
         {{'x', 1, "A", 0, kErrTimeout}, {'a', 2, "", 400, int(A::Free)}},
         1},
        {"an answer in time owes nothing",
         {{'x', 1, "A", 0, kErrNone}, {'a', 1, "B", 400, int(A::Free)}},
         0},
        {"a spoilt reply is owed only while a stray answer could have spoilt it",
         {{'x', 1, "A", 0, kErrSum}, {'x', 1, "A", 0, kErrCrc}, {'x', 3, "A", 0, kErrCrc}},
         0},
        {"no more than the tries of one request",
         {{'x', 1, "A", 0, kErrTimeout},
          {'x', 1, "A", 100, kErrTimeout},
          {'x', 1, "A", 200, kErrTimeout},
          {'x', 1, "A", 300, kErrTimeout}},
         3},
        {"an answer after its lifetime is nobody's",
         {{'x', 1, "A", 0, kErrTimeout}, {'a', 1, "B", 2000, int(A::Free)}},
         0},
    };
    for (const auto& c : cases) {
        OwedReplies owed;
        owed.SetLifetime(2000);
        owed.SetLimit(3);
        for (const Step& s : c.steps) {
            if (s.what == 'x') {
                owed.AfterExchange(s.station, s.frame, s.us, s.error, s.station == 3);
            } else {
                EXPECT_EQ(int(owed.TakeAnswer(s.station, s.frame, s.us, s.us)), s.error) << c.name;
            }
        }
        EXPECT_EQ(owed.Count(1, 1000), c.owedAtEnd) << c.name;
    }
}

TEST(OwedReplies, HoldsBackAnotherQuestionToTheSameStationUntilPaidOrGivenUp) {
    OwedReplies owed;
    owed.SetLifetime(1000);
    owed.AfterExchange(1, "A", 0, kErrTimeout, false);
    owed.AfterExchange(1, "A", 300, kErrTimeout, false);
    EXPECT_TRUE(owed.MustGuard(1, "B", 999));
    EXPECT_FALSE(owed.MustAwait(1, "B", 999));  // owed after time-outs alone
    EXPECT_EQ(owed.LatestSentUs(1, 999), 300);
    EXPECT_FALSE(owed.MustGuard(1, "A", 500));  // the same question
    EXPECT_FALSE(owed.MustGuard(2, "B", 500));  // another station
    EXPECT_TRUE(owed.AnyOtherOwed(2, 500));
    EXPECT_FALSE(owed.AnyOtherOwed(1, 500));
    EXPECT_EQ(owed.TakeAnswer(1, "", 0, 600), OwedReplies::Answer::Swallowed);
    EXPECT_TRUE(owed.MustGuard(1, "B", 600));  // one of two came
    EXPECT_EQ(owed.TakeAnswer(1, "", 0, 700), OwedReplies::Answer::Swallowed);
    EXPECT_FALSE(owed.MustGuard(1, "B", 700));
    // An answer 500 late shows how slow the drive is: what it still owes is awaited, silence or
    // not, for that long and one margin more; a guard's silence gives up only the rest.
    owed.SetMargin(100);
    owed.AfterExchange(1, "A", 800, kErrTimeout, false);
    owed.AfterExchange(1, "C", 900, kErrTimeout, false);
    EXPECT_FALSE(owed.MustAwait(1, "B", 1000));
    EXPECT_EQ(owed.TakeAnswer(1, "", 0, 1300), OwedReplies::Answer::Swallowed);
    EXPECT_TRUE(owed.MustAwait(1, "B", 1499));  // 900 + 500 + 100
    EXPECT_FALSE(owed.MustAwait(1, "B", 1500));
    // The repeat took its predecessor's answer: its own is awaited as long.
    owed.AfterExchange(1, "A", 2000, kErrTimeout, false);
    EXPECT_EQ(owed.TakeAnswer(1, "A", 2300, 2400), OwedReplies::Answer::Repeated);
    owed.AfterExchange(1, "D", 2350, kErrTimeout, false);
    owed.SettleAfterGuard(1, 2500);
    EXPECT_EQ(owed.Count(1, 2500), 1u);         // D given up, the repeat's awaited
    EXPECT_TRUE(owed.MustAwait(1, "B", 2799));  // 2300 + 400 + 100
    EXPECT_FALSE(owed.MustAwait(1, "B", 2800));
    // A closed port owes nothing.
    owed.AfterExchange(2, "A", 800, kErrTimeout, false);
    owed.Clear();
    EXPECT_FALSE(owed.IsOwed(2, 900));
}

}  // namespace
}  // namespace korvane
