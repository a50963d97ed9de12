// The link in fast pacing, on a line whose clock the test moves: requests follow replies after
// the line's minimum gap, time-outs and the late-reply guard are measured in microseconds, and
// faults never turn into wrong values in either pacing.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"
#include "support/fake_port.h"

namespace korvane {
namespace {

using test::FakeLine;
using test::MakeFakePortFactory;

// Stations hold different words: an answer lent across stations shows.
int WordAt(int station, int address) {
    return (0x2000 + address * 13 + station * 0x400) & 0xFFFF;
}

// The answer a healthy drive gives to a one-word read.
std::string AnswerRead(int commMode, const std::string& frame) {
    if (commMode == kCommTk485) {
        int station = 0, address = 0;
        EXPECT_TRUE(tk485::ParseHex(frame.substr(1, 2), station));
        EXPECT_TRUE(tk485::ParseHex(frame.substr(4, 4), address));
        int word = WordAt(station, address);
        return tk485::BuildAckReply(station, 'R', &word, 1);
    }
    int reg = (static_cast<std::uint8_t>(frame[2]) << 8) | static_cast<std::uint8_t>(frame[3]);
    const int station = static_cast<std::uint8_t>(frame[0]);
    modbus::Frame r = modbus::BuildReadReply(station, WordAt(station, reg + 1));
    return std::string(r.begin(), r.end());
}

struct Faults {
    int dropPct = 0;
    int corruptPct = 0;
    int latePct = 0;  // answered later than the time-out
};

// A line with its own microsecond clock: each frame's answer arrives after the line time of
// request and reply plus the drive's turnaround, and the owner's timer runs every TimerMs().
class TimedLine {
public:
    TimedLine(int commMode, Pacing pacing, int baud, Faults faults = {}, int timeoutMs = 300)
        : mode_(commMode), faults_(faults), timeoutMs_(timeoutMs) {
        settings_.baudRate = baud;
        link_->SetMonotonicClock([this] { return now_; });
        link_->SetPacing(pacing);
        line_->responder = [this](const std::string& f) -> std::optional<std::string> {
            Schedule(f);
            return std::nullopt;
        };
        opened_ = link_->Open(nullptr, commMode, settings_, timeoutMs, 30, 3) == kLinkOpenOk;
        nextTimer_ = now_ + timerUs();
    }

    std::int64_t timerUs() const { return std::int64_t{link_->TimerMs()} * 1000; }
    double charUs() const { return 10.0 * 1e6 / settings_.baudRate; }

    // Moves the clock in small steps, delivering due answers and running the owner's timer.
    void RunFor(std::int64_t us, const std::function<bool()>& done = {}) {
        const std::int64_t end = now_ + us;
        while (now_ < end && !(done && done())) {
            now_ += 50;
            Deliver();
            if (now_ >= nextTimer_) {
                nextTimer_ += timerUs();
                link_->OnTick();
                ex_.drain();
            }
        }
    }

    void Deliver() {
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->first > now_) {
                ++it;
                continue;
            }
            line_->Inject(it->second);
            it = pending_.erase(it);
        }
        ex_.drain();
    }

    CDriveLink& link() { return *link_; }
    FakeLine& line() { return *line_; }
    std::int64_t now() const { return now_; }
    bool opened() const { return opened_; }
    bool answer = true;

private:
    void Schedule(const std::string& frame) {
        if (!answer || roll(faults_.dropPct)) return;
        std::string reply = AnswerRead(mode_, frame);
        if (roll(faults_.corruptPct)) reply[reply.size() - (mode_ == kCommTk485 ? 2 : 1)] ^= 1;
        auto lineUs = static_cast<std::int64_t>(
            static_cast<double>(frame.size() + reply.size()) * charUs() + kTurnaroundUs);
        if (roll(faults_.latePct))
            lineUs += std::int64_t{timeoutMs_} * 1000 * (1 + static_cast<int>(rng_() % 3));
        pending_.emplace_back(now_ + lineUs, reply);
    }
    bool roll(int pct) { return static_cast<int>(rng_() % 100) < pct; }

