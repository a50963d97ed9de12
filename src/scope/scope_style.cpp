#include "scope/scope_style.h"

#include <algorithm>

#include "common/text.h"
#include "scope/scope_conversion.h"

namespace korvane::scope {

template <typename Edit>
void ScopeStyle::restyle(Edit edit) {
    edit(state_.settings);
    state_.chart.setStyle(style());
    state_.changed();
}

ChartStyle ScopeStyle::style() const {
    const ScopeSettings& settings = state_.settings;
    ChartStyle s;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelSettings& c = settings.channels[static_cast<std::size_t>(i)];
        s.channelColours[static_cast<std::size_t>(i)] = c.colour;
        s.channelWidths[static_cast<std::size_t>(i)] =
            kLineWidths[static_cast<std::size_t>(ClampIndex(c.widthIndex, kLineWidths, 0))];
    }
    s.background = settings.backgroundColour;
    s.text = settings.textColour;
    s.grid = settings.gridColour;
    s.cursor = settings.cursorColour;
    s.legend = settings.showLegend != 0;
    s.gridVisible = settings.showGrid != 0;
    s.autoScale = settings.autoScale != 0;
    s.cursorChannel = settings.currentCursor;
    return s;
}

void ScopeStyle::setChannelColour(int channel, std::uint32_t colour) {
    if (!ScopeState::ValidChannel(channel)) return;
    restyle([&](ScopeSettings&) { state_.channelSettings(channel).colour = colour & 0xFFFFFF; });
}

void ScopeStyle::setChannelWidth(int channel, int index) {
    if (!ScopeState::ValidChannel(channel)) return;
    restyle([&](ScopeSettings&) {
        state_.channelSettings(channel).widthIndex = ClampIndex(index, kLineWidths, 0);
    });
}

void ScopeStyle::setColours(std::uint32_t background, std::uint32_t text, std::uint32_t grid,
                            std::uint32_t cursor) {
    restyle([&](ScopeSettings& s) {
        s.backgroundColour = background & 0xFFFFFF;
        s.textColour = text & 0xFFFFFF;
        s.gridColour = grid & 0xFFFFFF;
        s.cursorColour = cursor & 0xFFFFFF;
    });
}

void ScopeStyle::setLegend(bool on) {
    restyle([&](ScopeSettings& s) { s.showLegend = on; });
}

void ScopeStyle::setGrid(bool on) {
    restyle([&](ScopeSettings& s) { s.showGrid = on; });
}

void ScopeStyle::setCursorChannel(int channel) {
    if (!ScopeState::ValidChannel(channel)) return;
    restyle([&](ScopeSettings& s) { s.currentCursor = channel; });
}

// Scaling back off returns to the stored range; an empty chart starts over on it.
void ScopeStyle::setAutoScale(bool on) {
    restyle([&](ScopeSettings& s) { s.autoScale = on; });
    if (on) return;
    if (state_.monitoring || state_.chart.pointCount() > 0) {
        state_.chart.setYRange(state_.settings.yMin, state_.settings.yMax);
    } else {
        resetAxes();
    }
}

void ScopeStyle::applyYRange(const std::string& minText, const std::string& maxText) {
    ScopeSettings& s = state_.settings;
    double low = s.yMin;
    double high = s.yMax;
    if (!TrimWhitespace(minText).empty()) (void)ParseDecimal(minText, low);
    if (!TrimWhitespace(maxText).empty()) (void)ParseDecimal(maxText, high);
    if (low > high) std::swap(low, high);
    s.yMin = low;
    s.yMax = high;
    state_.chart.setYRange(low, high);
    state_.changed();
}

void ScopeStyle::setTimeSpan(int index) {
    state_.settings.timeSpan = ClampIndex(index, kTimeSpanSeconds, kDefaultTimeSpan);
    if (state_.monitoring || state_.chart.pointCount() > 0) {
        state_.chart.setXSpanDays(TimeSpanSeconds(state_.settings.timeSpan) / 86400.0);
    } else {
        resetAxes();
    }
    state_.changed();
}

void ScopeStyle::resetAxes() {
    state_.chart.clearData();
    state_.chart.setYRange(state_.settings.yMin, state_.settings.yMax);
    state_.chart.setXSpanDays(TimeSpanSeconds(state_.settings.timeSpan) / 86400.0);
}

void ScopeStyle::buildChart() {
    ScopeChart& chart = state_.chart;
    chart.beginUpdate();
    chart.clearData();
    chart.setStyle(style());
    chart.setYRange(state_.settings.yMin, state_.settings.yMax);
    chart.setXSpanDays(TimeSpanSeconds(state_.settings.timeSpan) / 86400.0);
    chart.setMode(ChartMode::kNormal);
    showChannels();
    chart.endUpdate();
}

void ScopeStyle::showChannels() {
    for (int i = 0; i < kChannelCount; ++i)
        state_.chart.setChannelVisible(i, channels_.at(i).on != 0);
    updateLegends();
}

void ScopeStyle::updateLegends() {
    for (int i = 0; i < kChannelCount; ++i) {
        const ScopeChannel& c = channels_.at(i);
        const MonitorItem* item = c.on || state_.fromFile ? channels_.itemOf(c) : nullptr;
        std::string legend;
        if (item) {
            legend = (c.station ? std::to_string(c.station) + ":" : "") +
                     ScopeChannels::ShownName(item->name);
        }
        state_.chart.setChannelLegend(i, legend);
    }
}

}  // namespace korvane::scope
