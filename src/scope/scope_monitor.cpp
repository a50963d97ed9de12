#include "scope/scope_monitor.h"

#include "common/prompter.h"
#include "common/translation.h"
#include "host/shared_texts.h"
#include "paradb/drive_record.h"

namespace korvane::scope {

ScopeMonitor::ScopeMonitor(const ToolServices& services, ScopeChart& chart, ScopeTimers& timers)
    : state_(services, chart, timers),
      channels_(state_),
      style_(state_, channels_),
      sampler_(state_, channels_),
      trigger_(state_, channels_),
      recorder_(state_, channels_),
      document_(state_,
                {channels_, style_, sampler_, trigger_, recorder_, [this] { refreshStations(); }}) {
}

ScopeMonitor::~ScopeMonitor() {
    if (opened_) close();
}

// ---- opening and closing --------------------------------------------------------------------

void ScopeMonitor::open() {
    state_.settings = LoadScopeSettings(state_.services.settings, state_.services.dirs);
    channels_.load(state_.settings);
    state_.monitoring = state_.settings.monitorRun != 0;
    opened_ = true;
    style_.buildChart();
    refreshStations();
    if (state_.monitoring) resume();
    state_.changed();
}

// A saved run goes on where it was: no reset, and the record file is continued, not replaced.
void ScopeMonitor::resume() {
    if (state_.settings.recordRun) (void)recorder_.reopen();
    if (graphWatchOption()) raiseGraphWatch(true);
    startClocks();
    trigger_.resume(state_.settings.triggerRun != 0);
    onSample();
    recorder_.resumeClocks();
}

void ScopeMonitor::close() {
    if (!opened_) return;
    const bool recording = recorder_.recording();
    recorder_.shutDown();
    if (state_.monitoring) {
        state_.timers.stop(ScopeClock::kScan);
        state_.timers.stop(ScopeClock::kElapsed);
    }
    channels_.withdrawAll();
    ScopeSettings& s = state_.settings;
    s.first = 0;
    s.monitorRun = state_.monitoring;
    s.recordRun = recording;
    s.triggerRun = trigger_.armed();
    channels_.store(s);
    SaveScopeSettings(s, state_.services.settings);
    raiseGraphWatch(false);
    opened_ = false;
}

// ---- channels ---------------------------------------------------------------------------------

void ScopeMonitor::refreshStations() {
    channels_.refreshStations();
    style_.showChannels();
    channels_.registerAll();
    stopIfNoneOn();
    state_.changed();
}

void ScopeMonitor::setChannelOn(int channel, bool on) {
    if (!ScopeState::ValidChannel(channel)) return;
    channels_.setOn(channel, on);
    style_.showChannels();
    stopIfNoneOn();
    state_.changed();
}

void ScopeMonitor::chooseStation(int channel, int station) {
    if (!channels_.chooseStation(channel, station)) return;
    style_.updateLegends();
    state_.changed();
}

void ScopeMonitor::chooseItem(int channel, int position) {
    if (!channels_.chooseItem(channel, position)) return;
    style_.updateLegends();
    state_.changed();
}

void ScopeMonitor::stopIfNoneOn() {
    if (state_.monitoring && !channels_.anyOn()) stopMonitoring();
}

bool ScopeMonitor::onBoxesEnabled() const {
    return state_.services.records.connectedCount() > 0;
}

// ---- a run ------------------------------------------------------------------------------------

bool ScopeMonitor::enabled(ScopeCommand command) const {
    const bool drives = state_.services.records.connectedCount() > 0;
    const bool monitoring = state_.monitoring;
    switch (command) {
        case ScopeCommand::kStartMonitor:
            return drives && !monitoring;
        case ScopeCommand::kStopMonitor:
            return drives && monitoring;
        case ScopeCommand::kStartRecord:
            return drives && monitoring && !recorder_.recording();
        case ScopeCommand::kStopRecord:
            return drives && monitoring && recorder_.recording();
        case ScopeCommand::kArmTrigger:
            return drives && monitoring && !trigger_.armed();
        case ScopeCommand::kDisarmTrigger:
            return drives && monitoring && trigger_.armed();
        case ScopeCommand::kGraphWatch:
            return drives;
        case ScopeCommand::kFileCommands:
            return !monitoring;
    }
    return false;
}

void ScopeMonitor::startClocks() {
    state_.timers.start(ScopeClock::kScan, ScanPeriodMs(state_.settings.scanTime));
    state_.timers.start(ScopeClock::kElapsed, 1000);
}

void ScopeMonitor::startMonitoring() {
    if (state_.monitoring) return;
    if (state_.fromFile) {
        // A new run is not the file's: its channels meet the drives connected now.
        state_.fromFile = false;
        refreshStations();
    }
    channels_.withdrawAll();
    if (!channels_.anyLive()) {
        state_.services.prompter.info(Tr(kMsgNoChannel), kCaption);
        state_.changed();
        return;
    }
    state_.monitoring = true;
    if (graphWatchOption()) raiseGraphWatch(true);
    trigger_.newRun();
    recorder_.newRun();
    sampler_.setElapsed(0);
    channels_.clearValues();
    document_.newRun();
    state_.chart.setMode(ChartMode::kNormal);
    state_.chart.beginUpdate();
    style_.resetAxes();
    state_.chart.endUpdate();
    startClocks();
    channels_.registerAll();
    onSample();
    state_.changed();
}

void ScopeMonitor::stopMonitoring() {
    if (!state_.monitoring) return;
    channels_.withdrawAll();
    state_.monitoring = false;
    state_.timers.stop(ScopeClock::kScan);
    state_.timers.stop(ScopeClock::kElapsed);
    recorder_.endRun();
    trigger_.endRun();
    state_.chart.setMode(ChartMode::kCursor);
    raiseGraphWatch(false);
    state_.changed();
}

void ScopeMonitor::onSample() {
    if (!state_.monitoring) return;
    const int point = sampler_.sample();
    if (trigger_.check(point)) finishTrigger();
    state_.changed();
}

void ScopeMonitor::finishTrigger() {
    stopMonitoring();
    state_.chart.setCursorPosition(trigger_.triggerPoint());
    sampler_.showCursorReadings();
    trigger_.takeSnapshotIfAsked();
}

void ScopeMonitor::setScanTime(int index) {
    state_.settings.scanTime = ClampIndex(index, kScanPeriodMs, kDefaultScanTime);
    if (state_.monitoring) {
        state_.timers.stop(ScopeClock::kScan);
        state_.timers.start(ScopeClock::kScan, ScanPeriodMs(state_.settings.scanTime));
    }
    state_.changed();
}

// ---- graph watch and status -------------------------------------------------------------------

void ScopeMonitor::raiseGraphWatch(bool active) {
    if (active == raisedGraphWatch_) return;
    raisedGraphWatch_ = active;
    state_.services.host.setGraphWatchActive(active);
}

void ScopeMonitor::toggleGraphWatch() {
    if (graphWatchOption()) {
        state_.settings.graphWatchMode = 0;
        raiseGraphWatch(false);
        state_.changed();
        return;
    }
    state_.services.prompter.ask(Tr(kMsgGraphWatch), kCaption,
                                 WhileAlive(alive_.watch(), [this](bool yes) {
                                     // Unless switched on some other way while the question was
                                     // open.
                                     if (yes && !graphWatchOption()) {
                                         state_.settings.graphWatchMode = 1;
                                         if (state_.monitoring) raiseGraphWatch(true);
                                     }
                                     state_.changed();
                                 }));
}

std::string ScopeMonitor::statusText() const {
    if (trigger_.snapshotFailed()) return Tr(kMsgSnapshotFailed);
    if (trigger_.triggered()) return Tr(kStatusTriggered);
    if (recorder_.recording()) return Tr(kStatusRecording);
    return {};
}

bool ScopeMonitor::statusIsWarning() const {
    return trigger_.snapshotFailed() || trigger_.triggered();
}

std::string ScopeMonitor::graphWatchText() const {
    return state_.services.host.graphWatchActive() ? Tr(kGraphWatchPaneText) : std::string();
}

}  // namespace korvane::scope
