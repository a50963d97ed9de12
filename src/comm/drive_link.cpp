#include <algorithm>
#include <chrono>

#include "comm/drive_link_impl.h"
#include "common/executor.h"

namespace korvane {

namespace {
constexpr std::size_t kPortQueueSize = 512;
}  // namespace

std::int64_t SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int CDriveLink::Impl::Open(ActivityHandler handler, int mode, const PortSettings& settings,
                           int timeoutMs, int tick, int retryCount) {
    timerRunning = false;
    ClosePort();
    activity = std::move(handler);
    int newMode = mode == kCommModbus ? kCommModbus : kCommTk485;
    if (newMode != commMode) {
        // A drive reached over the other protocol has not seen our registrations.
        monitors.MarkAllXNeeded();
        commMode = newMode;
        pollStation = 0;
        pollIndex = 0;
    }
    waiting = false;
    servingQueue = false;
    guarding = false;
    held = false;
    tickCount = 0;
    retryCounter = 0;
    linkRetryLimit = std::max(0, retryCount);

    port = portFactory ? portFactory() : nullptr;
    if (!port) return kLinkOpenPortFailed;
    portToken = std::make_shared<char>(0);
    PortSettings s = settings;
    s.queueSize = kPortQueueSize;
    Port::ByteHandler onByte = [this, token = std::weak_ptr<char>(portToken)](std::uint8_t b) {
        if (auto held = token.lock()) OnByte(b);
    };
    if (!port->Open(s, std::move(onByte)) || !port->Start()) {
        ClosePort();
        return kLinkOpenPortFailed;
    }
    tickMs = std::max(1, tick);
    timeoutTicks = std::max(0, timeoutMs) / tickMs;
    // Rounded up: a byte just after a tick restarts the count, and the silence that follows it
    // must still last a whole time-out.
    guardTicks = (std::max(0, timeoutMs) + tickMs - 1) / tickMs;
    guardLimitTicks = 4 * (guardTicks + 1);
    pacing = nextPacing;
    timeoutUs = std::int64_t{std::max(0, timeoutMs)} * 1000;
    guardUs = timeoutUs;
    guardLimitUs = 4 * (guardUs + std::int64_t{tickMs} * 1000);
    // The longest a guard could hold the line after a time-out: an answer later than that is
    // not expected, as before.
    owed.SetLifetime(timeoutUs + guardLimitUs);
    owed.SetMargin(timeoutUs);
    owed.SetLimit(static_cast<std::size_t>(linkRetryLimit) + 1);
    UseLinkLimits();
    gapUs = MinimumGapUs(commMode, settings);
    lastByteUs = clock() - gapUs;
    timerRunning = true;
    return kLinkOpenOk;
}

void CDriveLink::Impl::ClosePort() {
    // Whatever the stations owe comes, if at all, on a line nobody reads.
    owed.Clear();
    portToken.reset();
    if (!port) return;
    port->Stop();
    port->Close();
    port.reset();
}

void CDriveLink::Impl::StartNextExchange() {
    if (held) {
        held = false;
        Send();
        return;
    }
    if (LeftoverRepetition()) retryCounter = 0;
    if (!queue.empty() && !servingQueue && retryCounter == 0) servingQueue = true;
    if (servingQueue) {
        if (retryCounter == 0) PrepareQueued(queue.front());
        Send();
        return;
    }
    if (retryCounter != 0) {
        Send();
        return;
    }
    if (!ChoosePollTarget()) return;
    PrepareMonitor();
    Send();
}

// A monitoring exchange waiting to be repeated whose station nobody monitors any more (its
// drive was disconnected meanwhile): repeating it would only hold up the queue.
bool CDriveLink::Impl::LeftoverRepetition() const {
    return retryCounter != 0 && !servingQueue && monitors.AddressCount(reply.station) == 0;
}

void CDriveLink::Impl::UseLinkLimits() {
    exchangeTimeoutTicks = timeoutTicks;
    exchangeTimeoutUs = timeoutUs;
    retryLimit = linkRetryLimit;
}

void CDriveLink::Impl::PrepareQueued(const DriveRequest& request) {
    UseLinkLimits();
    if (request.probeTimeoutMs > 0) {
        const std::int64_t ms = std::min<std::int64_t>(request.probeTimeoutMs, timeoutUs / 1000);
        // Declared on the first tick at which it has passed: a tick more would add a fifth
        // to a 150 ms probe.
        exchangeTimeoutTicks = static_cast<int>(std::max<std::int64_t>(0, (ms - 1) / tickMs));
        exchangeTimeoutUs = ms * 1000;
        retryLimit = 0;
    }
    reply = DriveReply{};
    reply.station = request.station;
    reply.wordCount = 1;
    reply.addresses[0] = request.address & 0xFFFF;
    reply.command = request.command;
    bool write = request.command == 'W';
    if (Tk485()) {
        frame = write ? tk485::BuildWrite(request.station, request.address, request.value)
                      : tk485::BuildRead(request.station, request.address);
        tkExpect = {request.station, write ? 'W' : 'R', 1};
        return;
    }
    modbus::Frame f =
        write ? modbus::BuildWriteRequest(request.station, request.address, request.value)
              : modbus::BuildReadRequest(request.station, request.address);
    frame.assign(f.begin(), f.end());
    mbExpect = {request.station, write ? modbus::kWriteSingleRegister : modbus::kReadInputRegisters,
                modbus::RegisterOf(request.address)};
}

void CDriveLink::Impl::Send() {
    const std::int64_t now = LineNowUs();
    if (owed.MustGuard(reply.station, frame, now)) {
        held = true;
        StartGuard(owed.LatestSentUs(reply.station, now), now);
        return;
    }
    strayPossible = owed.AnyOtherOwed(reply.station, now);
    sentAtLineUs = now;
    if (Tk485()) {
        tkAssembler.Expect(tkExpect);
    } else {
        mbAssembler.Expect(mbExpect);
    }
    reply.errorCode = kErrNone;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.data());
    if (port) {
        // A port that refuses the frame gets no reply: the time-out treats it like a lost frame.
        bool sent = Tk485() ? port->SendText(frame.c_str()) : port->SendBytes(bytes, frame.size());
        (void)sent;
    }
    waiting = true;
    tickCount = 0;
    sentAtUs = clock();
    if (trace) trace(true, bytes, frame.size());
    PostActivity(kActivitySent);
}

