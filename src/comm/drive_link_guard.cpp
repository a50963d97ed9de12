#include <algorithm>

#include "comm/drive_link_impl.h"

namespace korvane {

// Silence counts from the owed transmission's time-out on, as when each time-out had a guard.
// `now` and `owedSentUs` are both line time (LineNowUs): a tick-paced link must not measure
// part of its guard by a clock its ticks do not follow.
void CDriveLink::Impl::StartGuard(std::int64_t owedSentUs, std::int64_t now) {
    const std::int64_t aheadUs = std::max<std::int64_t>(0, owedSentUs + timeoutUs - now);
    const std::int64_t tickUs = std::int64_t{tickMs} * 1000;
    guarding = true;
    guardFromUs = now + aheadUs;
    silentTicks = -static_cast<int>((aheadUs + tickUs - 1) / tickUs);
    guardedTicks = 0;
}

bool CDriveLink::Impl::GuardPassed() {
    ++guardedTicks;
    if (++silentTicks <= guardTicks && guardedTicks < guardLimitTicks) return false;
    EndGuard();
    return true;
}

bool CDriveLink::Impl::FastGuardPassed(std::int64_t now) const {
    return now - std::max(guardFromUs, lastByteUs) >= guardUs || now - guardFromUs >= guardLimitUs;
}

// Only the held station's answer is over: another's may have been sent later.
void CDriveLink::Impl::EndGuard() {
    guarding = false;
    owed.Settle(reply.station);
}

}  // namespace korvane
