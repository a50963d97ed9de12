#include <algorithm>

#include "comm/drive_link_impl.h"

namespace korvane {

namespace {

// What the answer to a MODBUS request looks like, read back from the request's bytes.
modbus::Expectation ModbusExpectationOf(const std::string& request) {
    modbus::Expectation e;
    if (request.size() < 4) return e;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(request[i]); };
    e.station = byte(0);
    e.function = byte(1);
    e.registerAddress = static_cast<std::uint16_t>((byte(2) << 8) | byte(3));
    return e;
}

}  // namespace

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
    // The owed answer may be on its way already: only an assembler between answers is readied
    // for its shape.
    if (!Tk485() && !mbAssembler.midFrame()) ExpectNextAnswer(reply.station);
}

bool CDriveLink::Impl::GuardPassed() {
    ++guardedTicks;
    const bool silent = ++silentTicks > guardTicks || guardedTicks >= guardLimitTicks;
    if (!GuardMayEnd(silent, LineNowUs())) return false;
    EndGuard();
    return true;
}

bool CDriveLink::Impl::FastGuardPassed(std::int64_t now) const {
    const bool silent =
        now - std::max(guardFromUs, lastByteUs) >= guardUs || now - guardFromUs >= guardLimitUs;
    return GuardMayEnd(silent, now);
}

// Over once nothing owed could pass for the held request's answer, or after a guard's silence
// unless an answer of a drive that showed it is slow is still awaited.
bool CDriveLink::Impl::GuardMayEnd(bool silent, std::int64_t now) const {
    if (owed.MustAwait(reply.station, frame, now)) return false;
    return silent || !owed.MustGuard(reply.station, frame, now);
}

// Only the held station's answers are over: another's may have been sent later.
void CDriveLink::Impl::EndGuard() {
    guarding = false;
    owed.SettleAfterGuard(reply.station, LineNowUs());
}

void CDriveLink::Impl::ExpectNextAnswer(int station) {
    if (Tk485()) {
        tkAssembler.Expect(tkExpect);  // every answer names its station, whatever is expected
        return;
    }
    if (waiting && !guarding) {
        mbAssembler.Expect(mbExpect);
        return;
    }
    const std::int64_t now = LineNowUs();
    std::string owedFrame = owed.OldestFrame(station, now);
    if (owedFrame.empty() && guarding) owedFrame = owed.OldestFrame(reply.station, now);
    if (!owedFrame.empty()) mbAssembler.Expect(ModbusExpectationOf(owedFrame));
}

bool CDriveLink::Impl::AnswerStands() {
    const int named = Tk485() ? tkAssembler.namedStation() : mbAssembler.namedStation();
    if (named < 0) return true;  // spoilt: it names nobody, and pays nothing
    const bool onLine = waiting && !guarding && named == (reply.station & 0xFF);
    const auto taken =
        owed.TakeAnswer(named, onLine ? frame : std::string(), sentAtLineUs, LineNowUs());
    if (taken != OwedReplies::Answer::Swallowed) return true;
    ExpectNextAnswer(named);
    return false;
}

}  // namespace korvane
