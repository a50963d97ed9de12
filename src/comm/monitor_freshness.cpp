#include "comm/monitor_freshness.h"

#include <algorithm>

namespace korvane {

std::int64_t ValueFreshness::periodUs() const {
    const std::size_t n = std::min(intervalCount_, kIntervals);
    if (n == 0) return 0;
    std::array<std::int64_t, kIntervals> sorted = intervals_;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n));
    // The lower median: of two intervals the shorter, as the longer is more likely a pause.
    return sorted[(n - 1) / 2];
}

bool ValueFreshness::overdue(std::int64_t nowUs, std::int64_t slackUs) const {
    const std::int64_t period = periodUs();
    return period > 0 && nowUs - lastGoodUs_ > 2 * period + slackUs;
}

bool ValueFreshness::setFresh(bool fresh) {
    const bool changed = fresh != fresh_;
    fresh_ = fresh;
    return changed;
}

bool ValueFreshness::received(std::int64_t nowUs) {
    // An interval that contains a failure measures the repeats, not the polling. Of the others
    // the median counts: one long pause (a transfer holding the polling, the identification of
    // another drive) or the odd queued request between two polls does not move it, a round that
    // really grew does within a few rounds.
    if (received_ && !failed_) {
        intervals_[intervalCount_ % kIntervals] = nowUs - lastGoodUs_;
        ++intervalCount_;
    }
    received_ = true;
    failed_ = false;
    lastGoodUs_ = nowUs;
    return setFresh(true);
}

bool ValueFreshness::failed() {
    failed_ = true;
    return setFresh(false);
}

bool ValueFreshness::update(std::int64_t nowUs, std::int64_t slackUs) {
    return setFresh(received_ && !failed_ && !overdue(nowUs, slackUs));
}

}  // namespace korvane
