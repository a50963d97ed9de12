#pragma once
// The graph monitor's four channels: which drive and item each one samples, the station and
// item lists its panel offers, the registrations with the drive link and the words the link
// delivers. Whether a received value is still live is the link's verdict, the same one every
// other window shows.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "comm/drive_reply.h"
#include "comm/monitor_subscription.h"
#include "paradb/monitor_list.h"
#include "scope/scope_state.h"

namespace korvane::scope {

struct ScoFile;

struct StationChoice {
    int station = 0;
    int series = 0;
    bool operator==(const StationChoice&) const = default;
};

struct ScopeChannel {
    int on = 0;
    int station = 0;
    int address = kNoAddress;
    int itemIndex = 0;
    int savedSeries = 255;
    int savedVersion = 0;
    double value = 0.0;
    std::vector<MonitorItem> items;
    // The lists of the channel panel: stations offered, the chosen one's position (-1 none),
    // the chosen item's position (-1 none).
    std::vector<StationChoice> stationChoices;
    int stationSelection = -1;
    int itemSelection = -1;
    bool listsEnabled = false;
    // Goes up only when what the two lists offer or select changed: refilling an open list
    // would close it under the user.
    unsigned listsRevision = 0;
    std::string valueLabel;
    // The label holds the last live value, shown dimmed, while the value is not live.
    bool valueStale = false;
    // A word came for this run and item: before that the value is not this run's.
    bool received = false;
    // Newer Juniper drives split their trips over two words; either one non-zero is a trip.
    std::uint16_t tripWord = 0;
    std::uint16_t secondTripWord = 0;
};

class ScopeChannels : public MonitorListener {
public:
    // Whether the link holds the (station, address) value live.
    using FreshnessQuery = std::function<bool(int station, int address)>;

    explicit ScopeChannels(ScopeState& state);
    ScopeChannels(const ScopeChannels&) = delete;
    ScopeChannels& operator=(const ScopeChannels&) = delete;

    // Tests that deliver results by hand answer for the link.
    void setFreshness(FreshnessQuery query) { fresh_ = std::move(query); }

    const std::array<ScopeChannel, kChannelCount>& all() const { return channels_; }
    const ScopeChannel& at(int channel) const {
        return channels_[static_cast<std::size_t>(channel)];
    }
    ScopeChannel& at(int channel) { return channels_[static_cast<std::size_t>(channel)]; }

    // The channel is set up to be sampled: on, with a drive and one of its items.
    bool isLive(int channel) const;
    // A set-up channel whose value is a reading the drive just gave.
    bool hasLiveValue(int channel) const;
    bool anyOn() const;
    bool anyLive() const;
    const MonitorItem* itemOf(const ScopeChannel& c) const;

    // The stored setup, both ways.
    void load(const ScopeSettings& settings);
    void store(ScopeSettings& settings) const;
    // A file's channels, with the items of the drives it came from.
    void takeFile(const ScoFile& file);

    // Registers every live channel while monitoring.
    void registerAll();
    void withdrawAll();
    // The (station, address) pairs registered with the link now.
    const std::vector<std::pair<int, int>>& registrations() const { return subscription_.pairs(); }

    // The lists meet the drives connected now. A chart opened from a file keeps its channels.
    void refreshStations();
    void setOn(int channel, bool on);
    // Both false when the choice is not one the lists offer.
    bool chooseStation(int channel, int station);
    bool chooseItem(int channel, int position);
    // A new run: nothing received yet.
    void clearValues();

    // MonitorListener.
    void OnDriveMonitor(int station, const DriveReply& reply) override;
    bool ReceivesDuringGraphWatch() const override { return true; }

    // The shown name of a monitor item: cut before "(" and trimmed on the right.
    static std::string ShownName(const std::string& name);

private:
    template <typename Edit>
    void editLists(ScopeChannel& c, Edit edit);
    void registerChannel(const ScopeChannel& c);
    void rebuildItems(ScopeChannel& c, bool takeFirstWhenMissing);
    void resetChannel(ScopeChannel& c);
    void keepFileChannel(ScopeChannel& c);
    void refreshChannel(ScopeChannel& c, const std::vector<StationChoice>& connected);
    void takeWord(ScopeChannel& c, int address, int word);
    void stationLost(int station);

    ScopeState& state_;
    std::array<ScopeChannel, kChannelCount> channels_;
    MonitorSubscription subscription_;
    FreshnessQuery fresh_;
};

}  // namespace korvane::scope
