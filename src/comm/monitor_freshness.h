#pragma once
// Whether one monitored value is live. A value is stale until its first good reply, after any
// failed exchange that asked for it, and once two of its polling periods have passed without a
// good reply (a drive that stopped answering holds the link in repeats of one exchange, so the
// station's other values stop coming long before the retries run out). The next good reply
// makes it live again.
#include <array>
#include <cstddef>
#include <cstdint>

namespace korvane {

class ValueFreshness {
public:
    // Each returns true when the verdict changed. `slackUs` absorbs the owner's timer steps.
    bool received(std::int64_t nowUs);
    bool failed();
    // The time rule alone.
    bool update(std::int64_t nowUs, std::int64_t slackUs);

    bool fresh() const { return fresh_; }
    // The polling period: the (lower) median of the last intervals between good replies; 0
    // until two good replies came.
    std::int64_t periodUs() const;

private:
    static constexpr std::size_t kIntervals = 5;

    bool overdue(std::int64_t nowUs, std::int64_t slackUs) const;
    bool setFresh(bool fresh);

    bool received_ = false;
    bool failed_ = false;
    bool fresh_ = false;
    std::int64_t lastGoodUs_ = 0;
    std::array<std::int64_t, kIntervals> intervals_{};
    std::size_t intervalCount_ = 0;  // all that were ever taken; the last kIntervals are kept
};

}  // namespace korvane