void CDriveLink::Impl::OnByte(std::uint8_t byte) {
    if (guarding) silentTicks = 0;
    if (pacing == Pacing::kFast) lastByteUs = clock();
    if (Tk485() ? !tkAssembler.PushByte(byte) : !mbAssembler.PushByte(byte)) return;
    if (trace) {
        if (Tk485()) {
            std::string_view got = tkAssembler.frame();
            trace(false, reinterpret_cast<const std::uint8_t*>(got.data()), got.size());
        } else {
            trace(false, mbAssembler.frame(), mbAssembler.frameLength());
        }
    }
    if (!AnswerStands()) return;
    // A reply completing while nothing is outstanding belongs to an exchange already ended by
    // its time-out; the repeat asks again.
    if (!waiting || guarding) return;
    const std::weak_ptr<char> token = alive;
    if (Tk485()) {
        for (int i = 0; i < tkAssembler.wordCount(); ++i) reply.values[i] = tkAssembler.values()[i];
        Conclude(tkAssembler.errorCode());
    } else {
        reply.values[0] = mbAssembler.value();
        Conclude(mbAssembler.errorCode());
    }
    // The line is idle now: the next request need not wait for the owner's timer. A receiver
    // may have destroyed the link or re-opened it in another pacing meanwhile.
    if (token.expired() || pacing != Pacing::kFast || !timerRunning) return;
    FastStep();
}

