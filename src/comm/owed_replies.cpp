#include "comm/owed_replies.h"

#include <algorithm>
#include <iterator>

#include "comm/drive_reply.h"

namespace korvane {

void OwedReplies::AfterExchange(int station, const std::string& frame, std::int64_t sentUs,
                                int error, bool strayPossible) {
    const bool spoilt = error == kErrFrame || error == kErrSum || error == kErrCrc;
    if (error == kErrTimeout || (strayPossible && spoilt)) Owe(station, frame, sentUs, 0);
}

void OwedReplies::Owe(int station, const std::string& frame, std::int64_t sentUs,
                      std::int64_t awaitUntilUs) {
    Debts& debts = owed_[station];
    while (!debts.empty() && Expired(debts.front(), sentUs)) debts.pop_front();
    debts.push_back(Entry{frame, sentUs, awaitUntilUs});
    if (debts.size() <= limit_) return;
    // The oldest is taken as lost. Were it only late, its answer would pay the next debt: that
    // is harmless while both asked the same question; otherwise no debt may stand as the reply
    // to its question any more.
    const std::string dropped = debts.front().frame;
    debts.pop_front();
    if (debts.front().frame != dropped) {
        for (Entry& e : debts) e.frame.clear();
    }
}

std::pair<OwedReplies::Debts::const_iterator, OwedReplies::Debts::const_iterator> OwedReplies::Live(
    int station, std::int64_t nowUs) const {
    auto it = owed_.find(station);
    if (it == owed_.end()) return {};
    const Debts& debts = it->second;
    auto first = std::find_if(debts.begin(), debts.end(),
                              [&](const Entry& e) { return !Expired(e, nowUs); });
    return {first, debts.end()};
}

OwedReplies::Answer OwedReplies::TakeAnswer(int station, const std::string& frame,
                                            std::int64_t sentUs, std::int64_t nowUs) {
    auto it = owed_.find(station);
    if (it == owed_.end()) return Answer::Free;
    Debts& debts = it->second;
    while (!debts.empty() && Expired(debts.front(), nowUs)) debts.pop_front();
    if (debts.empty()) {
        owed_.erase(it);
        return Answer::Free;
    }
    const Entry paid = debts.front();
    debts.pop_front();
    // The drive answers this late now: the rest of what it owes may come as late.
    const std::int64_t lateness = nowUs - paid.sentUs;
    for (Entry& e : debts)
        e.awaitUntilUs = std::max(e.awaitUntilUs, AwaitUntil(e.sentUs, lateness));
    if (debts.empty()) owed_.erase(it);
    if (frame.empty() || paid.frame != frame) return Answer::Swallowed;
    // The late answer to an earlier try of this question: this try's own is still to come.
    Owe(station, frame, sentUs, AwaitUntil(sentUs, lateness));
    return Answer::Repeated;
}

bool OwedReplies::Blocking(int station, const std::string& frame, std::int64_t nowUs,
                           bool awaitedOnly) const {
    auto [first, last] = Live(station, nowUs);
    return std::any_of(first, last, [&](const Entry& e) {
        return (e.frame.empty() || e.frame != frame) && (!awaitedOnly || e.awaitUntilUs > nowUs);
    });
}

std::int64_t OwedReplies::LatestSentUs(int station, std::int64_t nowUs) const {
    auto [first, last] = Live(station, nowUs);
    return first == last ? 0 : std::prev(last)->sentUs;
}

void OwedReplies::SettleAfterGuard(int station, std::int64_t nowUs) {
    auto it = owed_.find(station);
    if (it == owed_.end()) return;
    Debts& debts = it->second;
    debts.erase(std::remove_if(debts.begin(), debts.end(),
                               [&](const Entry& e) { return e.awaitUntilUs <= nowUs; }),
                debts.end());
    if (debts.empty()) owed_.erase(it);
}

std::size_t OwedReplies::Count(int station, std::int64_t nowUs) const {
    auto [first, last] = Live(station, nowUs);
    return first == last ? 0 : static_cast<std::size_t>(last - first);
}

std::string OwedReplies::OldestFrame(int station, std::int64_t nowUs) const {
    auto [first, last] = Live(station, nowUs);
    return first == last ? std::string() : first->frame;
}

bool OwedReplies::AnyOtherOwed(int station, std::int64_t nowUs) const {
    for (const auto& entry : owed_)
        if (entry.first != station && IsOwed(entry.first, nowUs)) return true;
    return false;
}

}  // namespace korvane
