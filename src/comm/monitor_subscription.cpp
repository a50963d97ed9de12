#include "comm/monitor_subscription.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "comm/monitor_registry.h"

namespace korvane {

MonitorSubscription::MonitorSubscription(CDriveLink& link, MonitorListener& listener)
    : link_(link), listener_(listener) {}

MonitorSubscription::~MonitorSubscription() {
    withdrawAll();
}

bool MonitorSubscription::add(int station, const std::vector<int>& addresses) {
    if (!MonitorRegistry::ValidStation(station)) return false;
    if (!addresses.empty())
        link_.AddMonitorAddresses(station, addresses.data(), static_cast<int>(addresses.size()));
    for (int address : addresses) pairs_.emplace_back(station, address);
    if (!isRegistered(station)) {
        link_.AddListener(station, &listener_);
        stations_.push_back(station);
    }
    return true;
}

void MonitorSubscription::withdraw(int station) {
    if (!isRegistered(station)) return;
    std::vector<int> addresses;
    for (const auto& [s, a] : pairs_)
        if (s == station) addresses.push_back(a);
    if (!addresses.empty())
        link_.RemoveMonitorAddresses(station, addresses.data(), static_cast<int>(addresses.size()));
    link_.RemoveListener(station, &listener_);
    linkDropped(station);
}

void MonitorSubscription::withdrawAll() {
    while (!stations_.empty()) withdraw(stations_.front());
}

void MonitorSubscription::linkDropped(int station) {
    std::erase_if(pairs_, [station](const auto& p) { return p.first == station; });
    std::erase(stations_, station);
}

bool MonitorSubscription::isRegistered(int station) const {
    return std::ranges::find(stations_, station) != stations_.end();
}

}  // namespace korvane
