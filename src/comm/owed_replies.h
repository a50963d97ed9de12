#pragma once
// Which transmissions may still be answered after their exchange ended (a time-out, or a reply
// that a stray answer spoilt). TK485 R and Y replies and MODBUS read replies carry no address,
// so only a request to the same station that asks something else could take such an answer
// for its own: that request waits for the line to fall silent first. A repeat of the same
// request may take it (it is the answer to that very question), and a request to another
// station refuses it by the station in its header.
#include <cstdint>
#include <map>
#include <string>

namespace korvane {

class OwedReplies {
public:
    // How long after its transmission an answer may still come; later ones are not expected.
    void SetLifetime(std::int64_t us) { lifetimeUs_ = us; }

    // An exchange sent at `sentUs` ended with `error`. Its answer is owed after a time-out,
    // and after a spoilt reply while another station's answer could arrive (that may have
    // been what spoilt it). A question asked again and answered may have taken the earlier
    // transmission's answer: the repeat's own is owed from its transmission on.
    void AfterExchange(int station, const std::string& frame, std::int64_t sentUs, int error,
                       bool strayPossible);
    // Whether `frame` to `station` must wait for silence before it is sent.
    bool MustGuard(int station, const std::string& frame, std::int64_t nowUs) const;
    bool IsOwed(int station, std::int64_t nowUs) const;
    // When the transmission whose answer `station` owes went out (0 when none is owed).
    std::int64_t SentUs(int station) const;
    // Whether a station other than `station` may still answer.
    bool AnyOtherOwed(int station, std::int64_t nowUs) const;
    // The line was silent for a whole time-out after the station's owed answer was due.
    void Settle(int station) { owed_.erase(station); }
    void Clear() { owed_.clear(); }

private:
    void Owe(int station, const std::string& frame, std::int64_t sentUs);
    void Renew(int station, const std::string& frame, std::int64_t sentUs);

    struct Entry {
        std::string frame;
        std::int64_t sentUs = 0;
    };
    bool Live(const Entry& entry, std::int64_t nowUs) const {
        return nowUs - entry.sentUs < lifetimeUs_;
    }

    std::int64_t lifetimeUs_ = 0;
    std::map<int, Entry> owed_;
};

}  // namespace korvane
