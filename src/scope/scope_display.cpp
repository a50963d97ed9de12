// The graph monitor's periods, chart display settings, cursor readings and status texts.
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "common/text.h"
#include "host/shared_texts.h"
#include "scope/sco_file.h"
#include "scope/scope_conversion.h"
#include "scope/scope_monitor.h"

namespace korvane::scope {

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

// Every display setting is stored at once and sent to the chart.
void ScopeMonitor::restyle() {
    chart_.setStyle(style());
    changed();
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

// The station tells two channels of the same item on two drives apart.
void ScopeMonitor::updateLegends() {
    for (int i = 0; i < kChannelCount; ++i) {
        const ScopeChannel& c = ch(i);
        const MonitorItem* item = c.on || loadedFromFile_ ? itemOf(c) : nullptr;
        std::string legend;
        if (item)
            legend = (c.station ? std::to_string(c.station) + ":" : "") + ShownName(item->name);
        chart_.setChannelLegend(i, legend);
    }
}

void ScopeMonitor::setChannelColour(int channel, std::uint32_t colour) {
    if (!ValidChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].colour = colour & 0xFFFFFF;
    restyle();
}

void ScopeMonitor::setChannelWidth(int channel, int index) {
    if (!ValidChannel(channel)) return;
    settings_.channels[static_cast<std::size_t>(channel)].widthIndex =
        ClampIndex(index, kLineWidths, 0);
    restyle();
}

void ScopeMonitor::setColours(std::uint32_t background, std::uint32_t text, std::uint32_t grid,
                              std::uint32_t cursor) {
    settings_.backgroundColour = background & 0xFFFFFF;
    settings_.textColour = text & 0xFFFFFF;
    settings_.gridColour = grid & 0xFFFFFF;
    settings_.cursorColour = cursor & 0xFFFFFF;
    restyle();
}

void ScopeMonitor::setLegend(bool on) {
    settings_.showLegend = on;
    restyle();
}

void ScopeMonitor::setGrid(bool on) {
    settings_.showGrid = on;
    restyle();
}

void ScopeMonitor::setCursorChannel(int channel) {
    if (!ValidChannel(channel)) return;
    settings_.currentCursor = channel;
    restyle();
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
    if (monitoring_ || chart_.mode() != ChartMode::kCursor || !ValidChannel(channel)) return;
    if (settings_.currentCursor == channel) return;
    settings_.currentCursor = channel;
    changed();
}

void ScopeMonitor::showCursorReadings() {
    if (monitoring_ || chart_.mode() != ChartMode::kCursor) return;
    const int point = chart_.cursorPosition();
    for (int i = 0; i < kChannelCount; ++i) {
        ScopeChannel& c = ch(i);
        c.valueStale = false;
        const bool shown = c.on && c.address != kNoAddress &&
                           (loadedFromFile_ ? c.savedSeries != kNoSeries : c.station != 0);
        const double y = chart_.y(i, point);
        // A gap has no reading.
        if (!shown || point < 0 || point >= chart_.pointCount() || std::isnan(y)) {
            c.valueLabel.clear();
            continue;
        }
        const ChannelSettings& s = settings_.channels[static_cast<std::size_t>(i)];
        const double value = (y - OffsetValue(s.offsetIndex)) * DivValue(s.divIndex);
        c.valueLabel = ValueText(value, itemOf(c));
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

std::string ScopeMonitor::titleText() const {
    if (scoPath_.empty()) return kCaption;
    return std::string(kCaption) + " - " + std::filesystem::path(scoPath_).filename().string();
}

std::string ScopeMonitor::graphWatchText() const {
    return services_.host.graphWatchActive() ? kGraphWatchPaneText : std::string();
}

}  // namespace korvane::scope
