#pragma once
// The graph monitor's trigger: armed on one channel's level and edge during a run, it stops the
// run ten ticks after the crossing and may save a picture of the chart.
#include <string>

#include "scope/scope_channels.h"
#include "scope/scope_state.h"
#include "scope/scope_trigger.h"

namespace korvane::scope {

class TriggerRun {
public:
    TriggerRun(ScopeState& state, const ScopeChannels& channels)
        : state_(state), channels_(channels) {}

    // The user arms or disarms it; arming tells the user why it cannot.
    void arm();
    void disarm();
    // A saved run resumes armed when its level and channel still allow it.
    void resume(bool armed);
    // A new run forgets any earlier trigger; a stopped one keeps it shown.
    void newRun();
    void endRun();
    // A scope file's chart shows no trigger of an earlier run.
    void forget();
    // Looks at the tick's point; true when the run is to stop.
    bool check(int point);
    int triggerPoint() const { return detector_.triggerPoint(); }
    // After the stop: the picture, when asked for.
    void takeSnapshotIfAsked();

    void setChannel(int channel);
    void setEdge(TriggerEdge edge);
    void setLevelText(const std::string& text);
    void setSnapshot(bool on);
    void setSnapshotPath(const std::string& path, int filterIndex);

    bool armed() const { return armed_; }
    bool triggered() const { return detector_.triggered(); }
    bool led() const { return led_; }
    bool snapshotFailed() const { return snapshotFailed_; }

private:
    bool armFromLevel(bool tellUser);
    void saveSnapshot();

    ScopeState& state_;
    const ScopeChannels& channels_;
    TriggerDetector detector_;
    bool armed_ = false;
    bool led_ = false;
    bool snapshotFailed_ = false;
};

}  // namespace korvane::scope
