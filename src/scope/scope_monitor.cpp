#include "scope/scope_monitor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/main_commands.h"
#include "common/clock.h"
#include "common/format.h"
#include "common/prompter.h"
#include "common/text.h"
#include "paradb/drive_record.h"
#include "scope/sco_file.h"
#include "scope/scope_conversion.h"

namespace korvane::scope {
namespace {

bool validChannel(int channel) {
    return channel >= 0 && channel < kChannelCount;
}

std::string valueText(double value, const MonitorItem* item) {
    return FormatFixed2(value) + " " + (item ? item->unit : std::string());
}

}  // namespace

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
    if (!validChannel(channel)) return false;
    const ScopeChannel& c = ch(channel);
    // An item index past the drive's list means nothing to convert with: not live.
    return c.on && c.station != 0 && c.address != kNoAddress &&
           static_cast<std::size_t>(c.itemIndex) < c.items.size();
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
    c.listsEnabled = false;
    c.stationSelection = -1;
    c.itemSelection = -1;
    c.items.clear();
}

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
        if (c.stationSelection >= 0) rebuildItems(c, false);
        if (c.stationSelection < 0 || c.itemSelection < 0) {
            resetChannel(c);
        } else {
            c.listsEnabled = true;
        }
    }
    loadedFromFile_ = false;
    for (int i = 0; i < kChannelCount; ++i) chart_.setChannelVisible(i, ch(i).on != 0);
    updateLegends();
    registerAll();
    stopIfNoneOn();
    changed();
}

void ScopeMonitor::stopIfNoneOn() {
    if (monitoring_ && !anyOn()) stopMonitoring();
}

bool ScopeMonitor::onBoxesEnabled() const {
    return services_.records.connectedCount() > 0;
}

void ScopeMonitor::setChannelOn(int channel, bool on) {
    if (!validChannel(channel)) return;
    withdrawAll();
    ch(channel).on = on ? 1 : 0;
    chart_.setChannelVisible(channel, on);
    updateLegends();
    registerAll();
    stopIfNoneOn();
    changed();
}

void ScopeMonitor::chooseStation(int channel, int station) {
    if (!validChannel(channel)) return;
    ScopeChannel& c = ch(channel);
    const auto found = std::ranges::find(c.stationChoices, station);
    if (found == c.stationChoices.end()) return;
    withdrawAll();
    c.station = station;
    c.stationSelection = static_cast<int>(found - c.stationChoices.begin());
    c.tripWord = c.secondTripWord = 0;
    // A station the user picks keeps the item when its drive has it, else starts at the first.
    rebuildItems(c, true);
    c.listsEnabled = true;
    updateLegends();
    registerAll();
    changed();
}

void ScopeMonitor::chooseItem(int channel, int position) {
    if (!validChannel(channel)) return;
    ScopeChannel& c = ch(channel);
    if (position < 0 || static_cast<std::size_t>(position) >= c.items.size()) return;
    withdrawAll();
    c.itemIndex = position;
    c.itemSelection = position;
    c.address = c.items[static_cast<std::size_t>(position)].address;
    c.tripWord = c.secondTripWord = 0;
    updateLegends();
    registerAll();
    changed();
}

void ScopeMonitor::setOffsetIndex(int channel, int index) {
    if (!validChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].offsetIndex =
        ClampIndex(index, kOffsetTable, kDefaultOffset);
    changed();
}

void ScopeMonitor::setDivIndex(int channel, int index) {
    if (!validChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].divIndex =
        ClampIndex(index, kDivTable, kDefaultDiv);
    changed();
}

// ---- poll results ----------------------------------------------------------------------------

void ScopeMonitor::OnDriveMonitor(int station, const DriveReply& reply) {
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
        c.tripWord = c.secondTripWord = 0;
    }
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
    for (int i = 0; i < kChannelCount; ++i) {
        ScopeChannel& c = ch(i);
        const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        if (!isLive(i)) {
            c.valueLabel.clear();
            chart_.setY(i, point, c.value);
            continue;
        }
        c.valueLabel = valueText(c.value, itemOf(c));
        chart_.setY(i, point, c.value / DivValue(s.divIndex) + OffsetValue(s.offsetIndex));
    }
    if (observer_) observer_->sampled(point);
    runTriggerOn(point);
    changed();
}

