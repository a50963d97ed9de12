#include "scope/scope_sampler.h"

#include <cmath>

#include "common/clock.h"
#include "common/format.h"
#include "scope/record_file.h"
#include "scope/sco_file.h"
#include "scope/scope_conversion.h"

namespace korvane::scope {

std::string ScopeValueText(double value, const MonitorItem* item) {
    return FormatFixed2(value) + " " + (item ? item->unit : std::string());
}

int ScopeSampler::sample() {
    const int point = state_.chart.appendPoint(OleDateFromLocal(state_.services.clock.now()));
    for (int i = 0; i < kChannelCount; ++i) sampleChannel(i, point);
    state_.events.sampled(point);
    return point;
}

// Only received values are plotted: a value that is not live leaves a gap, and its label keeps
// the last live value, dimmed.
void ScopeSampler::sampleChannel(int channel, int point) {
    ScopeChannel& c = channels_.at(channel);
    const ChannelSettings& s = state_.channelSettings(channel);
    if (!channels_.isLive(channel)) {
        c.valueLabel.clear();
        c.valueStale = false;
        state_.chart.setY(channel, point, c.value);
        return;
    }
    c.valueStale = !channels_.hasLiveValue(channel);
    if (c.valueStale) {
        state_.chart.setY(channel, point, kNoValue);
        return;
    }
    c.valueLabel = ScopeValueText(c.value, channels_.itemOf(c));
    state_.chart.setY(channel, point, c.value / DivValue(s.divIndex) + OffsetValue(s.offsetIndex));
}

void ScopeSampler::setOffsetIndex(int channel, int index) {
    if (!ScopeState::ValidChannel(channel)) return;
    state_.channelSettings(channel).offsetIndex = ClampIndex(index, kOffsetTable, kDefaultOffset);
    state_.changed();
}

void ScopeSampler::setDivIndex(int channel, int index) {
    if (!ScopeState::ValidChannel(channel)) return;
    state_.channelSettings(channel).divIndex = ClampIndex(index, kDivTable, kDefaultDiv);
    state_.changed();
}

void ScopeSampler::setChartMode(ChartMode mode) {
    if (state_.monitoring) return;
    state_.chart.setMode(mode);
    showCursorReadings();
    state_.changed();
}

void ScopeSampler::onCursorMoved() {
    showCursorReadings();
    state_.changed();
}

// While monitoring, or outside cursor mode, the list keeps the user's own choice: the chart
// takes it back on the next style change.
void ScopeSampler::onCursorChannelChanged(int channel) {
    if (state_.monitoring || state_.chart.mode() != ChartMode::kCursor ||
        !ScopeState::ValidChannel(channel))
        return;
    if (state_.settings.currentCursor == channel) return;
    state_.settings.currentCursor = channel;
    state_.changed();
}

void ScopeSampler::showCursorReadings() {
    const ScopeChart& chart = state_.chart;
    if (state_.monitoring || chart.mode() != ChartMode::kCursor) return;
    const int point = chart.cursorPosition();
    for (int i = 0; i < kChannelCount; ++i) {
        ScopeChannel& c = channels_.at(i);
        c.valueStale = false;
        const bool shown = c.on && c.address != kNoAddress &&
                           (state_.fromFile ? c.savedSeries != kNoSeries : c.station != 0);
        const double y = chart.y(i, point);
        // A gap has no reading.
        if (!shown || point < 0 || point >= chart.pointCount() || std::isnan(y)) {
            c.valueLabel.clear();
            continue;
        }
        const ChannelSettings& s = state_.channelSettings(i);
        const double value = (y - OffsetValue(s.offsetIndex)) * DivValue(s.divIndex);
        c.valueLabel = ScopeValueText(value, channels_.itemOf(c));
    }
}

void ScopeSampler::onSecond() {
    if (!state_.monitoring) return;
    ++elapsed_;
    state_.changed();
}

std::string ScopeSampler::elapsedText() const {
    return strprintf("%02d:%02d:%02d", elapsed_ / 3600 % 24, elapsed_ / 60 % 60, elapsed_ % 60);
}

}  // namespace korvane::scope
