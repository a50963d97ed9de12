#include "comm/drive_link.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <deque>
#include <string>

#include "comm/modbus_codec.h"
#include "comm/monitor_registry.h"
#include "comm/owed_replies.h"
#include "comm/tk485_codec.h"
#include "common/executor.h"

namespace korvane {

namespace {
constexpr std::size_t kPortQueueSize = 512;
std::int64_t SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How often the owner's short timer runs in fast pacing.
constexpr int kFastTimerMs = 1;
}  // namespace

struct CDriveLink::Impl {
    Impl(Executor& ex, PortFactory factory) : executor(ex), portFactory(std::move(factory)) {}
    ~Impl() { ClosePort(); }

    int Open(ActivityHandler handler, int mode, const PortSettings& settings, int timeoutMs,
             int tick, int retryCount);
    void ClosePort();

    void OnTick();
    void FastStep();
    bool FastGuardPassed(std::int64_t now) const;
    std::int64_t UntilDue() const;
    void GiveUp();
    bool CountTick();
    bool TimedOut();
    void StartGuard(std::int64_t owedSentUs, std::int64_t now);
    bool GuardPassed();
    void EndGuard();
    std::int64_t LineNowUs() const {
        return pacing == Pacing::kFast ? clock() : lineTicks * tickMs * 1000;
    }
    void StartNextExchange();
    bool LeftoverRepetition() const;
    void UseLinkLimits();
    void PrepareQueued(const DriveRequest& request);
    bool ChoosePollTarget();
    void PrepareMonitor();
    void PrepareTk485Monitor(int station);
    void Send();

    void OnByte(std::uint8_t byte);
    bool StrayReply(int error) const;
    void Conclude(int error);
    void AdvancePoll();

    void PostActivity(int activity);
    // Values whose polling became overdue since the last check; their listeners are told.
    void CheckFreshness();
    std::int64_t FreshnessSlackUs() const { return std::int64_t{tickMs} * 1000; }
    void DeliverToRequester(const DriveRequest& request, const DriveReply& result);
    void DeliverToListeners(int station, const DriveReply& result,
                            const std::vector<ListenerRef>& listeners, bool mustStillListen);

    bool Tk485() const { return commMode == kCommTk485; }

    Executor& executor;
    PortFactory portFactory;
    std::unique_ptr<Port> port;
    // Bytes and notices posted to the executor may run after the port was replaced or the link
    // destroyed; they act only while the token they captured is still held here.
    std::shared_ptr<char> portToken;
    std::shared_ptr<char> alive = std::make_shared<char>(0);
    ActivityHandler activity;
    FrameTrace trace;

    int commMode = kCommTk485;
    std::deque<DriveRequest> queue;
    MonitorRegistry monitors;
    bool servingQueue = false;
    bool waiting = false;
    bool timerRunning = false;
    Pacing pacing = Pacing::kTick;
    Pacing nextPacing = Pacing::kTick;
    MonotonicClock clock = SteadyMicroseconds;
    // Fast pacing counts in microseconds of `clock` instead of ticks.
    std::int64_t timeoutUs = 0;
    std::int64_t guardUs = 0;
    std::int64_t guardLimitUs = 0;
    std::int64_t gapUs = 0;
    std::int64_t sentAtUs = 0;
    std::int64_t guardFromUs = 0;
    std::int64_t lastByteUs = 0;
    bool graphWatch = false;
    std::int64_t freshnessCheckedUs = 0;
    int tickMs = 30;
    int tickCount = 0;
    int timeoutTicks = 0;
    int linkRetryLimit = 0;
    // The exchange on the line: a probe waits less and is not repeated.
    int exchangeTimeoutTicks = 0;
    std::int64_t exchangeTimeoutUs = 0;
    int retryLimit = 0;
    // Tick pacing measures how long an answer may still come in ticks of the line.
    std::int64_t lineTicks = 0;
    std::int64_t sentAtLineUs = 0;
    // A reply may come later than the time-out, and TK485 R, Y and MODBUS read replies carry no
    // address: taken for another request's answer it would be a plausible wrong value. Before a
    // request that could take an owed answer for its own, the line must stay silent for a whole
    // guard interval (one time-out); what arrives meanwhile is dropped.
    OwedReplies owed;
    // The guard holds back this exchange, prepared already, until the line is silent.
    bool held = false;
    // An answer owed by another station could arrive during this exchange.
    bool strayPossible = false;
    bool guarding = false;
    int silentTicks = 0;
    int guardTicks = 0;
    // A line that never falls silent (a babbling device, noise) holds the guard only this long:
    // late answers come in ones, so they are long over, and the requests must still end.
    int guardLimitTicks = 0;
    int guardedTicks = 0;
    // Stations whose refused Y was already answered by registering again: a second refusal
    // counts against the station like any failure.
    std::array<bool, 256> reRegistered{};
    int retryCounter = 0;
    int pollStation = 0;
    int pollIndex = 0;
    int firstPoll = 0;
    int lastPoll = 0;