void ScopeMonitor::runTriggerOn(int point) {
    const int channel = settings_.triggerChannel;
    if (!armed_ || !isLive(channel)) return;
    const double value = ch(channel).value;
    const TriggerDetector::Result result = detector_.onSample(value, point);
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
    double level = *number;
    const ScopeChannel& c = ch(channel);
    const MonitorItem* item = &c.items[static_cast<std::size_t>(c.itemIndex)];
    if (item->bitItem || c.address == kTripWordAddress) {
        level = BitLevel(level);
        settings_.triggerLevel = FormatFixed2(level);
    }
    detector_.arm(level, static_cast<TriggerEdge>(settings_.triggerEdge));
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
    if (armed_ || !validChannel(channel)) return;
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
    std::array<double, kChannelCount> values{};
    for (int i = 0; i < kChannelCount; ++i)
        values[static_cast<std::size_t>(i)] = isLive(i) ? ch(i).value : 0.0;
    if (!record_.writeLine(values)) {
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

// ---- periods and display ---------------------------------------------------------------------

void ScopeMonitor::setScanTime(int index) {
    settings_.scanTime = ClampIndex(index, kScanPeriodMs, kDefaultScanTime);
    if (monitoring_) {
        timers_.stop(ScopeClock::kScan);
        timers_.start(ScopeClock::kScan, ScanPeriodMs(settings_.scanTime));
    }
    changed();
}

void ScopeMonitor::setRecordTime(int index) {
    settings_.recordTime = ClampIndex(index, kRecordPeriodSeconds, kDefaultRecordTime);
    if (recording_) {
        timers_.stop(ScopeClock::kRecord);
        timers_.start(ScopeClock::kRecord, RecordPeriodMs(settings_.recordTime));
    }
    changed();
}

void ScopeMonitor::setTimeSpan(int index) {
    settings_.timeSpan = ClampIndex(index, kTimeSpanSeconds, kDefaultTimeSpan);
    if (monitoring_ || chart_.pointCount() > 0) {
        chart_.setXSpanDays(TimeSpanSeconds(settings_.timeSpan) / 86400.0);
    } else {
        resetAxes();
    }
    changed();
}

void ScopeMonitor::resetAxes() {
    chart_.clearData();
    chart_.setYRange(settings_.yMin, settings_.yMax);
    chart_.setXSpanDays(TimeSpanSeconds(settings_.timeSpan) / 86400.0);
}

ChartStyle ScopeMonitor::style() const {
    ChartStyle s;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = settings_.channels[static_cast<std::size_t>(i)];
        s.channelColours[static_cast<std::size_t>(i)] = c.colour;
        s.channelWidths[static_cast<std::size_t>(i)] =
            kLineWidths[static_cast<std::size_t>(ClampIndex(c.widthIndex, kLineWidths, 0))];
    }
    s.background = settings_.backgroundColour;
    s.text = settings_.textColour;
    s.grid = settings_.gridColour;
    s.cursor = settings_.cursorColour;
    s.legend = settings_.showLegend != 0;
    s.gridVisible = settings_.showGrid != 0;
    s.autoScale = settings_.autoScale != 0;
    s.cursorChannel = settings_.currentCursor;
    return s;
}

void ScopeMonitor::buildChart() {
    chart_.beginUpdate();
    chart_.clearData();
    chart_.setStyle(style());
    chart_.setYRange(settings_.yMin, settings_.yMax);
    chart_.setXSpanDays(TimeSpanSeconds(settings_.timeSpan) / 86400.0);
    chart_.setMode(ChartMode::kNormal);
    for (int i = 0; i < kChannelCount; ++i) chart_.setChannelVisible(i, ch(i).on != 0);
    updateLegends();
    chart_.endUpdate();
}

void ScopeMonitor::updateLegends() {
    for (int i = 0; i < kChannelCount; ++i) {
        const ScopeChannel& c = ch(i);
        const MonitorItem* item = c.on || loadedFromFile_ ? itemOf(c) : nullptr;
        chart_.setChannelLegend(i, item ? ShownName(item->name) : std::string());
    }
}

void ScopeMonitor::setChannelColour(int channel, std::uint32_t colour) {
    if (!validChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].colour = colour & 0xFFFFFF;
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setChannelWidth(int channel, int index) {
    if (!validChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].widthIndex =
        ClampIndex(index, kLineWidths, 0);
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setColours(std::uint32_t background, std::uint32_t text, std::uint32_t grid,
                              std::uint32_t cursor) {
    settings_.backgroundColour = background & 0xFFFFFF;
    settings_.textColour = text & 0xFFFFFF;
    settings_.gridColour = grid & 0xFFFFFF;
    settings_.cursorColour = cursor & 0xFFFFFF;
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setLegend(bool on) {
    settings_.showLegend = on;
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setGrid(bool on) {
    settings_.showGrid = on;
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setCursorChannel(int channel) {
    if (!validChannel(channel)) return;
    settings_.currentCursor = channel;
    chart_.setStyle(style());
    changed();
}

void ScopeMonitor::setAutoScale(bool on) {
    settings_.autoScale = on;
    chart_.setStyle(style());
    if (!on) {
        if (monitoring_ || chart_.pointCount() > 0) {
            chart_.setYRange(settings_.yMin, settings_.yMax);
        } else {
            resetAxes();
        }
    }
    changed();
}

void ScopeMonitor::applyYRange(const std::string& minText, const std::string& maxText) {
    double low = settings_.yMin;
    double high = settings_.yMax;
    if (!TrimWhitespace(minText).empty()) (void)ParseDecimal(minText, low);
    if (!TrimWhitespace(maxText).empty()) (void)ParseDecimal(maxText, high);
    if (low > high) std::swap(low, high);
    settings_.yMin = low;
    settings_.yMax = high;
    chart_.setYRange(low, high);
    changed();
}

void ScopeMonitor::setChartMode(ChartMode mode) {
    if (monitoring_) return;
    chart_.setMode(mode);
    showCursorReadings();
    changed();
}

void ScopeMonitor::onCursorMoved() {
    showCursorReadings();
    changed();
}

// While monitoring, or outside cursor mode, the list keeps the user's own choice: the chart
// takes it back on the next style change.
void ScopeMonitor::onCursorChannelChanged(int channel) {
    if (monitoring_ || chart_.mode() != ChartMode::kCursor || !validChannel(channel)) return;
    if (settings_.currentCursor == channel) return;
    settings_.currentCursor = channel;
    changed();
}

void ScopeMonitor::showCursorReadings() {
    if (monitoring_ || chart_.mode() != ChartMode::kCursor) return;
    const int point = chart_.cursorPosition();
    const bool fromFile = loadedFromFile_ && services_.records.connectedCount() == 0;
    for (int i = 0; i < kChannelCount; ++i) {
        ScopeChannel& c = ch(i);
        const bool shown = c.on && c.address != kNoAddress &&
                           (fromFile ? c.savedSeries != kNoSeries : c.station != 0);
        if (!shown || point < 0 || point >= chart_.pointCount()) {
            c.valueLabel.clear();
            continue;
        }
        const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        const double value =
            (chart_.y(i, point) - OffsetValue(s.offsetIndex)) * DivValue(s.divIndex);
        c.valueLabel = valueText(value, itemOf(c));
    }
}

// ---- status ----------------------------------------------------------------------------------

std::string ScopeMonitor::statusText() const {
    if (snapshotFailed_) return kMsgSnapshotFailed;
    if (detector_.triggered()) return kStatusTriggered;
    if (recording_) return kStatusRecording;
    return {};
}

bool ScopeMonitor::statusIsWarning() const {
    return snapshotFailed_ || detector_.triggered();
}

std::string ScopeMonitor::graphWatchText() const {
    return services_.host.graphWatchActive() ? kGraphWatchPaneText : std::string();
}

void ScopeMonitor::changed() {
    if (observer_) observer_->stateChanged();
}

}  // namespace korvane::scope
