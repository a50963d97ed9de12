#include <algorithm>

#include "comm/drive_link_impl.h"

namespace korvane {

void CDriveLink::Impl::OnTick() {
    if (!timerRunning) return;
    ++lineTicks;
    if (pacing == Pacing::kFast) {
        FastStep();
        return;
    }
    if (retryCounter > retryLimit) {
        GiveUp();
        // A receiver of the final failure may have re-opened the link meanwhile.
        if (!timerRunning) return;
    }
    // A repeat goes out on the tick after its time-out; a final one frees the line at once.
    if (waiting && !CountTick()) return;
    if (guarding && !GuardPassed()) return;
    StartNextExchange();
}

// The same steps as a tick, each as soon as its time has come rather than on the next tick.
void CDriveLink::Impl::FastStep() {
    if (retryCounter > retryLimit) {
        GiveUp();
        if (!timerRunning) return;
    }
    const std::int64_t now = clock();
    if (waiting) {
        if (now - sentAtUs <= exchangeTimeoutUs) return;
        if (!TimedOut()) return;
    }
    if (guarding) {
        if (!FastGuardPassed(now)) return;
        EndGuard();
    }
    if (now - lastByteUs < gapUs) return;
    StartNextExchange();
}

std::int64_t CDriveLink::Impl::UntilDue() const {
    const std::int64_t now = clock();
    std::int64_t due = now + std::int64_t{kFastTimerMs} * 1000;
    if (waiting) {
        due = std::min(due, sentAtUs + exchangeTimeoutUs + 1);
    } else if (guarding) {
        due = std::min(due, std::max(guardFromUs, lastByteUs) + guardUs);
    } else {
        due = std::min(due, lastByteUs + gapUs);
    }
    return std::max<std::int64_t>(0, due - now);
}

// The exchange failed retry-limit + 1 times. State is settled before anyone hears of it, so a
// receiver that queues requests or registers again is not undone afterwards.
void CDriveLink::Impl::GiveUp() {
    reply.failingCode = reply.errorCode;
    reply.errorCode = kErrRetriesExhausted;
    reply.retryCounter = retryCounter;
    const DriveReply result = reply;
    retryCounter = 0;
    tickCount = 0;
    waiting = false;
    PostActivity(kActivityError);
    if (servingQueue) {
        servingQueue = false;
        if (queue.empty()) return;
        DriveRequest request = std::move(queue.front());
        queue.pop_front();
        DeliverToRequester(request, result);
        return;
    }
    // Windows learn that the station is gone from this last result.
    std::vector<ListenerRef> listeners = monitors.Listeners(result.station);
    monitors.DropStation(result.station);
    reRegistered[result.station & 0xFF] = false;
    DeliverToListeners(result.station, result, listeners, false);
}

// True when the exchange timed out for the last time and the line is free for the next one.
bool CDriveLink::Impl::CountTick() {
    if (++tickCount <= exchangeTimeoutTicks) return false;
    return TimedOut();
}

// The reply is missing. A final failure is given up at once: a scan of absent stations then
// costs each one its time-outs and nothing more.
bool CDriveLink::Impl::TimedOut() {
    Conclude(kErrTimeout);
    if (retryCounter <= retryLimit) return false;
    GiveUp();
    return timerRunning && !waiting;
}

}  // namespace korvane
