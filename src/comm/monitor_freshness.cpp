#include "comm/monitor_freshness.h"

namespace korvane {

bool ValueFreshness::overdue(std::int64_t nowUs, std::int64_t slackUs) const {
    return periodUs_ > 0 && nowUs - lastGoodUs_ > 2 * periodUs_ + slackUs;
}

bool ValueFreshness::setFresh(bool fresh) {
    const bool changed = fresh != fresh_;
    fresh_ = fresh;
    return changed;
}

bool ValueFreshness::received(std::int64_t nowUs) {
    // An interval that contains a failure measures the repeats, not the polling. Any other
    // interval is taken: a longer one at once (the round really grew, or a transfer held the
    // polling), a shorter one a quarter at a time, so that one long pause is forgotten within
    // a few rounds while the odd queued request between two polls never makes a value flicker.
    if (received_ && !failed_) {
        const std::int64_t interval = nowUs - lastGoodUs_;
        if (interval > periodUs_) {
            periodUs_ = interval;
        } else {
            periodUs_ -= (periodUs_ - interval) / 4;
        }
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
