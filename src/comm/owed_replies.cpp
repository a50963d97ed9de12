#include "comm/owed_replies.h"

#include "comm/drive_reply.h"

namespace korvane {

void OwedReplies::AfterExchange(int station, const std::string& frame, std::int64_t sentUs,
                                int error, bool strayPossible) {
    const bool spoilt = error == kErrFrame || error == kErrSum || error == kErrCrc;
    if (error == kErrTimeout || (strayPossible && spoilt)) {
        Owe(station, frame, sentUs);
    } else {
        Renew(station, frame, sentUs);
    }
}

void OwedReplies::Owe(int station, const std::string& frame, std::int64_t sentUs) {
    owed_[station] = Entry{frame, sentUs};
}

void OwedReplies::Renew(int station, const std::string& frame, std::int64_t sentUs) {
    auto it = owed_.find(station);
    if (it != owed_.end() && it->second.frame == frame) it->second.sentUs = sentUs;
}

bool OwedReplies::MustGuard(int station, const std::string& frame, std::int64_t nowUs) const {
    auto it = owed_.find(station);
    return it != owed_.end() && Live(it->second, nowUs) && it->second.frame != frame;
}

bool OwedReplies::IsOwed(int station, std::int64_t nowUs) const {
    auto it = owed_.find(station);
    return it != owed_.end() && Live(it->second, nowUs);
}

std::int64_t OwedReplies::SentUs(int station) const {
    auto it = owed_.find(station);
    return it == owed_.end() ? 0 : it->second.sentUs;
}

bool OwedReplies::AnyOtherOwed(int station, std::int64_t nowUs) const {
    for (const auto& [owner, entry] : owed_)
        if (owner != station && Live(entry, nowUs)) return true;
    return false;
}

}  // namespace korvane
