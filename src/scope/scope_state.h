#pragma once
// What the parts of the graph monitor share: the program's services, the chart and clocks the
// window lends, the stored settings and whether a run is on. Each part changes only the
// settings it owns; the window is told of every change through the events.
#include "common/signal.h"
#include "host/tool_services.h"
#include "scope/scope_chart.h"
#include "scope/scope_settings.h"

namespace korvane::scope {

enum class ScopeClock { kScan, kRecord, kElapsed, kBlink };

// The periodic clocks the window runs for the monitor.
class ScopeTimers {
public:
    virtual ~ScopeTimers() = default;
    virtual void start(ScopeClock clock, int periodMs) = 0;
    virtual void stop(ScopeClock clock) = 0;
};

// What a window is told of after the monitor changed what it shows.
struct ScopeEvents {
    Signal<> stateChanged;
    // A sample tick appended this point (before the trigger looked at it).
    Signal<int /*point*/> sampled;
    Signal<int /*channel*/, int /*point*/, double /*value*/> triggerDetected;
};

struct ScopeState {
    ScopeState(const ToolServices& s, ScopeChart& c, ScopeTimers& t)
        : services(s), chart(c), timers(t) {}

    void changed() const { events.stateChanged(); }
    static bool ValidChannel(int channel) { return channel >= 0 && channel < kChannelCount; }
    ChannelSettings& channelSettings(int channel) {
        return settings.channels[static_cast<std::size_t>(channel)];
    }
    const ChannelSettings& channelSettings(int channel) const {
        return settings.channels[static_cast<std::size_t>(channel)];
    }

    ToolServices services;  // a bundle of references, held by value like every tool's
    ScopeChart& chart;
    ScopeTimers& timers;
    ScopeEvents events;
    ScopeSettings settings;
    bool monitoring = false;
    // The chart shows a scope file's data, not a run's.
    bool fromFile = false;
};

}  // namespace korvane::scope
