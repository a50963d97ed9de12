#pragma once
// The graph monitor's sample clock: each tick plots the channels' values, scaled by their
// offset and division, and labels them; outside a run the chart's cursor gives the readings.
// It also counts the run's elapsed seconds.
#include <string>

#include "scope/scope_channels.h"
#include "scope/scope_state.h"

namespace korvane::scope {

class ScopeSampler {
public:
    ScopeSampler(ScopeState& state, ScopeChannels& channels) : state_(state), channels_(channels) {}

    // Appends a point for the tick and plots every channel on it; returns the point.
    int sample();

    void setOffsetIndex(int channel, int index);
    void setDivIndex(int channel, int index);

    // Outside a run, in cursor mode, each label reads the chart at the cursor.
    void showCursorReadings();
    void setChartMode(ChartMode mode);
    // The chart's cursor moved.
    void onCursorMoved();
    // The user moved the chart's cursor to another channel.
    void onCursorChannelChanged(int channel);

    void onSecond();
    void setElapsed(int seconds) { elapsed_ = seconds; }
    int elapsedSeconds() const { return elapsed_; }
    std::string elapsedText() const;

private:
    void sampleChannel(int channel, int point);

    ScopeState& state_;
    ScopeChannels& channels_;
    int elapsed_ = 0;
};

// "%.02f %s": the value and its item's unit.
std::string ScopeValueText(double value, const MonitorItem* item);

}  // namespace korvane::scope
