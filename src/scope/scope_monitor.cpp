#include "scope/scope_monitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/clock.h"
#include "common/format.h"
#include "common/prompter.h"
#include "paradb/drive_record.h"
#include "scope/sco_file.h"
#include "scope/scope_conversion.h"

namespace korvane::scope {
ScopeMonitor::ScopeMonitor(const ToolServices& services, ScopeChart& chart, ScopeTimers& timers,
                           ScopeObserver* observer)
    : services_(services),
      chart_(chart),
      timers_(timers),
      observer_(observer),
      subscription_(services.link, *this) {}

ScopeMonitor::~ScopeMonitor() {
    if (opened_) close();
}

bool ScopeMonitor::ValidChannel(int channel) {
    return channel >= 0 && channel < kChannelCount;
}

std::string ScopeMonitor::ValueText(double value, const MonitorItem* item) {
    return FormatFixed2(value) + " " + (item ? item->unit : std::string());
}

std::string ScopeMonitor::ShownName(const std::string& name) {
    std::string shown = name.substr(0, name.find('('));
    while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.pop_back();
    // The ideographic space of Japanese names counts as blank too.
    const std::string ideographicSpace = "\xE3\x80\x80";
    while (shown.size() >= 3 && shown.ends_with(ideographicSpace)) shown.resize(shown.size() - 3);
    return shown;
}

// ---- opening and closing --------------------------------------------------------------------

void ScopeMonitor::open() {
    settings_ = LoadScopeSettings(services_.settings, services_.dirs);
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        ScopeChannel& c = ch(i);
        c.on = s.on;
        c.station = s.station;
        c.address = s.address;
        c.itemIndex = s.itemIndex;
    }
    monitoring_ = settings_.monitorRun != 0;
    recording_ = settings_.recordRun != 0;
    armed_ = settings_.triggerRun != 0;
    opened_ = true;
    buildChart();
    refreshStations();
    if (armed_ && !(monitoring_ && isLive(settings_.triggerChannel))) armed_ = false;
    if (monitoring_) resume();
    changed();
}

// A saved run goes on where it was: no reset, and the record file is continued, not replaced.
void ScopeMonitor::resume() {
    if (recording_ && !openRecord(RecordFile::Mode::kAppend)) {
        recording_ = false;
        services_.prompter.error(kMsgRecordOpen, kCaption);
    }
    if (graphWatchOption()) raiseGraphWatch(true);
    timers_.start(ScopeClock::kScan, ScanPeriodMs(settings_.scanTime));
    timers_.start(ScopeClock::kElapsed, 1000);
    if (armed_ && !armFromLevel(false)) armed_ = false;
    onSample();
    if (recording_) {
        startRecordClocks();
        onRecord();
    }
}

void ScopeMonitor::close() {
    if (!opened_) return;
    if (recording_) stopRecordClocks();
    if (monitoring_) {
        timers_.stop(ScopeClock::kScan);
        timers_.stop(ScopeClock::kElapsed);
    }
    withdrawAll();
    settings_.first = 0;
    settings_.monitorRun = monitoring_;
    settings_.recordRun = recording_;
    settings_.triggerRun = armed_;
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        s.on = ch(i).on;
        s.station = ch(i).station;
        s.address = ch(i).address;
        s.itemIndex = ch(i).itemIndex;
    }
    SaveScopeSettings(settings_, services_.settings);
    record_.close();
    raiseGraphWatch(false);
    opened_ = false;
}

// ---- registrations and station lists ---------------------------------------------------------

bool ScopeMonitor::isLive(int channel) const {
    if (!ValidChannel(channel)) return false;
    const ScopeChannel& c = ch(channel);
    // An item index past the drive's list means nothing to convert with: not live.
    return c.on && c.station != 0 && c.address != kNoAddress &&
           static_cast<std::size_t>(c.itemIndex) < c.items.size();
}

bool ScopeMonitor::hasLiveValue(int channel) const {
    return isLive(channel) && ch(channel).freshness.live();
}

bool ScopeMonitor::anyOn() const {
    return std::ranges::any_of(channels_, [](const ScopeChannel& c) { return c.on != 0; });
}

bool ScopeMonitor::anyLive() const {
    for (int i = 0; i < kChannelCount; ++i)
        if (isLive(i)) return true;
    return false;
}

const MonitorItem* ScopeMonitor::itemOf(const ScopeChannel& c) const {
    const auto index = static_cast<std::size_t>(c.itemIndex);
    if (index < c.items.size() && c.items[index].address == c.address) return &c.items[index];
    for (const MonitorItem& item : c.items)
        if (item.address == c.address) return &item;
    return nullptr;
}