    // The exchange on the line (or the one to repeat): its bytes, what its reply must match,
    // and the record handed out with the result.
    std::string frame;
    tk485::Expectation tkExpect;
    modbus::Expectation mbExpect;
    DriveReply reply;
    tk485::Tk485Assembler tkAssembler;
    modbus::ModbusAssembler mbAssembler;
};

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
    owed.Settle(reply.station);
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
    UseLinkLimits();
    gapUs = MinimumGapUs(commMode, settings);
    lastByteUs = clock() - gapUs;
    timerRunning = true;
    return kLinkOpenOk;
}

void CDriveLink::Impl::ClosePort() {
    portToken.reset();
    if (!port) return;
    port->Stop();
    port->Close();
    port.reset();
}

void CDriveLink::Impl::OnTick() {
    if (!timerRunning) return;
    ++lineTicks;
    if (pacing == Pacing::kFast) {
        FastStep();
        return;
    }
    if (retryCounter > retryLimit) {
        GiveUp();
        // A receiver of the final failure may have re-opened the link meanwhile.
        if (!timerRunning) return;
    }
    // A repeat goes out on the tick after its time-out; a final one frees the line at once.
    if (waiting && !CountTick()) return;
    if (guarding && !GuardPassed()) return;
    StartNextExchange();
}

// The same steps as a tick, each as soon as its time has come rather than on the next tick.
void CDriveLink::Impl::FastStep() {
    if (retryCounter > retryLimit) {
        GiveUp();
        if (!timerRunning) return;
    }
    const std::int64_t now = clock();
    if (waiting) {
        if (now - sentAtUs <= exchangeTimeoutUs) return;
        if (!TimedOut()) return;
    }
    if (guarding) {
        if (!FastGuardPassed(now)) return;
        EndGuard();
    }
    if (now - lastByteUs < gapUs) return;
    StartNextExchange();
}

bool CDriveLink::Impl::FastGuardPassed(std::int64_t now) const {
    return now - std::max(guardFromUs, lastByteUs) >= guardUs || now - guardFromUs >= guardLimitUs;
}

std::int64_t CDriveLink::Impl::UntilDue() const {
    const std::int64_t now = clock();
    std::int64_t due = now + std::int64_t{kFastTimerMs} * 1000;
    if (waiting) {
        due = std::min(due, sentAtUs + exchangeTimeoutUs + 1);
    } else if (guarding) {
        due = std::min(due, std::max(guardFromUs, lastByteUs) + guardUs);
    } else {
        due = std::min(due, lastByteUs + gapUs);
    }
    return std::max<std::int64_t>(0, due - now);
}

// The exchange failed retry-limit + 1 times. State is settled before anyone hears of it, so a
// receiver that queues requests or registers again is not undone afterwards.
void CDriveLink::Impl::GiveUp() {
    reply.failingCode = reply.errorCode;
    reply.errorCode = kErrRetriesExhausted;
    reply.retryCounter = retryCounter;
    const DriveReply result = reply;
    retryCounter = 0;
    tickCount = 0;
    waiting = false;
    PostActivity(kActivityError);
    if (servingQueue) {
        servingQueue = false;
        if (queue.empty()) return;
        DriveRequest request = std::move(queue.front());
        queue.pop_front();
        DeliverToRequester(request, result);
        return;
    }
    // Windows learn that the station is gone from this last result.
    std::vector<ListenerRef> listeners = monitors.Listeners(result.station);
    monitors.DropStation(result.station);
    reRegistered[result.station & 0xFF] = false;
    DeliverToListeners(result.station, result, listeners, false);
}

// True when the exchange timed out for the last time and the line is free for the next one.
bool CDriveLink::Impl::CountTick() {
    if (++tickCount <= exchangeTimeoutTicks) return false;
    return TimedOut();
}

