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

class CDriveLink {
public:
    using ActivityHandler = std::function<void(int activity)>;
    // Every frame sent (sent = true) and every complete reply received, for tracing.
    using FrameTrace = std::function<void(bool sent, const std::uint8_t* bytes, std::size_t n)>;

    CDriveLink(Executor& executor, PortFactory portFactory);
    ~CDriveLink();
    CDriveLink(const CDriveLink&) = delete;
    CDriveLink& operator=(const CDriveLink&) = delete;

    // May be called again at any time (port setup). Returns a LinkOpenResult.
    [[nodiscard]] int Open(ActivityHandler activity, int commMode, const PortSettings& settings,
                           int timeoutMs, int tickMs, int retryCount);

    void QueueRead(int station, int address, ReplySink* requester);
    void QueueWrite(int station, int address, int value, ReplySink* requester);

    int AddMonitorAddresses(int station, const int* addresses, int count);
    int RemoveMonitorAddresses(int station, const int* addresses, int count);
    bool AddListener(int station, MonitorListener* listener);
    bool RemoveListener(int station, MonitorListener* listener);

    void SetPollRange(int first, int last);
    void SetGraphWatchActive(bool active);

    // The owner's timer: runs while IsTimerRunning(), every TickMs().
    void OnTick();
    bool IsTimerRunning() const;
    int TickMs() const;

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
