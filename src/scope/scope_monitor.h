#pragma once
// The graph monitor without its window: four channels sampled from any connected drives, the
// trigger, the CSV record, the saved settings and the scope file. This class composes the
// parts and runs what spans them (opening, a run's start and stop, the clocks, graph watch);
// each part holds its own behaviour. The window (or korvane-cli) drives the clocks by calling
// onSample, onRecord, onSecond and onBlink, and renders what the parts hold.
#include <array>
#include <string>

#include "comm/drive_reply.h"
#include "host/tool_services.h"
#include "scope/scope_channels.h"
#include "scope/scope_document.h"
#include "scope/scope_recorder.h"
#include "scope/scope_sampler.h"
#include "scope/scope_state.h"
#include "scope/scope_style.h"
#include "scope/scope_trigger_run.h"

namespace korvane::scope {

enum class ScopeCommand {
    kStartMonitor,
    kStopMonitor,
    kStartRecord,
    kStopRecord,
    kArmTrigger,
    kDisarmTrigger,
    kGraphWatch,
    kFileCommands,  // open, save, save as, print, picture export, chart modes
};

class ScopeMonitor {
public:
    ScopeMonitor(const ToolServices& services, ScopeChart& chart, ScopeTimers& timers);
    ~ScopeMonitor();
    ScopeMonitor(const ScopeMonitor&) = delete;
    ScopeMonitor& operator=(const ScopeMonitor&) = delete;

    ScopeEvents& events() { return state_.events; }

    // Loads the settings, builds the chart, fills the lists and resumes a saved run.
    void open();
    // Stops the clocks, withdraws, saves the settings (running flags included) and closes the
    // record file.
    void close();

    // A drive was connected or removed.
    void refreshStations();
    // Channel panel: each choice changes what is registered and what the chart draws.
    void setChannelOn(int channel, bool on);
    void chooseStation(int channel, int station);
    void chooseItem(int channel, int position);

    bool enabled(ScopeCommand command) const;
    void startMonitoring();
    void stopMonitoring();
    void toggleGraphWatch();
    void setScanTime(int index);

    // The clocks.
    void onSample();
    void onRecord() { recorder_.onRecord(); }
    void onSecond() { sampler_.onSecond(); }
    void onBlink() { recorder_.onBlink(); }

    // The parts.
    ScopeChannels& channelSet() { return channels_; }
    const ScopeChannels& channelSet() const { return channels_; }
    ScopeSampler& sampler() { return sampler_; }
    const ScopeSampler& sampler() const { return sampler_; }
    TriggerRun& trigger() { return trigger_; }
    const TriggerRun& trigger() const { return trigger_; }
    ScopeRecorder& recorder() { return recorder_; }
    const ScopeRecorder& recorder() const { return recorder_; }
    ScopeDocument& document() { return document_; }
    const ScopeDocument& document() const { return document_; }
    ScopeStyle& style() { return style_; }

    // State a window shows.
    const std::array<ScopeChannel, kChannelCount>& channels() const { return channels_.all(); }
    const ScopeSettings& settings() const { return state_.settings; }
    bool monitoring() const { return state_.monitoring; }
    bool graphWatchOption() const { return state_.settings.graphWatchMode != 0; }
    bool onBoxesEnabled() const;
    // Status pane: the text and whether it is a warning (red) rather than news (blue).
    std::string statusText() const;
    bool statusIsWarning() const;
    // Graph watch pane: shown (in red) while the program-wide graph watch flag is set.
    std::string graphWatchText() const;
    // The first opening ever sizes the frame to fit the view; later ones keep the saved layout.
    bool fitFrameToView() const { return state_.settings.first != 0; }

private:
    void resume();
    void startClocks();
    void stopIfNoneOn();
    void finishTrigger();
    void raiseGraphWatch(bool active);

    ScopeState state_;
    ScopeChannels channels_;
    ScopeStyle style_;
    ScopeSampler sampler_;
    TriggerRun trigger_;
    ScopeRecorder recorder_;
    ScopeDocument document_;
    bool opened_ = false;
    bool raisedGraphWatch_ = false;
    LifetimeToken alive_;  // a question left open outlives nothing
};

}  // namespace korvane::scope