    static constexpr std::int64_t kTurnaroundUs = 2000;
    int mode_;
    Faults faults_;
    int timeoutMs_;
    PortSettings settings_;
    std::int64_t now_ = 1'000'000;
    std::int64_t nextTimer_ = 0;
    std::mt19937 rng_{12345};
    std::vector<std::pair<std::int64_t, std::string>> pending_;
    QueueExecutor ex_;
    std::shared_ptr<FakeLine> line_ = std::make_shared<FakeLine>();
    std::unique_ptr<CDriveLink> link_ =
        std::make_unique<CDriveLink>(ex_, MakeFakePortFactory(ex_, line_));
    bool opened_ = false;
};

struct Results : ReplySink {
    int good = 0, wrong = 0, failed = 0, notices = 0;
    void OnDriveReply(int, const DriveReply& r) override {
        if (r.errorCode == kErrNone) {
            (r.values[0] == WordAt(r.station, r.addresses[0]) ? good : wrong) += 1;
        } else if (r.errorCode == kErrRetriesExhausted) {
            ++failed;
        } else {
            ++notices;
        }
    }
    int ended() const { return good + wrong + failed; }
};

struct GapCase {
    int commMode;
    int baud;
    std::int64_t gapUs;
};

class FastPacing : public ::testing::TestWithParam<GapCase> {};

TEST_P(FastPacing, NextRequestFollowsTheReplyAfterTheGapNotATick) {
    const GapCase& c = GetParam();
    PortSettings s;
    s.baudRate = c.baud;
    EXPECT_EQ(MinimumGapUs(c.commMode, s), c.gapUs);

    TimedLine t(c.commMode, Pacing::kFast, c.baud);
    ASSERT_TRUE(t.opened());
    EXPECT_EQ(t.link().CurrentPacing(), Pacing::kFast);
    Results r;
    for (int a = 1; a <= 20; ++a) t.link().QueueRead(1, a, &r);
    const std::int64_t start = t.now();
    t.RunFor(2'000'000, [&] { return r.ended() == 20; });
    EXPECT_EQ(r.good, 20);
    EXPECT_EQ(r.notices, 0);
    // Each exchange costs its line time, the turnaround, the gap and at most one step of the
    // owner's short timer; one exchange per 30 ms tick would need 600 ms.
    const std::string& q = t.line().sent[0];
    const double chars = static_cast<double>(q.size() + AnswerRead(c.commMode, q).size());
    const double exchangeUs =
        chars * t.charUs() + 2000 + static_cast<double>(c.gapUs) + static_cast<double>(t.timerUs());
    EXPECT_LE(t.now() - start, static_cast<std::int64_t>(20 * exchangeUs) + 2000);
}

