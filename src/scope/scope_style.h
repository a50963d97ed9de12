#pragma once
// How the graph monitor's chart looks: line colours and widths, the chart's colours, legend,
// grid, cursor channel, the axes and the channels' legends. Every display setting is stored
// and sent to the chart at once.
#include <cstdint>
#include <string>

#include "scope/scope_channels.h"
#include "scope/scope_state.h"

namespace korvane::scope {

class ScopeStyle {
public:
    ScopeStyle(ScopeState& state, const ScopeChannels& channels)
        : state_(state), channels_(channels) {}

    ChartStyle style() const;

    void setChannelColour(int channel, std::uint32_t colour);
    void setChannelWidth(int channel, int index);
    void setColours(std::uint32_t background, std::uint32_t text, std::uint32_t grid,
                    std::uint32_t cursor);
    void setLegend(bool on);
    void setGrid(bool on);
    void setAutoScale(bool on);
    void setCursorChannel(int channel);
    // The Y boxes: each trimmed text read as a number, an empty box keeps its value.
    void applyYRange(const std::string& minText, const std::string& maxText);
    void setTimeSpan(int index);

    // The chart from scratch: no points, the stored style and axes, channels and legends.
    void buildChart();
    // An empty chart on the stored axes.
    void resetAxes();
    // Which channels the chart draws, and their legends.
    void showChannels();
    // The station tells two channels of the same item on two drives apart.
    void updateLegends();

private:
    // Applies `edit` to the settings, restyles the chart and tells the window.
    template <typename Edit>
    void restyle(Edit edit);

    ScopeState& state_;
    const ScopeChannels& channels_;
};

}  // namespace korvane::scope