void ScopeMonitor::registerChannel(const ScopeChannel& c) {
    const DriveRecord& record = services_.records[c.station];
    std::vector<int> addresses{c.address};
    if (c.address == kTripWordAddress && UsesSecondTripWord(record.seriesCode, record.version))
        addresses.push_back(kSecondTripWordAddress);
    (void)subscription_.add(c.station, addresses);
}

void ScopeMonitor::registerAll() {
    if (!monitoring_) return;
    for (int i = 0; i < kChannelCount; ++i)
        if (isLive(i)) registerChannel(ch(i));
}

void ScopeMonitor::withdrawAll() {
    subscription_.withdrawAll();
}

void ScopeMonitor::rebuildItems(ScopeChannel& c, bool takeFirstWhenMissing) {
    c.items.clear();
    c.itemSelection = -1;
    const DriveRecord& record = services_.records[c.station];
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

void ScopeMonitor::resetChannel(ScopeChannel& c) {
    c.on = 0;
    c.station = 0;
    c.address = kNoAddress;
    c.value = 0.0;
    c.valueLabel.clear();
    c.valueStale = false;
    c.freshness.reset();
    c.listsEnabled = false;
    c.stationSelection = -1;
    c.itemSelection = -1;
    c.items.clear();
}

// A chart opened from a file keeps its channels as the file has them, whichever drives come
// and go, until monitoring starts: the user is looking at that file's data.
void ScopeMonitor::refreshStations() {
    withdrawAll();
    std::vector<int> connected;
    for (int station = 1; station <= 255; ++station)
        if (services_.records[station].isConnected()) connected.push_back(station);
    for (ScopeChannel& c : channels_) {
        c.stationChoices = connected;
        const auto found = std::ranges::find(connected, c.station);
        c.stationSelection =
            found == connected.end() ? -1 : static_cast<int>(found - connected.begin());
        c.itemSelection = -1;
        if (loadedFromFile_) {
            keepFileChannel(c);
            continue;
        }
        if (c.stationSelection >= 0) rebuildItems(c, false);
        if (c.stationSelection < 0 || c.itemSelection < 0) {
            resetChannel(c);
        } else {
            c.listsEnabled = true;
        }
    }
    for (int i = 0; i < kChannelCount; ++i) chart_.setChannelVisible(i, ch(i).on != 0);
    updateLegends();
    registerAll();
    stopIfNoneOn();
    changed();
}

void ScopeMonitor::keepFileChannel(ScopeChannel& c) {
    const auto index = static_cast<std::size_t>(c.itemIndex);
    if (c.itemIndex >= 0 && index < c.items.size() && c.items[index].address == c.address)
        c.itemSelection = c.itemIndex;
    c.listsEnabled = c.stationSelection >= 0;
}

void ScopeMonitor::stopIfNoneOn() {
    if (monitoring_ && !anyOn()) stopMonitoring();
}

bool ScopeMonitor::onBoxesEnabled() const {
    return services_.records.connectedCount() > 0;
}

void ScopeMonitor::setChannelOn(int channel, bool on) {
    if (!ValidChannel(channel)) return;
    withdrawAll();
    ch(channel).on = on ? 1 : 0;
    chart_.setChannelVisible(channel, on);
    updateLegends();
    registerAll();
    stopIfNoneOn();
    changed();
}

void ScopeMonitor::chooseStation(int channel, int station) {
    if (!ValidChannel(channel)) return;
    ScopeChannel& c = ch(channel);
    const auto found = std::ranges::find(c.stationChoices, station);
    if (found == c.stationChoices.end()) return;
    withdrawAll();
    c.station = station;
    c.stationSelection = static_cast<int>(found - c.stationChoices.begin());
    c.savedSeries = services_.records[station].seriesCode;
    c.savedVersion = services_.records[station].version;
    c.tripWord = c.secondTripWord = 0;
    c.freshness.reset();
    // A station the user picks keeps the item when its drive has it, else starts at the first.
    rebuildItems(c, true);
    c.listsEnabled = true;
    updateLegends();
    registerAll();
    changed();
}

void ScopeMonitor::chooseItem(int channel, int position) {
    if (!ValidChannel(channel)) return;
    ScopeChannel& c = ch(channel);
    if (position < 0 || static_cast<std::size_t>(position) >= c.items.size()) return;
    withdrawAll();
    c.itemIndex = position;
    c.itemSelection = position;
    c.address = c.items[static_cast<std::size_t>(position)].address;
    c.tripWord = c.secondTripWord = 0;
    c.freshness.reset();
    updateLegends();
    registerAll();
    changed();
}

void ScopeMonitor::setOffsetIndex(int channel, int index) {
    if (!ValidChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].offsetIndex =
        ClampIndex(index, kOffsetTable, kDefaultOffset);
    changed();
}

void ScopeMonitor::setDivIndex(int channel, int index) {
    if (!ValidChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].divIndex =
        ClampIndex(index, kDivTable, kDefaultDiv);
    changed();
}

// ---- poll results ----------------------------------------------------------------------------

void ScopeMonitor::OnDriveMonitor(int station, const DriveReply& reply) {
    // One failed poll is enough to stop taking the last value for a live one.
    if (reply.errorCode != kErrNone) {
        for (ScopeChannel& c : channels_)
            if (c.station == station) c.freshness.failed();
    }
    if (reply.errorCode == kErrRetriesExhausted) {
        // The link has forgotten the station: its counts are gone, not ours to withdraw.
        subscription_.linkDropped(station);
        for (ScopeChannel& c : channels_) {
            if (c.station != station) continue;
            c.value = 0.0;
            c.tripWord = c.secondTripWord = 0;
        }
        // Values return only if someone asks again; a drive that is still there is.
        if (monitoring_ && services_.records[station].isConnected()) {
            for (int i = 0; i < kChannelCount; ++i)
                if (isLive(i) && ch(i).station == station) registerChannel(ch(i));
        }
        changed();
        return;
    }
    if (reply.errorCode != kErrNone) return;
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int k = 0; k < words; ++k) {
        const int address = reply.addresses[static_cast<std::size_t>(k)] & 0xFFFF;
        const int word = reply.values[static_cast<std::size_t>(k)] & 0xFFFF;
        for (int i = 0; i < kChannelCount; ++i) {
            ScopeChannel& c = ch(i);
            if (!isLive(i) || !monitoring_) {
                c.value = 0.0;
                continue;
            }
            if (c.station == station) takeWord(c, address, word);
        }
    }
}

