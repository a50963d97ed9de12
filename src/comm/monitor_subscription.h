#pragma once
// The monitor registrations one window made with the drive link. A window withdraws exactly
// the (station, address) pairs it registered, once, and never takes away other windows'
// reference counts: the drive record it might rebuild them from is zeroed when a drive goes.
// After a final monitoring failure the link has already forgotten the station, so its pairs
// are dropped here without a withdrawal, and the window may register again.
#include <utility>
#include <vector>

namespace korvane {

class CDriveLink;
class MonitorListener;

class MonitorSubscription {
public:
    MonitorSubscription(CDriveLink& link, MonitorListener& listener);
    ~MonitorSubscription();  // withdraws whatever is still registered
    MonitorSubscription(const MonitorSubscription&) = delete;
    MonitorSubscription& operator=(const MonitorSubscription&) = delete;

    // Registers the addresses (duplicates count twice, as the link counts them) and the
    // listener for the station. Returns false for a station outside 1..255.
    bool add(int station, const std::vector<int>& addresses);
    // Withdraws the station's pairs and listener, once; a second call does nothing.
    void withdraw(int station);
    void withdrawAll();
    // The link dropped the station after a final monitoring failure (code 100): forget its
    // pairs without withdrawing them.
    void linkDropped(int station);

    bool isRegistered(int station) const;
    // What is registered now, in registration order.
    const std::vector<std::pair<int, int>>& pairs() const { return pairs_; }

private:
    CDriveLink& link_;
    MonitorListener& listener_;
    std::vector<std::pair<int, int>> pairs_;  // (station, address)
    std::vector<int> stations_;               // stations the listener is registered with
};

}  // namespace korvane
