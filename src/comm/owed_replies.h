#pragma once
// The answers each station still owes: one for every transmission that timed out (or whose
// reply another station's late answer may have spoilt). TK485 R and Y replies and MODBUS read
// replies name the station but not the address they answer, so an owed answer taken for a later
// request to the same station would be a plausible wrong value. A drive answers in order, so
// the next answer a station gives is its oldest owed one: it pays that debt and is swallowed,
// unless the paid transmission asked the very question now on the line (a repeat), whose answer
// it then is; the repeat's own answer is owed in its place.
//
// An answer that came late shows how slow the drive is just now: each answer the station still
// owes is then awaited, before another question goes to it, for as long as that answer took
// plus one time-out (within the lifetime). An answer owed after time-outs alone, from a drive
// that showed no such slowness, may never come (the drive may be gone, the request lost): it is
// waited for a guard's silence and then given up.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>

namespace korvane {

class OwedReplies {
public:
    // How long after its transmission an answer may still come; later ones are not expected.
    void SetLifetime(std::int64_t us) { lifetimeUs_ = us; }
    // What an awaited answer is given on top of the lateness the drive showed.
    void SetMargin(std::int64_t us) { marginUs_ = us; }
    // The most answers one station may owe: the tries of one request. A station that owes more
    // has lost the oldest.
    void SetLimit(std::size_t limit) { limit_ = limit < 1 ? 1 : limit; }

    // An exchange sent at `sentUs` ended with `error`. Its answer is owed after a time-out,
    // and after a spoilt reply while another station's answer could arrive (that may have
    // been what spoilt it).
    void AfterExchange(int station, const std::string& frame, std::int64_t sentUs, int error,
                       bool strayPossible);

    enum class Answer {
        Free,       // nothing owed: the answer is the exchange's own, if it fits
        Swallowed,  // an owed answer to another question: paid and dropped
        Repeated,   // an owed answer to the same question: it stands as the reply
    };
    // A complete answer naming `station` arrived; `frame` is the exchange on the line to that
    // station (empty when none), sent at `sentUs`.
    Answer TakeAnswer(int station, const std::string& frame, std::int64_t sentUs,
                      std::int64_t nowUs);

    // Whether `frame` to `station` could take one of the station's owed answers for its own,
    // and must wait for a guard's silence first.
    bool MustGuard(int station, const std::string& frame, std::int64_t nowUs) const {
        return Blocking(station, frame, nowUs, false);
    }
    // Whether it must wait, silence or not, for an answer of a drive that showed it is slow.
    bool MustAwait(int station, const std::string& frame, std::int64_t nowUs) const {
        return Blocking(station, frame, nowUs, true);
    }
    // When the latest transmission whose answer `station` owes went out (0 when none).
    std::int64_t LatestSentUs(int station, std::int64_t nowUs) const;
    // The guard for `station` ended in silence: what is no longer awaited is given up.
    void SettleAfterGuard(int station, std::int64_t nowUs);
    bool IsOwed(int station, std::int64_t nowUs) const { return Count(station, nowUs) != 0; }
    std::size_t Count(int station, std::int64_t nowUs) const;
    // The transmission whose answer `station` owes first (empty when none or not known).
    std::string OldestFrame(int station, std::int64_t nowUs) const;
    // Whether a station other than `station` may still answer.
    bool AnyOtherOwed(int station, std::int64_t nowUs) const;
    void Clear() { owed_.clear(); }

private:
    struct Entry {
        std::string frame;  // empty: no longer known which question it answers
        std::int64_t sentUs = 0;
        std::int64_t awaitUntilUs = 0;  // 0: owed after time-outs alone
    };
    using Debts = std::deque<Entry>;

    void Owe(int station, const std::string& frame, std::int64_t sentUs, std::int64_t awaitUntilUs);
    std::int64_t AwaitUntil(std::int64_t sentUs, std::int64_t latenessUs) const {
        return sentUs + std::min(latenessUs + marginUs_, lifetimeUs_);
    }
    bool Blocking(int station, const std::string& frame, std::int64_t nowUs,
                  bool awaitedOnly) const;
    bool Expired(const Entry& e, std::int64_t nowUs) const {
        return nowUs - e.sentUs >= lifetimeUs_;
    }
    // The station's debts from the first live one on (they are kept in the order sent); an
    // empty range when none is live.
    std::pair<Debts::const_iterator, Debts::const_iterator> Live(int station,
                                                                 std::int64_t nowUs) const;

    std::int64_t lifetimeUs_ = 0;
    std::int64_t marginUs_ = 0;
    std::size_t limit_ = 4;
    std::map<int, Debts> owed_;
};

}  // namespace korvane
