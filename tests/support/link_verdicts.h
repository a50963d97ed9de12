#pragma once
// Stands in for the drive link's freshness verdicts where a test hands poll results to a window
// by hand: each result is noted by the link's own rule before the window gets it, as the link
// does, and time moves only when the test says.
#include <cstdint>
#include <map>
#include <utility>

#include "comm/drive_reply.h"
#include "comm/monitor_freshness.h"

namespace korvane::test {

class LinkVerdicts {
public:
    // The link's tick: its verdicts need no finer grain than this.
    static constexpr std::int64_t kSlackUs = 30'000;

    void note(int station, const DriveReply& reply) {
        if (reply.errorCode == kErrRetriesExhausted) {
            // The link forgets a station it gave up on.
            std::erase_if(values_, [station](const auto& v) { return v.first.first == station; });
            return;
        }
        if (reply.errorCode != kErrNone) {
            // A failed poll asked for every value of the station.
            for (auto& [key, freshness] : values_)
                if (key.first == station) (void)freshness.failed();
            return;
        }
        for (int i = 0; i < reply.wordCount && i < kMaxReplyWords; ++i) {
            const int address = reply.addresses[static_cast<std::size_t>(i)] & 0xFFFF;
            (void)values_[{station, address}].received(nowUs_);
        }
    }
    void advance(int ms) {
        nowUs_ += std::int64_t{ms} * 1000;
        for (auto& [key, freshness] : values_) (void)freshness.update(nowUs_, kSlackUs);
    }
    bool fresh(int station, int address) const {
        const auto found = values_.find({station, address & 0xFFFF});
        return found != values_.end() && found->second.fresh();
    }
    auto query() {
        return [this](int station, int address) { return fresh(station, address); };
    }

private:
    std::int64_t nowUs_ = 1'000'000;
    std::map<std::pair<int, int>, ValueFreshness> values_;
};

}  // namespace korvane::test
