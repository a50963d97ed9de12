#include "scope/memory_chart.h"

namespace korvane::scope {
namespace {
bool validChannel(int channel) {
    return channel >= 0 && channel < kChannelCount;
}
}  // namespace

void MemoryChart::clearData() {
    stamps_.clear();
    for (auto& column : y_) column.clear();
}

int MemoryChart::appendPoint(double stamp) {
    stamps_.push_back(stamp);
    for (auto& column : y_) column.push_back(0.0);
    return pointCount() - 1;
}

void MemoryChart::setY(int channel, int point, double y) {
    if (!validChannel(channel) || point < 0 || point >= pointCount()) return;
    y_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(point)] = y;
}

double MemoryChart::y(int channel, int point) const {
    if (!validChannel(channel) || point < 0 || point >= pointCount()) return 0.0;
    return y_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(point)];
}

double MemoryChart::stamp(int point) const {
    if (point < 0 || point >= pointCount()) return 0.0;
    return stamps_[static_cast<std::size_t>(point)];
}

void MemoryChart::setYRange(double min, double max) {
    yMin_ = min;
    yMax_ = max;
}

void MemoryChart::setChannelVisible(int channel, bool visible) {
    if (validChannel(channel)) visible_[static_cast<std::size_t>(channel)] = visible;
}

void MemoryChart::setChannelLegend(int channel, const std::string& text) {
    if (validChannel(channel)) legends_[static_cast<std::size_t>(channel)] = text;
}

bool MemoryChart::visible(int channel) const {
    return validChannel(channel) && visible_[static_cast<std::size_t>(channel)];
}

std::string MemoryChart::legend(int channel) const {
    return validChannel(channel) ? legends_[static_cast<std::size_t>(channel)] : std::string();
}

}  // namespace korvane::scope