void ScopeMonitor::takeWord(ScopeChannel& c, int address, int word) {
    const bool tripChannel = c.address == kTripWordAddress;
    if (address != c.address && !(tripChannel && address == kSecondTripWordAddress)) return;
    ConversionInput in;
    in.item = &c.items[static_cast<std::size_t>(c.itemIndex)];
    in.address = c.address;
    in.word = static_cast<std::uint16_t>(word);
    const DriveRecord& record = services_.records[c.station];
    in.seriesCode = record.seriesCode;
    in.statusWord = record.statusWord;
    if (tripChannel && !in.item->bitItem) {
        // Either trip word non-zero is a trip: a zero second word must not hide the first.
        (address == kTripWordAddress ? c.tripWord : c.secondTripWord) = in.word;
        in.word = static_cast<std::uint16_t>(c.tripWord | c.secondTripWord);
    }
    c.value = ConvertPolledWord(in);
    c.freshness.received();
}

// ---- monitoring ------------------------------------------------------------------------------

bool ScopeMonitor::enabled(ScopeCommand command) const {
    const bool drives = services_.records.connectedCount() > 0;
    switch (command) {
        case ScopeCommand::kStartMonitor:
            return drives && !monitoring_;
        case ScopeCommand::kStopMonitor:
            return drives && monitoring_;
        case ScopeCommand::kStartRecord:
            return drives && monitoring_ && !recording_;
        case ScopeCommand::kStopRecord:
            return drives && monitoring_ && recording_;
        case ScopeCommand::kArmTrigger:
            return drives && monitoring_ && !armed_;
        case ScopeCommand::kDisarmTrigger:
            return drives && monitoring_ && armed_;
        case ScopeCommand::kGraphWatch:
            return drives;
        case ScopeCommand::kFileCommands:
            return !monitoring_;
    }
    return false;
}

void ScopeMonitor::startMonitoring() {
    if (monitoring_) return;
    if (loadedFromFile_) {
        // A new run is not the file's: its channels meet the drives connected now.
        loadedFromFile_ = false;
        refreshStations();
    }
    withdrawAll();
    monitoring_ = true;
    if (!anyLive()) {
        monitoring_ = false;
        services_.prompter.info(kMsgNoChannel, kCaption);
        changed();
        return;
    }
    if (graphWatchOption()) raiseGraphWatch(true);
    detector_.reset();
    recording_ = false;
    armed_ = false;
    recordLines_ = 0;
    elapsed_ = 0;
    recordLed_ = triggerLed_ = snapshotFailed_ = false;
    for (ScopeChannel& c : channels_) {
        c.value = 0.0;
        c.valueLabel.clear();
        c.valueStale = false;
        c.freshness.reset();
        c.tripWord = c.secondTripWord = 0;
    }
    // The chart no longer shows the file's data: a save must not write over it unasked.
    scoPath_.clear();
    chart_.setMode(ChartMode::kNormal);
    chart_.beginUpdate();
    resetAxes();
    chart_.endUpdate();
    timers_.start(ScopeClock::kScan, ScanPeriodMs(settings_.scanTime));
    timers_.start(ScopeClock::kElapsed, 1000);
    registerAll();
    onSample();
    changed();
}

