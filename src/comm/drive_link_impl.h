#pragma once
// The drive link's state, shared by the files that implement it by job: the exchange on the
// line (drive_link.cpp), request pacing and time-outs (drive_link_pacing.cpp), the late-reply
// guard (drive_link_guard.cpp) and monitoring rounds (drive_link_monitor.cpp).
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "comm/drive_link.h"
#include "comm/modbus_codec.h"
#include "comm/monitor_registry.h"
#include "comm/owed_replies.h"
#include "comm/tk485_codec.h"

namespace korvane {

// How often the owner's short timer runs in fast pacing.
constexpr int kFastTimerMs = 1;

std::int64_t SteadyMicroseconds();

struct CDriveLink::Impl {
    Impl(Executor& ex, PortFactory factory) : executor(ex), portFactory(std::move(factory)) {}
    ~Impl() { ClosePort(); }

    int Open(ActivityHandler handler, int mode, const PortSettings& settings, int timeoutMs,
             int tick, int retryCount);
    void ClosePort();

    void OnTick();
    void FastStep();
    bool FastGuardPassed(std::int64_t now) const;
    bool GuardMayEnd(bool silent, std::int64_t now) const;
    std::int64_t UntilDue() const;
    void GiveUp();
    bool CountTick();
    bool TimedOut();
    void StartGuard(std::int64_t owedSentUs, std::int64_t now);
    bool GuardPassed();
    void EndGuard();
    // Readies the assembler for the next answer after one was swallowed: the exchange's own,
    // or while none is on the line an answer `station` owes.
    void ExpectNextAnswer(int station);
    // The link's one time source for a pacing: fast pacing reads `clock`, tick pacing counts
    // its ticks, so what the guard and the owed answers compare is always the same kind of time.
    std::int64_t LineNowUs() const {
        return pacing == Pacing::kFast ? clock() : lineTicks * tickMs * 1000;
    }
    void StartNextExchange();
    bool LeftoverRepetition() const;
    void UseLinkLimits();
    void PrepareQueued(const DriveRequest& request);
    bool ChoosePollTarget();
    void PrepareMonitor();
    void PrepareTk485Monitor(int station);
    void Send();

    void OnByte(std::uint8_t byte);
    // False when the completed answer was an owed one, paid and dropped.
    bool AnswerStands();
    void Conclude(int error);
    void ConcludePoll(int error);
    void AdvancePoll();

    void PostActivity(int activity);
    // Values whose polling became overdue since the last check; their listeners are told.
    void CheckFreshness();
    std::int64_t FreshnessSlackUs() const { return std::int64_t{tickMs} * 1000; }
    void DeliverToRequester(const DriveRequest& request, const DriveReply& result);
    void DeliverToListeners(int station, const DriveReply& result,
                            const std::vector<ListenerRef>& listeners, bool mustStillListen);

    bool Tk485() const { return commMode == kCommTk485; }

    Executor& executor;
    PortFactory portFactory;
    std::unique_ptr<Port> port;
    // Bytes and notices posted to the executor may run after the port was replaced or the link
    // destroyed; they act only while the token they captured is still held here.
    std::shared_ptr<char> portToken;
    std::shared_ptr<char> alive = std::make_shared<char>(0);
    ActivityHandler activity;
    FrameTrace trace;

    int commMode = kCommTk485;
    std::deque<DriveRequest> queue;
    MonitorRegistry monitors;
    bool servingQueue = false;
    bool waiting = false;
    bool timerRunning = false;
    Pacing pacing = Pacing::kTick;
    Pacing nextPacing = Pacing::kTick;
    MonotonicClock clock = SteadyMicroseconds;
    // Fast pacing counts in microseconds of `clock` instead of ticks.
    std::int64_t timeoutUs = 0;
    std::int64_t guardUs = 0;
    std::int64_t guardLimitUs = 0;
    std::int64_t gapUs = 0;
    std::int64_t sentAtUs = 0;
    std::int64_t guardFromUs = 0;
    std::int64_t lastByteUs = 0;
    bool graphWatch = false;
    std::int64_t freshnessCheckedUs = 0;
    int tickMs = 30;
    int tickCount = 0;
    int timeoutTicks = 0;
    int linkRetryLimit = 0;
    // The exchange on the line: a probe waits less and is not repeated.
    int exchangeTimeoutTicks = 0;
    std::int64_t exchangeTimeoutUs = 0;
    int retryLimit = 0;
    // Tick pacing measures how long an answer may still come in ticks of the line.
    std::int64_t lineTicks = 0;
    std::int64_t sentAtLineUs = 0;
    // A reply may come later than the time-out, and TK485 R, Y and MODBUS read replies carry no
    // address: taken for another request's answer it would be a plausible wrong value. The
    // answers each station owes are counted, and each one that comes pays its debt and is
    // dropped. Before a request that could take an owed answer for its own, the line must stay
    // silent for a whole guard interval (one time-out), and an answer owed by a repeat that
    // took its predecessor's must have come (or expired).
    OwedReplies owed;
    // The guard holds back this exchange, prepared already, until the line is silent.
    bool held = false;
    // An answer owed by another station could arrive during this exchange.
    bool strayPossible = false;
    bool guarding = false;
    int silentTicks = 0;
    int guardTicks = 0;
    // A line that never falls silent (a babbling device, noise) holds the guard only this long:
    // late answers come in ones, so they are long over, and the requests must still end.
    int guardLimitTicks = 0;
    int guardedTicks = 0;
    // Stations whose refused Y was already answered by registering again: a second refusal
    // counts against the station like any failure.
    std::array<bool, 256> reRegistered{};
    int retryCounter = 0;
    int pollStation = 0;
    int pollIndex = 0;
    int firstPoll = 0;
    int lastPoll = 0;

    // The exchange on the line (or the one to repeat): its bytes, what its reply must match,
    // and the record handed out with the result.
    std::string frame;
    tk485::Expectation tkExpect;
    modbus::Expectation mbExpect;
    DriveReply reply;
    tk485::Tk485Assembler tkAssembler;
    modbus::ModbusAssembler mbAssembler;
};

}  // namespace korvane
