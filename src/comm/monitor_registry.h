#pragma once
// Per-station monitoring state of the drive link: which addresses windows want polled (with
// reference counts, in first-registration order), who listens, and the TK485 registration
// payload that tells the drive what a monitor read returns.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "comm/monitor_freshness.h"

namespace korvane {

struct ListenerRef {
    MonitorListener* listener = nullptr;
    std::weak_ptr<const char> alive;
};

class MonitorRegistry {
public:
    static constexpr int kStations = 256;
    static bool ValidStation(int station) { return station >= 1 && station < kStations; }

    // True if at least one address was new (resp. dropped to a count of zero).
    bool AddAddresses(int station, const int* addresses, int count);
    bool RemoveAddresses(int station, const int* addresses, int count);
    bool AddListener(int station, MonitorListener* listener);
    bool RemoveListener(int station, MonitorListener* listener);
    // Forgets every address and listener of the station.
    void DropStation(int station);

    bool IsListening(int station, const MonitorListener* listener) const;
    std::vector<ListenerRef> Listeners(int station) const;

    int AddressCount(int station) const;
    int AddressAt(int station, int index) const;
    const std::string& RegisterPayload(int station) const;

    bool XNeeded(int station) const;
    // Only a station that has a payload can need it sent.
    void SetXNeeded(int station);
    void ClearXNeeded(int station);
    void MarkAllXNeeded();

    // Monitoring results and the passing of time decide which values are live; each returns
    // whether any verdict changed (for UpdateFreshness: the stations where one did).
    bool NoteResult(const DriveReply& reply, std::int64_t nowUs);
    std::vector<int> UpdateFreshness(std::int64_t nowUs, std::int64_t slackUs);
    // False for an address nobody registered.
    bool IsFresh(int station, int address) const;

    bool AnyMonitoring() const { return anyMonitoring_; }
    // The next station after `current` up to `last` with addresses, else the first such from
    // `first` up to `current`; 0 if none.
    int NextPollStation(int current, int first, int last) const;

private:
    struct Entry {
        int address = 0;
        int refCount = 0;
        ValueFreshness freshness;
    };
    struct Station {
        std::vector<Entry> addresses;
        std::vector<ListenerRef> listeners;
        std::string registerPayload;
        bool xNeeded = false;
    };

    void RebuildPayload(int station);
    void RecomputeAny();
    static void PruneDead(std::vector<ListenerRef>& listeners);

    std::array<Station, kStations> stations_;
    bool anyMonitoring_ = false;
};

}  // namespace korvane