void ScopeMonitor::stopMonitoring() {
    if (!monitoring_) return;
    withdrawAll();
    monitoring_ = false;
    if (recording_) stopRecordClocks();
    timers_.stop(ScopeClock::kScan);
    timers_.stop(ScopeClock::kElapsed);
    record_.close();
    detector_.endRun();
    recording_ = false;
    armed_ = false;
    recordLed_ = false;
    chart_.setMode(ChartMode::kCursor);
    raiseGraphWatch(false);
    changed();
}

void ScopeMonitor::onSample() {
    if (!monitoring_) return;
    const int point = chart_.appendPoint(OleDateFromLocal(services_.clock.now()));
    for (int i = 0; i < kChannelCount; ++i) sampleChannel(i, point);
    if (observer_) observer_->sampled(point);
    runTriggerOn(point);
    for (ScopeChannel& c : channels_) c.freshness.tick();
    changed();
}

// Only received values are plotted: a value that is not live leaves a gap, and its label keeps
// the last live value, dimmed.
void ScopeMonitor::sampleChannel(int channel, int point) {
    ScopeChannel& c = ch(channel);
    const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(channel)];
    if (!isLive(channel)) {
        c.valueLabel.clear();
        c.valueStale = false;
        chart_.setY(channel, point, c.value);
        return;
    }
    c.valueStale = !c.freshness.live();
    if (c.valueStale) {
        chart_.setY(channel, point, kNoValue);
        return;
    }
    c.valueLabel = ValueText(c.value, itemOf(c));
    chart_.setY(channel, point, c.value / DivValue(s.divIndex) + OffsetValue(s.offsetIndex));
}

void ScopeMonitor::runTriggerOn(int point) {
    const int channel = settings_.triggerChannel;
    if (!armed_ || !isLive(channel)) return;
    const double value = ch(channel).value;
    const TriggerDetector::Result result =
        hasLiveValue(channel) ? detector_.onSample(value, point) : detector_.onGap();
    if (result.detected) {
        triggerLed_ = true;
        if (observer_) observer_->triggerDetected(channel, point, value);
    }
    if (result.stop) finishTrigger();
}

void ScopeMonitor::finishTrigger() {
    stopMonitoring();
    chart_.setCursorPosition(detector_.triggerPoint());
    showCursorReadings();
    if (settings_.snapShot) saveSnapshot();
}

// The picture goes to a temporary file first: a failed save keeps the previous snapshot and
// is reported, not lost without a word.
void ScopeMonitor::saveSnapshot() {
    const std::string& path = settings_.snapshotPath;
    const std::string temp = path + ".part";
    auto format = static_cast<ImageFormat>(std::clamp(settings_.snapshotFilterIndex, 1, 4));
    std::error_code ec;
    bool ok = chart_.saveImage(temp, format);
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        snapshotFailed_ = true;
        changed();
        services_.prompter.error(kMsgSnapshotFailed, kCaption);
    }
}

void ScopeMonitor::onSecond() {
    if (!monitoring_) return;
    ++elapsed_;
    changed();
}

std::string ScopeMonitor::elapsedText() const {
    return strprintf("%02d:%02d:%02d", elapsed_ / 3600 % 24, elapsed_ / 60 % 60, elapsed_ % 60);
}

// ---- trigger ---------------------------------------------------------------------------------

bool ScopeMonitor::armFromLevel(bool tellUser) {
    const std::optional<double> number = ParseTriggerLevel(settings_.triggerLevel);
    if (!number) {
        if (tellUser) services_.prompter.info(kMsgTriggerLevel, kCaption);
        return false;
    }
    const int channel = settings_.triggerChannel;
    if (!isLive(channel)) {
        if (tellUser) services_.prompter.info(kMsgTriggerChannel, kCaption);
        return false;
    }
    // A bit channel keeps the level as typed: 0.5 is the level between its two states.
    detector_.arm(*number, static_cast<TriggerEdge>(settings_.triggerEdge));
    return true;
}