TEST_P(FastPacing, NothingIsSentBeforeTheGapHasPassed) {
    const GapCase& c = GetParam();
    TimedLine t(c.commMode, Pacing::kFast, c.baud);
    Results r;
    t.link().QueueRead(1, 1, &r);
    t.link().QueueRead(1, 2, &r);
    t.RunFor(1'000'000, [&] { return r.good == 1; });
    ASSERT_EQ(r.good, 1);
    ASSERT_EQ(t.line().sent.size(), 1u);
    // The owner learns when to call again: exactly when the gap ends.
    EXPECT_EQ(t.link().MicrosecondsUntilDue(), std::min<std::int64_t>(c.gapUs, t.timerUs()));
    t.link().OnTick();
    EXPECT_EQ(t.line().sent.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, FastPacing,
                         ::testing::Values(GapCase{kCommModbus, 9600, 3646},
                                           GapCase{kCommModbus, 38400, 1750},
                                           GapCase{kCommTk485, 9600, 1042},
                                           GapCase{kCommTk485, 38400, 260}));

class FastTimeOut : public ::testing::TestWithParam<int> {};

// The time-out counts from the send in microseconds; the repeat asks the same question and
// follows at once, while another question to the same station waits for a whole time-out of
// silence, restarted by any byte, exactly as with the tick.
TEST_P(FastTimeOut, IsMeasuredFromTheSendAndGuardsOnlyAnotherQuestion) {
    TimedLine t(GetParam(), Pacing::kFast, 38400, {}, 300);
    t.answer = false;
    Results r;
    t.link().QueueRead(1, 7, &r);
    t.link().QueueRead(1, 8, &r);
    t.link().OnTick();
    ASSERT_EQ(t.line().sent.size(), 1u);
    const std::int64_t sent = t.now();
    t.RunFor(300'000 - 50);
    EXPECT_EQ(r.notices, 0);
    t.RunFor(2'000, [&] { return r.notices == 1; });
    ASSERT_EQ(r.notices, 1);
    EXPECT_LE(t.now() - sent, 300'000 + t.timerUs() + 50);
    t.RunFor(5'000, [&] { return t.line().sent.size() == 2; });
    ASSERT_EQ(t.line().sent.size(), 2u);
    EXPECT_EQ(t.line().sent[1], t.line().sent[0]);

    t.RunFor(2'000'000, [&] { return r.failed == 1; });
    ASSERT_EQ(r.failed, 1);
    const std::size_t tries = t.line().sent.size();
    // A stray byte half-way through the guard restarts it.
    t.RunFor(150'000);
    t.line().Inject("\x01");
    t.Deliver();
    const std::int64_t stray = t.now();
    t.RunFor(300'000 - 2 * t.timerUs());
    EXPECT_EQ(t.line().sent.size(), tries);
    t.answer = true;
    t.RunFor(300'000, [&] { return t.line().sent.size() == tries + 1; });
    ASSERT_EQ(t.line().sent.size(), tries + 1);
    EXPECT_GE(t.now() - stray, 300'000);
    EXPECT_NE(t.line().sent.back(), t.line().sent[0]);
    t.RunFor(100'000);
    EXPECT_EQ(r.good, 1);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, FastTimeOut, ::testing::Values(kCommModbus, kCommTk485));

struct FaultCase {
    const char* name;
    int commMode;
    Pacing pacing;
};
// Names the case in test listings instead of its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class PacingUnderFaults : public ::testing::TestWithParam<FaultCase> {};

// Replies carry no address: a late one taken for the next request would be a plausible wrong
// value. Dropped, corrupted and late answers may only cost repeats and reported failures.
TEST_P(PacingUnderFaults, OnlyRightValuesOrReportedFailures) {
    const FaultCase& c = GetParam();
    TimedLine t(c.commMode, c.pacing, 38400, Faults{10, 5, 5}, 300);
    Results r;
    constexpr int kReads = 150;
    // Two stations in turn: late answers land in the other station's exchanges too.
    for (int i = 0; i < kReads; ++i) t.link().QueueRead(1 + i % 2, 1 + i % 40, &r);
    t.RunFor(600'000'000, [&] { return r.ended() == kReads; });
    EXPECT_EQ(r.ended(), kReads);
    EXPECT_EQ(r.wrong, 0);
    EXPECT_GT(r.good, kReads / 2);
    EXPECT_GT(r.notices, 0);
}

INSTANTIATE_TEST_SUITE_P(BothPacings, PacingUnderFaults,
                         ::testing::Values(FaultCase{"tk485_tick", kCommTk485, Pacing::kTick},
                                           FaultCase{"tk485_fast", kCommTk485, Pacing::kFast},
                                           FaultCase{"modbus_tick", kCommModbus, Pacing::kTick},
                                           FaultCase{"modbus_fast", kCommModbus, Pacing::kFast}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TickPacing, StaysOneExchangePerTick) {
    TimedLine t(kCommModbus, Pacing::kTick, 38400);
    EXPECT_EQ(t.link().TimerMs(), 30);
    Results r;
    for (int a = 1; a <= 3; ++a) t.link().QueueRead(1, a, &r);
    t.RunFor(61'000);  // two ticks
    EXPECT_EQ(t.line().sent.size(), 2u);
}

}  // namespace
}  // namespace korvane