// Ends the exchange on the line with a reply's verdict or a time-out.
void CDriveLink::Impl::Conclude(int error) {
    reply.errorCode = error;
    retryCounter = error == kErrNone ? 0 : retryCounter + 1;
    reply.retryCounter = retryCounter;
    tickCount = 0;
    waiting = false;
    owed.AfterExchange(reply.station, frame, sentAtLineUs, error, strayPossible);
    PostActivity(error == kErrNone ? kActivityGoodReply : kActivityError);

    if (servingQueue && !queue.empty()) {
        DriveRequest request = queue.front();
        // A drive that rejected the request will reject it again: report it once.
        if (IsRejection(error)) {
            reply.failingCode = error;
            retryCounter = 0;
        }
        if (error == kErrNone || IsRejection(error)) {
            queue.pop_front();
            servingQueue = false;
        }
        const DriveReply result = reply;
        DeliverToRequester(request, result);
        return;
    }
    ConcludePoll(error);
}

void CDriveLink::Impl::PostActivity(int what) {
    if (!activity) return;
    executor.post([handler = activity, what, token = std::weak_ptr<char>(alive)] {
        if (!token.expired()) handler(what);
    });
}

void CDriveLink::Impl::DeliverToRequester(const DriveRequest& request, const DriveReply& result) {
    if (request.requester == nullptr || request.requesterAlive.expired()) return;
    request.requester->OnDriveReply(result.station, result);
}

CDriveLink::CDriveLink(Executor& executor, PortFactory portFactory)
    : impl_(std::make_unique<Impl>(executor, std::move(portFactory))) {}

CDriveLink::~CDriveLink() = default;

int CDriveLink::Open(ActivityHandler activity, int commMode, const PortSettings& settings,
                     int timeoutMs, int tickMs, int retryCount) {
    return impl_->Open(std::move(activity), commMode, settings, timeoutMs, tickMs, retryCount);
}

void CDriveLink::QueueRead(int station, int address, ReplySink* requester) {
    DriveRequest r;
    r.command = 'R';
    r.station = station;
    r.address = address & 0xFFFF;
    r.requester = requester;
    if (requester) r.requesterAlive = requester->replySinkLiveness();
    impl_->queue.push_back(std::move(r));
}

void CDriveLink::QueueProbe(int station, int address, int timeoutMs, ReplySink* requester) {
    QueueRead(station, address, requester);
    impl_->queue.back().probeTimeoutMs = std::max(1, timeoutMs);
}

void CDriveLink::QueueWrite(int station, int address, int value, ReplySink* requester) {
    DriveRequest r;
    r.command = 'W';
    r.station = station;
    r.address = address & 0xFFFF;
    r.value = value & 0xFFFF;
    r.requester = requester;
    if (requester) r.requesterAlive = requester->replySinkLiveness();
    impl_->queue.push_back(std::move(r));
}

void CDriveLink::OnTick() {
    // A receiver of a final failure may have destroyed the link.
    const std::weak_ptr<char> token = impl_->alive;
    impl_->OnTick();
    if (!token.expired() && impl_->timerRunning) impl_->CheckFreshness();
}
bool CDriveLink::IsTimerRunning() const {
    return impl_->timerRunning;
}
int CDriveLink::TickMs() const {
    return impl_->tickMs;
}
int CDriveLink::TimerMs() const {
    return impl_->pacing == Pacing::kFast ? kFastTimerMs : impl_->tickMs;
}
std::int64_t CDriveLink::MicrosecondsUntilDue() const {
    if (impl_->pacing != Pacing::kFast) return std::int64_t{impl_->tickMs} * 1000;
    return impl_->UntilDue();
}
void CDriveLink::SetPacing(Pacing pacing) {
    impl_->nextPacing = pacing;
}
Pacing CDriveLink::CurrentPacing() const {
    return impl_->pacing;
}
void CDriveLink::SetMonotonicClock(MonotonicClock clock) {
    if (clock) impl_->clock = std::move(clock);
}
void CDriveLink::SetFrameTrace(FrameTrace trace) {
    impl_->trace = std::move(trace);
}
int CDriveLink::CommModeValue() const {
    return impl_->commMode;
}
std::size_t CDriveLink::QueueLength() const {
    return impl_->queue.size();
}
bool CDriveLink::IsWaiting() const {
    return impl_->waiting;
}

}  // namespace korvane
