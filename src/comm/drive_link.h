#pragma once
// CDriveLink: the single gateway between the program's windows and the drives. One exchange on
// the line at a time; queued requests go before cyclic monitoring. Driven by OnTick() (the
// owner's 30 ms timer) and by received bytes; everything runs on the protocol thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "comm/drive_reply.h"
#include "comm/port.h"

namespace korvane {

class Executor;

enum CommMode : int { kCommModbus = 0, kCommTk485 = 1 };

// What the main window's TX/RX indicator is told after each step.
enum CommActivity : int { kActivitySent = 1, kActivityGoodReply = 2, kActivityError = 3 };

enum LinkOpenResult : int { kLinkOpenOk = 0, kLinkOpenNoWindow = 1, kLinkOpenPortFailed = 2 };

// Tick: one exchange per timer tick. Fast: the next request follows as soon as the line is idle
// (reply complete, or time-out plus the late-reply guard) and its minimum gap has passed.
enum class Pacing : int { kTick = 0, kFast = 1 };

// The line's minimum silence before a request, in microseconds, for this protocol and framing.
std::int64_t MinimumGapUs(int commMode, const PortSettings& settings);

class CDriveLink {
public:
    using ActivityHandler = std::function<void(int activity)>;
    // Every frame sent (sent = true) and every complete reply received, for tracing.
    using FrameTrace = std::function<void(bool sent, const std::uint8_t* bytes, std::size_t n)>;
    // Microseconds of a steady clock; fast pacing measures time-outs, guards and gaps with it.
    using MonotonicClock = std::function<std::int64_t()>;

    CDriveLink(Executor& executor, PortFactory portFactory);
    ~CDriveLink();
    CDriveLink(const CDriveLink&) = delete;
    CDriveLink& operator=(const CDriveLink&) = delete;

    // May be called again at any time (port setup). Returns a LinkOpenResult.
    [[nodiscard]] int Open(ActivityHandler activity, int commMode, const PortSettings& settings,
                           int timeoutMs, int tickMs, int retryCount);

    void QueueRead(int station, int address, ReplySink* requester);
    void QueueWrite(int station, int address, int value, ReplySink* requester);
    // A read asked once, whose time-out is the shorter of timeoutMs and the link's own: whether
    // a station answers at all. A failure ends it with kErrRetriesExhausted as usual.
    void QueueProbe(int station, int address, int timeoutMs, ReplySink* requester);

    int AddMonitorAddresses(int station, const int* addresses, int count);
    int RemoveMonitorAddresses(int station, const int* addresses, int count);
    bool AddListener(int station, MonitorListener* listener);
    bool RemoveListener(int station, MonitorListener* listener);

    // Whether a monitored value is live: registered, received, its last exchange did not fail
    // and its polling is not overdue (two polling periods without a good reply). Listeners
    // hear of a change through each result and through MonitorListener::OnMonitorFreshness.
    bool IsMonitorValueFresh(int station, int address) const;

    void SetPollRange(int first, int last);
    void SetGraphWatchActive(bool active);

    // Takes effect at the next Open.
    void SetPacing(Pacing pacing);
    Pacing CurrentPacing() const;
    // Tests drive time by hand; the default is std::chrono::steady_clock.
    void SetMonotonicClock(MonotonicClock clock);

    // The owner's timer: runs while IsTimerRunning(), every TimerMs(). In tick pacing that is
    // the tick; in fast pacing a short timer that tells the link the line may be idle.
    void OnTick();
    bool IsTimerRunning() const;
    int TickMs() const;
    int TimerMs() const;
    // Fast pacing: how long the owner may wait before calling OnTick() again without delaying
    // anything the link has scheduled (a new request still needs a call soon after queueing).
    std::int64_t MicrosecondsUntilDue() const;

    void SetFrameTrace(FrameTrace trace);

    int CommModeValue() const;
    // Requests not yet finished (the one being served included), and whether an exchange is on
    // the line: a script waits for both to settle.
    std::size_t QueueLength() const;
    bool IsWaiting() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane
