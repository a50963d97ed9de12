#include "scope/scope_channels.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "paradb/drive_record.h"
#include "scope/sco_file.h"
#include "scope/scope_conversion.h"

namespace korvane::scope {
namespace {

// What the channel panel's two lists show; a change of any of it is a refill.
struct ListsShown {
    std::vector<StationChoice> stations;
    int stationSelection = -1;
    std::vector<std::pair<int, std::string>> items;
    int itemSelection = -1;
    bool enabled = false;
    bool operator==(const ListsShown&) const = default;
};

ListsShown listsOf(const ScopeChannel& c) {
    ListsShown shown{c.stationChoices, c.stationSelection, {}, c.itemSelection, c.listsEnabled};
    shown.items.reserve(c.items.size());
    for (const MonitorItem& item : c.items) shown.items.emplace_back(item.address, item.name);
    return shown;
}

}  // namespace

ScopeChannels::ScopeChannels(ScopeState& state)
    : state_(state),
      subscription_(state.services.link, *this),
      fresh_([&link = state.services.link](int station, int address) {
          return link.IsMonitorValueFresh(station, address);
      }) {}

std::string ScopeChannels::ShownName(const std::string& name) {
    std::string shown = name.substr(0, name.find('('));
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.pop_back();
    // The ideographic space of Japanese names counts as blank too.
    const std::string ideographicSpace = "\xE3\x80\x80";  // untranslated: matched in names
    while (shown.size() >= 3 && shown.ends_with(ideographicSpace)) shown.resize(shown.size() - 3);
    return shown;
}

template <typename Edit>
void ScopeChannels::editLists(ScopeChannel& c, Edit edit) {
    const ListsShown before = listsOf(c);
    edit();
    if (!(listsOf(c) == before)) ++c.listsRevision;
}

// ---- state ------------------------------------------------------------------------------------

bool ScopeChannels::isLive(int channel) const {
    if (!ScopeState::ValidChannel(channel)) return false;
    const ScopeChannel& c = at(channel);
    // An item index past the drive's list means nothing to convert with: not live.
    return c.on && c.station != 0 && c.address != kNoAddress &&
           static_cast<std::size_t>(c.itemIndex) < c.items.size();
}

bool ScopeChannels::hasLiveValue(int channel) const {
    if (!isLive(channel)) return false;
    const ScopeChannel& c = at(channel);
    return c.received && fresh_ && fresh_(c.station, c.address);
}

bool ScopeChannels::anyOn() const {
    return std::ranges::any_of(channels_, [](const ScopeChannel& c) { return c.on != 0; });
}

bool ScopeChannels::anyLive() const {
    for (int i = 0; i < kChannelCount; ++i)
        if (isLive(i)) return true;
    return false;
}

const MonitorItem* ScopeChannels::itemOf(const ScopeChannel& c) const {
    const auto index = static_cast<std::size_t>(c.itemIndex);
    if (index < c.items.size() && c.items[index].address == c.address) return &c.items[index];
    for (const MonitorItem& item : c.items)
        if (item.address == c.address) return &item;
    return nullptr;
}

void ScopeChannels::load(const ScopeSettings& settings) {
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& s = settings.channels[static_cast<std::size_t>(i)];
        ScopeChannel& c = at(i);
        c.on = s.on;
        c.station = s.station;
        c.address = s.address;
        c.itemIndex = s.itemIndex;
    }
}

void ScopeChannels::store(ScopeSettings& settings) const {
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings& s = settings.channels[static_cast<std::size_t>(i)];
        s.on = at(i).on;
        s.station = at(i).station;
        s.address = at(i).address;
        s.itemIndex = at(i).itemIndex;
    }
}

void ScopeChannels::takeFile(const ScoFile& file) {
    withdrawAll();
    for (int i = 0; i < kChannelCount; ++i) {
        const ScoChannel& in = file.channels[static_cast<std::size_t>(i)];
        ScopeChannel& c = at(i);
        editLists(c, [&] {
            c.on = in.on;
            c.station = in.station;
            c.address = in.address;
            c.itemIndex = in.itemIndex;
            c.savedSeries = in.series;
            c.savedVersion = in.version;
            c.value = 0.0;
            c.valueLabel.clear();
            c.valueStale = false;
            c.items.clear();
            if (c.on && c.savedSeries != kNoSeries)
                BuildMonitorList(c.savedSeries, c.savedVersion, kMonitorListAll, c.items);
        });
    }
}

// ---- registrations ------------------------------------------------------------------------------

void ScopeChannels::registerChannel(const ScopeChannel& c) {
    const DriveRecord& record = state_.services.records[c.station];
    std::vector<int> addresses{c.address};
    if (c.address == kTripWordAddress && UsesSecondTripWord(record.seriesCode, record.version))
        addresses.push_back(kSecondTripWordAddress);
    (void)subscription_.add(c.station, addresses);
}

void ScopeChannels::registerAll() {
    if (!state_.monitoring) return;
    for (int i = 0; i < kChannelCount; ++i)
        if (isLive(i)) registerChannel(at(i));
}

void ScopeChannels::withdrawAll() {
    subscription_.withdrawAll();
}

// ---- lists --------------------------------------------------------------------------------------

void ScopeChannels::rebuildItems(ScopeChannel& c, bool takeFirstWhenMissing) {
    c.items.clear();
    c.itemSelection = -1;
    const DriveRecord& record = state_.services.records[c.station];
    BuildMonitorList(record.seriesCode, record.version, kMonitorListAll, c.items);
    if (c.items.empty()) return;
    const auto index = static_cast<std::size_t>(c.itemIndex);
    const bool beyond = c.itemIndex < 0 || index >= c.items.size();
    if (!beyond && c.items[index].address == c.address) {
        c.itemSelection = c.itemIndex;
    } else if (beyond || takeFirstWhenMissing) {
        c.itemSelection = 0;
        c.itemIndex = 0;
        c.address = c.items.front().address;
    }
}

void ScopeChannels::resetChannel(ScopeChannel& c) {
    c.on = 0;
    c.station = 0;
    c.address = kNoAddress;
    c.value = 0.0;
    c.valueLabel.clear();
    c.valueStale = false;
    c.received = false;
    c.listsEnabled = false;
    c.stationSelection = -1;
    c.itemSelection = -1;
    c.items.clear();
}

void ScopeChannels::keepFileChannel(ScopeChannel& c) {
    const auto index = static_cast<std::size_t>(c.itemIndex);
    if (c.itemIndex >= 0 && index < c.items.size() && c.items[index].address == c.address)
        c.itemSelection = c.itemIndex;
    c.listsEnabled = c.stationSelection >= 0;
}

// A chart opened from a file keeps its channels as the file has them, whichever drives come
// and go, until monitoring starts: the user is looking at that file's data.
void ScopeChannels::refreshChannel(ScopeChannel& c, const std::vector<StationChoice>& connected) {
    c.stationChoices = connected;
    const auto found = std::ranges::find(connected, c.station, &StationChoice::station);
    c.stationSelection =
        found == connected.end() ? -1 : static_cast<int>(found - connected.begin());
    c.itemSelection = -1;
    if (state_.fromFile) {
        keepFileChannel(c);
        return;
    }
    if (c.stationSelection >= 0) rebuildItems(c, false);
    if (c.stationSelection < 0 || c.itemSelection < 0) {
        resetChannel(c);
    } else {
        c.listsEnabled = true;
    }
}

void ScopeChannels::refreshStations() {
    withdrawAll();
    std::vector<StationChoice> connected;
    for (int station = 1; station <= 255; ++station) {
        const DriveRecord& record = state_.services.records[station];
        if (record.isConnected()) connected.push_back({station, record.seriesCode});
    }
    for (ScopeChannel& c : channels_) editLists(c, [&] { refreshChannel(c, connected); });
}

void ScopeChannels::setOn(int channel, bool on) {
    withdrawAll();
    at(channel).on = on ? 1 : 0;
    registerAll();
}

bool ScopeChannels::chooseStation(int channel, int station) {
    if (!ScopeState::ValidChannel(channel)) return false;
    ScopeChannel& c = at(channel);
    const auto found = std::ranges::find(c.stationChoices, station, &StationChoice::station);
    if (found == c.stationChoices.end()) return false;
    withdrawAll();
    editLists(c, [&] {
        c.station = station;
        c.stationSelection = static_cast<int>(found - c.stationChoices.begin());
        c.savedSeries = state_.services.records[station].seriesCode;
        c.savedVersion = state_.services.records[station].version;
        c.tripWord = c.secondTripWord = 0;
        c.received = false;
        // A station the user picks keeps the item when its drive has it, else the first.
        rebuildItems(c, true);
        c.listsEnabled = true;
    });
    registerAll();
    return true;
}

bool ScopeChannels::chooseItem(int channel, int position) {
    if (!ScopeState::ValidChannel(channel)) return false;
    ScopeChannel& c = at(channel);
    if (position < 0 || static_cast<std::size_t>(position) >= c.items.size()) return false;
    withdrawAll();
    editLists(c, [&] {
        c.itemIndex = position;
        c.itemSelection = position;
        c.address = c.items[static_cast<std::size_t>(position)].address;
        c.tripWord = c.secondTripWord = 0;
        c.received = false;
    });
    registerAll();
    return true;
}

void ScopeChannels::clearValues() {
    for (ScopeChannel& c : channels_) {
        c.value = 0.0;
        c.valueLabel.clear();
        c.valueStale = false;
        c.received = false;
        c.tripWord = c.secondTripWord = 0;
    }
}

// ---- poll results -------------------------------------------------------------------------------

void ScopeChannels::OnDriveMonitor(int station, const DriveReply& reply) {
    if (reply.errorCode == kErrRetriesExhausted) {
        stationLost(station);
        return;
    }
    if (reply.errorCode != kErrNone) return;
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int k = 0; k < words; ++k) {
        const int address = reply.addresses[static_cast<std::size_t>(k)] & 0xFFFF;
        const int word = reply.values[static_cast<std::size_t>(k)] & 0xFFFF;
        for (int i = 0; i < kChannelCount; ++i) {
            ScopeChannel& c = at(i);
            if (!isLive(i) || !state_.monitoring) {
                c.value = 0.0;
                continue;
            }
            if (c.station == station) takeWord(c, address, word);
        }
    }
}

void ScopeChannels::stationLost(int station) {
    // The link has forgotten the station: its counts are gone, not ours to withdraw.
    subscription_.linkDropped(station);
    for (ScopeChannel& c : channels_) {
        if (c.station != station) continue;
        c.value = 0.0;
        c.tripWord = c.secondTripWord = 0;
    }
    // Values return only if someone asks again; a drive that is still there is.
    if (state_.monitoring && state_.services.records[station].isConnected()) {
        for (int i = 0; i < kChannelCount; ++i)
            if (isLive(i) && at(i).station == station) registerChannel(at(i));
    }
    state_.changed();
}

void ScopeChannels::takeWord(ScopeChannel& c, int address, int word) {
    const bool tripChannel = c.address == kTripWordAddress;
    if (address != c.address && !(tripChannel && address == kSecondTripWordAddress)) return;
    ConversionInput in;
    in.item = &c.items[static_cast<std::size_t>(c.itemIndex)];
    in.address = c.address;
    in.word = static_cast<std::uint16_t>(word);
    const DriveRecord& record = state_.services.records[c.station];
    in.seriesCode = record.seriesCode;
    in.statusWord = record.statusWord;
    if (tripChannel && !in.item->bitItem) {
        // Either trip word non-zero is a trip: a zero second word must not hide the first.
        (address == kTripWordAddress ? c.tripWord : c.secondTripWord) = in.word;
        in.word = static_cast<std::uint16_t>(c.tripWord | c.secondTripWord);
    }
    c.value = ConvertPolledWord(in);
    c.received = true;
}

}  // namespace korvane::scope
