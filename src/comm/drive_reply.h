#pragma once
// A queued one-word request and the result record handed to requesters and listeners.
#include <array>
#include <memory>
#include <string>

namespace korvane {

enum DriveError : int {
    kErrNone = 0,
    kErrFrame = 1,
    kErrSum = 2,
    kErrNak = 3,
    kErrTimeout = 4,
    kErrIllegalFunction = 5,
    kErrAddressRange = 6,
    kErrDataRange = 7,
    kErrWriteMode = 8,
    kErrDpramTimeout = 9,
    kErrDpramOffline = 10,
    kErrCrc = 11,
    kErrSlaveDevice = 12,
    kErrModbusException = 13,
    kErrUndefined = 14,
    kErrRetriesExhausted = 100,
};

// The text of an error code; 14 and above (100 included) give the text of 14.
const char* ErrorText(int code);

constexpr int kMaxReplyWords = 8;

// A rejection the drive gave (codes 5..8): final, never repeated.
inline bool IsRejection(int errorCode) {
    return errorCode >= kErrIllegalFunction && errorCode <= kErrWriteMode;
}

struct DriveReply;
// Which results end a request: success, a rejection and retries exhausted. Every other error
// code is a notice that the exchange will be repeated; a requester that acted on one would act
// again on the real result.
bool IsFinalReply(const DriveReply& reply);
// The code a final failure is shown with: the last real code when the retries ran out.
int FailureCode(const DriveReply& reply);

struct DriveReply {
    int station = 0;
    int wordCount = 0;  // words read: 1 for R/W, N for Y, 0 for X (which returns none)
    std::array<int, kMaxReplyWords> addresses{};
    std::array<int, kMaxReplyWords> values{};
    int command = 0;  // 'R', 'W', 'X' or 'Y'
    int errorCode = 0;
    int retryCounter = 0;
    int failingCode = 0;
};

// Lifetime tracking for whoever receives results: the link keeps a weak reference and never
// delivers to an object that has been destroyed.
class LifetimeToken {
public:
    LifetimeToken() : alive_(std::make_shared<char>(0)) {}
    LifetimeToken(const LifetimeToken&) : alive_(std::make_shared<char>(0)) {}
    LifetimeToken& operator=(const LifetimeToken&) { return *this; }
    std::weak_ptr<const char> watch() const { return alive_; }

private:
    std::shared_ptr<char> alive_;
};

// Receives the result of a request it queued (success, retry notice or final failure).
class ReplySink {
public:
    virtual ~ReplySink() = default;
    virtual void OnDriveReply(int station, const DriveReply& reply) = 0;
    std::weak_ptr<const char> replySinkLiveness() const { return token_.watch(); }

private:
    LifetimeToken token_;
};

// Receives every monitoring result of a station it listens to.
class MonitorListener {
public:
    virtual ~MonitorListener() = default;
    virtual void OnDriveMonitor(int station, const DriveReply& reply) = 0;
    // The main frame and the graph monitor keep receiving while graph watch mode is active.
    virtual bool ReceivesDuringGraphWatch() const { return false; }
    // A value of the station went stale (or live) with no result to tell it: its polling
    // became overdue. Ask CDriveLink::IsMonitorValueFresh which.
    virtual void OnMonitorFreshness(int /*station*/) {}
    std::weak_ptr<const char> listenerLiveness() const { return token_.watch(); }

private:
    LifetimeToken token_;
};

struct DriveRequest {
    int command = 'R';  // 'R' or 'W'
    int station = 0;
    int address = 0;
    int value = 0;
    // A probe: asked once, waiting at most this long (0: the link's own time-out and retries).
    int probeTimeoutMs = 0;
    ReplySink* requester = nullptr;
    std::weak_ptr<const char> requesterAlive;  // expired once the requester is gone
};

}  // namespace korvane