void ScopeMonitor::armTrigger() {
    if (!monitoring_ || armed_) return;
    armed_ = armFromLevel(true);
    if (armed_) triggerLed_ = false;
    changed();
}

void ScopeMonitor::disarmTrigger() {
    armed_ = false;
    changed();
}

void ScopeMonitor::setTriggerChannel(int channel) {
    if (armed_ || !ValidChannel(channel)) return;
    settings_.triggerChannel = channel;
    changed();
}

void ScopeMonitor::setTriggerEdge(TriggerEdge edge) {
    if (armed_) return;
    settings_.triggerEdge = edge == TriggerEdge::kFalling ? 1 : 0;
    changed();
}

void ScopeMonitor::setTriggerLevelText(const std::string& text) {
    if (armed_) return;
    settings_.triggerLevel = text;
}

void ScopeMonitor::setSnapshot(bool on) {
    if (armed_) return;
    settings_.snapShot = on ? 1 : 0;
}

void ScopeMonitor::setSnapshotPath(const std::string& path, int filterIndex) {
    if (armed_) return;
    settings_.snapshotPath = path;
    settings_.snapshotFilterIndex = std::clamp(filterIndex, 1, kLastImageFilter);
    changed();
}

void ScopeMonitor::setRecordPath(const std::string& path) {
    if (recording_) return;
    settings_.recordPath = path;
    changed();
}

void ScopeMonitor::setRecordTimeColumn(bool on) {
    if (recording_) return;
    settings_.recordTimeColumn = on ? 1 : 0;
    changed();
}

// ---- recording -------------------------------------------------------------------------------

bool ScopeMonitor::openRecord(RecordFile::Mode mode) {
    return record_.open(settings_.recordPath, mode);
}

void ScopeMonitor::startRecordClocks() {
    timers_.start(ScopeClock::kRecord, RecordPeriodMs(settings_.recordTime));
    timers_.start(ScopeClock::kBlink, 500);
}

void ScopeMonitor::stopRecordClocks() {
    timers_.stop(ScopeClock::kRecord);
    timers_.stop(ScopeClock::kBlink);
}

void ScopeMonitor::startRecording() {
    if (!monitoring_ || recording_) return;
    // Only an explicit start replaces the file; a resumed run appends to it.
    if (!openRecord(RecordFile::Mode::kReplace)) {
        services_.prompter.error(kMsgRecordOpen, kCaption);
        changed();
        return;
    }
    recording_ = true;
    recordLines_ = 0;
    recordLed_ = false;
    startRecordClocks();
    onRecord();
    changed();
}

void ScopeMonitor::stopRecording() {
    if (!recording_) return;
    recording_ = false;
    stopRecordClocks();
    record_.close();
    recordLed_ = false;
    changed();
}

void ScopeMonitor::onRecord() {
    if (!recording_) return;
    // A channel that is not set up keeps the file's 0.00; one whose value is not live has none.
    RecordValues values;
    for (int i = 0; i < kChannelCount; ++i) {
        auto& value = values[static_cast<std::size_t>(i)];
        if (!isLive(i)) {
            value = 0.0;
        } else if (hasLiveValue(i)) {
            value = ch(i).value;
        }
    }
    const std::string time = settings_.recordTimeColumn
                                 ? IsoLocalText(OleDateFromLocal(services_.clock.now()))
                                 : std::string();
    if (!record_.writeLine(values, time)) {
        stopRecording();
        services_.prompter.error(kMsgRecordWrite, kCaption);
        return;
    }
    ++recordLines_;
    changed();
}

void ScopeMonitor::onBlink() {
    if (!recording_) return;
    recordLed_ = !recordLed_;
    changed();
}

// ---- graph watch -----------------------------------------------------------------------------

void ScopeMonitor::raiseGraphWatch(bool active) {
    if (active == raisedGraphWatch_) return;
    raisedGraphWatch_ = active;
    services_.host.setGraphWatchActive(active);
}

void ScopeMonitor::toggleGraphWatch() {
    if (graphWatchOption()) {
        settings_.graphWatchMode = 0;
        raiseGraphWatch(false);
        changed();
        return;
    }
    services_.prompter.ask(kMsgGraphWatch, kCaption,
                           WhileAlive(listenerLiveness(), [this](bool yes) {
                               // Unless switched on some other way while the question was open.
                               if (yes && !graphWatchOption()) {
                                   settings_.graphWatchMode = 1;
                                   if (monitoring_) raiseGraphWatch(true);
                               }
                               changed();
                           }));
}

void ScopeMonitor::changed() {
    if (observer_) observer_->stateChanged();
}

}  // namespace korvane::scope
