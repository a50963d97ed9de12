#include <algorithm>

#include "comm/drive_link_impl.h"

namespace korvane {

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

// A monitoring exchange ended: the round moves on, or the drive is asked to register again.
void CDriveLink::Impl::ConcludePoll(int error) {
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

}  // namespace korvane
