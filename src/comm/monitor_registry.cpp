#include "comm/monitor_registry.h"

#include <algorithm>

#include "comm/tk485_codec.h"

namespace korvane {

namespace {
const std::string kNoPayload;
}

bool MonitorRegistry::AddAddresses(int station, const int* addresses, int count) {
    if (!ValidStation(station) || addresses == nullptr) return false;
    auto& list = stations_[station].addresses;
    bool appended = false;
    for (int i = 0; i < count; ++i) {
        int address = addresses[i] & 0xFFFF;
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const Entry& e) { return e.address == address; });
        if (it != list.end()) {
            ++it->refCount;
        } else {
            list.push_back({address, 1, {}});
            appended = true;
        }
    }
    if (appended) {
        RebuildPayload(station);
        anyMonitoring_ = true;
    }
    return appended;
}

bool MonitorRegistry::RemoveAddresses(int station, const int* addresses, int count) {
    if (!ValidStation(station) || addresses == nullptr) return false;
    auto& list = stations_[station].addresses;
    bool removed = false;
    for (int i = 0; i < count; ++i) {
        int address = addresses[i] & 0xFFFF;
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const Entry& e) { return e.address == address; });
        if (it == list.end()) continue;
        if (--it->refCount <= 0) {
            list.erase(it);
            removed = true;
        }
    }
    if (removed) {
        RebuildPayload(station);
        RecomputeAny();
    }
    return removed;
}

void MonitorRegistry::RebuildPayload(int station) {
    Station& s = stations_[station];
    if (s.addresses.empty()) {
        s.registerPayload.clear();
        s.xNeeded = false;
        return;
    }
    std::vector<int> first;
    for (const Entry& e : s.addresses) {
        if (static_cast<int>(first.size()) == tk485::kMaxMonitorWords) break;
        first.push_back(e.address);
    }
    std::string payload =
        tk485::MonitorRegisterPayload(station, first.data(), static_cast<int>(first.size()));
    if (payload != s.registerPayload) {
        s.registerPayload = std::move(payload);
        s.xNeeded = true;
    }
}

void MonitorRegistry::RecomputeAny() {
    anyMonitoring_ = std::any_of(stations_.begin() + 1, stations_.end(),
                                 [](const Station& s) { return !s.addresses.empty(); });
}

void MonitorRegistry::PruneDead(std::vector<ListenerRef>& listeners) {
    // A listener destroyed without unregistering must not block a new object that happens to
    // get the same address.
    std::erase_if(listeners, [](const ListenerRef& r) { return r.alive.expired(); });
}

bool MonitorRegistry::AddListener(int station, MonitorListener* listener) {
    if (!ValidStation(station) || listener == nullptr) return false;
    auto& list = stations_[station].listeners;
    PruneDead(list);
    if (IsListening(station, listener)) return false;
    list.push_back({listener, listener->listenerLiveness()});
    return true;
}

bool MonitorRegistry::RemoveListener(int station, MonitorListener* listener) {
    if (!ValidStation(station)) return false;
    auto& list = stations_[station].listeners;
    PruneDead(list);
    return std::erase_if(list, [&](const ListenerRef& r) { return r.listener == listener; }) > 0;
}

void MonitorRegistry::DropStation(int station) {
    if (!ValidStation(station)) return;
    stations_[station] = Station{};
    RecomputeAny();
}

bool MonitorRegistry::IsListening(int station, const MonitorListener* listener) const {
    if (!ValidStation(station)) return false;
    const auto& list = stations_[station].listeners;
    return std::any_of(list.begin(), list.end(), [&](const ListenerRef& r) {
        return r.listener == listener && !r.alive.expired();
    });
}

std::vector<ListenerRef> MonitorRegistry::Listeners(int station) const {
    if (!ValidStation(station)) return {};
    return stations_[station].listeners;
}

int MonitorRegistry::AddressCount(int station) const {
    if (!ValidStation(station)) return 0;
    return static_cast<int>(stations_[station].addresses.size());
}

int MonitorRegistry::AddressAt(int station, int index) const {
    if (index < 0 || index >= AddressCount(station)) return 0;
    return stations_[station].addresses[static_cast<std::size_t>(index)].address;
}

const std::string& MonitorRegistry::RegisterPayload(int station) const {
    if (!ValidStation(station)) return kNoPayload;
    return stations_[station].registerPayload;
}

bool MonitorRegistry::XNeeded(int station) const {
    return ValidStation(station) && stations_[station].xNeeded;
}

void MonitorRegistry::SetXNeeded(int station) {
    if (ValidStation(station) && !stations_[station].registerPayload.empty())
        stations_[station].xNeeded = true;
}

void MonitorRegistry::ClearXNeeded(int station) {
    if (ValidStation(station)) stations_[station].xNeeded = false;
}

void MonitorRegistry::MarkAllXNeeded() {
    for (int s = 1; s < kStations; ++s) SetXNeeded(s);
}

bool MonitorRegistry::NoteResult(const DriveReply& reply, std::int64_t nowUs) {
    if (!ValidStation(reply.station)) return false;
    auto& list = stations_[reply.station].addresses;
    bool changed = false;
    // A failed registration asked for every value of the station.
    if (reply.command == 'X') {
        if (reply.errorCode == kErrNone) return false;
        for (Entry& e : list) changed |= e.freshness.failed();
        return changed;
    }
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int i = 0; i < words; ++i) {
        const int address = reply.addresses[static_cast<std::size_t>(i)] & 0xFFFF;
        for (Entry& e : list) {
            if (e.address != address) continue;
            changed |=
                reply.errorCode == kErrNone ? e.freshness.received(nowUs) : e.freshness.failed();
        }
    }
    return changed;
}

std::vector<int> MonitorRegistry::UpdateFreshness(std::int64_t nowUs, std::int64_t slackUs) {
    std::vector<int> changed;
    for (int s = 1; s < kStations; ++s) {
        bool any = false;
        for (Entry& e : stations_[s].addresses) any |= e.freshness.update(nowUs, slackUs);
        if (any) changed.push_back(s);
    }
    return changed;
}

bool MonitorRegistry::IsFresh(int station, int address) const {
    if (!ValidStation(station)) return false;
    const auto& list = stations_[station].addresses;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const Entry& e) { return e.address == (address & 0xFFFF); });
    return it != list.end() && it->freshness.fresh();
}

int MonitorRegistry::NextPollStation(int current, int first, int last) const {
    first = std::max(first, 1);
    last = std::min(last, kStations - 1);
    for (int s = std::max(current + 1, first); s <= last; ++s)
        if (AddressCount(s) > 0) return s;
    // Wrapping round never reaches past the end of the range, even if `current` lies beyond it.
    for (int s = first; s <= std::min(current, last); ++s)
        if (AddressCount(s) > 0) return s;
    return 0;
}

}  // namespace korvane