// The reply is missing. A final failure is given up at once: a scan of absent stations then
// costs each one its time-outs and nothing more.
bool CDriveLink::Impl::TimedOut() {
    Conclude(kErrTimeout);
    if (retryCounter <= retryLimit) return false;
    GiveUp();
    return timerRunning && !waiting;
}

// Silence counts from the owed transmission's time-out on, as when each time-out had a guard.
void CDriveLink::Impl::StartGuard(std::int64_t owedSentUs, std::int64_t now) {
    const std::int64_t aheadUs = std::max<std::int64_t>(0, owedSentUs + timeoutUs - now);
    const std::int64_t tickUs = std::int64_t{tickMs} * 1000;
    guarding = true;
    guardFromUs = clock() + aheadUs;
    silentTicks = -static_cast<int>((aheadUs + tickUs - 1) / tickUs);
    guardedTicks = 0;
}

bool CDriveLink::Impl::GuardPassed() {
    ++guardedTicks;
    if (++silentTicks <= guardTicks && guardedTicks < guardLimitTicks) return false;
    EndGuard();
    return true;
}

// Only the held station's answer is over: another's may have been sent later.
void CDriveLink::Impl::EndGuard() {
    guarding = false;
    owed.Settle(reply.station);
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

bool CDriveLink::Impl::ChoosePollTarget() {
    if (!monitors.AnyMonitoring() || firstPoll == 0 || lastPoll == 0) return false;
    if (pollIndex < monitors.AddressCount(pollStation)) return true;
    pollIndex = 0;
    int next = monitors.NextPollStation(pollStation, firstPoll, lastPoll);
    if (next == 0) return false;
    pollStation = next;
    return true;
}

void CDriveLink::Impl::PrepareMonitor() {
    const int station = pollStation;
    UseLinkLimits();
    reply = DriveReply{};
    reply.station = station;
    if (Tk485()) {
        PrepareTk485Monitor(station);
        return;
    }
    int address = monitors.AddressAt(station, pollIndex);
    reply.command = 'R';
    reply.wordCount = 1;
    reply.addresses[0] = address;
    modbus::Frame f = modbus::BuildReadRequest(station, address);
    frame.assign(f.begin(), f.end());
    mbExpect = {station, modbus::kReadInputRegisters, modbus::RegisterOf(address)};
}

// X when the drive must learn the address set, then one Y for the first eight addresses and
// single reads for any beyond them.
void CDriveLink::Impl::PrepareTk485Monitor(int station) {
    if (monitors.XNeeded(station)) {
        monitors.ClearXNeeded(station);
        pollIndex = 0;
        reply.command = 'X';
        frame = tk485::WrapRequest(monitors.RegisterPayload(station));
        tkExpect = {station, 'X', 0};
        return;
    }
    if (pollIndex == 0) {
        int n = std::min(monitors.AddressCount(station), tk485::kMaxMonitorWords);
        for (int i = 0; i < n; ++i) reply.addresses[i] = monitors.AddressAt(station, i);
        reply.command = 'Y';
        reply.wordCount = n;
        frame = tk485::BuildMonitorRead(station);
        tkExpect = {station, 'Y', n};
        return;
    }
    int address = monitors.AddressAt(station, pollIndex);
    reply.command = 'R';
    reply.wordCount = 1;
    reply.addresses[0] = address;
    frame = tk485::BuildRead(station, address);
    tkExpect = {station, 'R', 1};
}

void CDriveLink::Impl::Send() {
    const std::int64_t now = LineNowUs();
    if (owed.MustGuard(reply.station, frame, now)) {
        held = true;
        StartGuard(owed.SentUs(reply.station), now);
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
    // A reply completing while nothing is outstanding belongs to an exchange already ended by
    // its time-out; the repeat asks again.
    if (!waiting || guarding) return;
    const int error = Tk485() ? tkAssembler.errorCode() : mbAssembler.errorCode();
    if (StrayReply(error)) {
        // Another station's late answer: this exchange's own may still come.
        if (Tk485()) {
            tkAssembler.Expect(tkExpect);
        } else {
            mbAssembler.Expect(mbExpect);
        }
        return;
    }
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

bool CDriveLink::Impl::StrayReply(int error) const {
    if (error != kErrFrame) return false;
    const int named = Tk485() ? tkAssembler.namedStation() : mbAssembler.namedStation();
    return named >= 0 && named != (reply.station & 0xFF) && owed.IsOwed(named, LineNowUs());
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
    const int station = reply.station;
    if (error == kErrNone) {
        AdvancePoll();
        if (reply.command == 'Y') reRegistered[station & 0xFF] = false;
        // A repeated X that finally got through has done what its failure asked to be redone.
        if (reply.command == 'X' && frame == tk485::WrapRequest(monitors.RegisterPayload(station)))
            monitors.ClearXNeeded(station);
    } else if (reply.command == 'X') {
        monitors.SetXNeeded(station);
    } else if (reply.command == 'Y' && IsRejection(error) && !reRegistered[station & 0xFF]) {
        // A drive refuses Y when it has lost our registration (a power cycle, another master
        // on the line): register again instead of repeating the Y into the same refusal.
        reRegistered[station & 0xFF] = true;
        monitors.SetXNeeded(station);
        retryCounter = 0;
    }
    const DriveReply result = reply;
    (void)monitors.NoteResult(result, clock());
    DeliverToListeners(station, result, monitors.Listeners(station), true);
}

void CDriveLink::Impl::AdvancePoll() {
    if (Tk485() && pollIndex == 0) {
        pollIndex = tk485::kMaxMonitorWords;
    } else {
        ++pollIndex;
    }
}

void CDriveLink::Impl::PostActivity(int what) {
    if (!activity) return;
    executor.post([handler = activity, what, token = std::weak_ptr<char>(alive)] {
        if (!token.expired()) handler(what);
    });
}

void CDriveLink::Impl::CheckFreshness() {
    const std::int64_t now = clock();
    // Fast pacing ticks every millisecond; a verdict needs no finer grain than the tick.
    if (now - freshnessCheckedUs < FreshnessSlackUs()) return;
    freshnessCheckedUs = now;
    for (int station : monitors.UpdateFreshness(now, FreshnessSlackUs())) {
        for (const ListenerRef& ref : monitors.Listeners(station)) {
            if (ref.alive.expired() || !monitors.IsListening(station, ref.listener)) continue;
            if (graphWatch && !ref.listener->ReceivesDuringGraphWatch()) continue;
            ref.listener->OnMonitorFreshness(station);
        }
    }
}

void CDriveLink::Impl::DeliverToRequester(const DriveRequest& request, const DriveReply& result) {
    if (request.requester == nullptr || request.requesterAlive.expired()) return;
    request.requester->OnDriveReply(result.station, result);
}

// Each receiver may add or remove listeners, or be destroyed by another one, while an earlier
// one handles the result: check before every call rather than trusting the snapshot.
void CDriveLink::Impl::DeliverToListeners(int station, const DriveReply& result,
                                          const std::vector<ListenerRef>& listeners,
                                          bool mustStillListen) {
    for (const ListenerRef& ref : listeners) {
        if (ref.alive.expired()) continue;
        if (mustStillListen && !monitors.IsListening(station, ref.listener)) continue;
        if (graphWatch && !ref.listener->ReceivesDuringGraphWatch()) continue;
        ref.listener->OnDriveMonitor(station, result);
    }
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

int CDriveLink::AddMonitorAddresses(int station, const int* addresses, int count) {
    if (!MonitorRegistry::ValidStation(station)) return 0;
    impl_->monitors.AddAddresses(station, addresses, count);
    return 1;
}

int CDriveLink::RemoveMonitorAddresses(int station, const int* addresses, int count) {
    if (!MonitorRegistry::ValidStation(station)) return 0;
    impl_->monitors.RemoveAddresses(station, addresses, count);
    return 1;
}

bool CDriveLink::AddListener(int station, MonitorListener* listener) {
    return impl_->monitors.AddListener(station, listener);
}

bool CDriveLink::RemoveListener(int station, MonitorListener* listener) {
    return impl_->monitors.RemoveListener(station, listener);
}

void CDriveLink::SetPollRange(int first, int last) {
    impl_->firstPoll = first;
    impl_->lastPoll = last;
}

bool CDriveLink::IsMonitorValueFresh(int station, int address) const {
    return impl_->monitors.IsFresh(station, address);
}

void CDriveLink::SetGraphWatchActive(bool active) {
    impl_->graphWatch = active;
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
