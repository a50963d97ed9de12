#pragma once
// What the graph monitor asks of its strip chart. The chart stores the points (stamp and four
// Y values each); the monitor appends and reads them, so the chart library stays in the UI.
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "scope/scope_tables.h"

namespace korvane::scope {

// The Y of a point where a channel had no live value: the chart leaves a gap there.
inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct ChartStyle {
    std::array<std::uint32_t, kChannelCount> channelColours{};  // 0x00BBGGRR
    std::array<int, kChannelCount> channelWidths{1, 1, 1, 1};   // pixels
    std::uint32_t background = 0;
    std::uint32_t text = 0xFFFFFF;
    std::uint32_t grid = 0x008000;
    std::uint32_t cursor = 0x00FFFF;
    bool legend = true;
    bool gridVisible = true;
    bool autoScale = true;
    int cursorChannel = 0;
};

class ScopeChart {
public:
    virtual ~ScopeChart() = default;

    // Batches redraws: the monitor brackets resets and file loads.
    virtual void beginUpdate() = 0;
    virtual void endUpdate() = 0;
    virtual void clearData() = 0;

    virtual int pointCount() const = 0;
    // Appends a point with the stamp (days, local time; see sco_file.h) and Y 0 on every
    // channel; returns its index.
    virtual int appendPoint(double stamp) = 0;
    virtual void setY(int channel, int point, double y) = 0;
    virtual double y(int channel, int point) const = 0;
    virtual double stamp(int point) const = 0;

    virtual void setYRange(double min, double max) = 0;
    virtual double yMin() const = 0;
    virtual double yMax() const = 0;
    virtual void setXSpanDays(double days) = 0;

    virtual void setStyle(const ChartStyle& style) = 0;
    virtual void setChannelVisible(int channel, bool visible) = 0;
    virtual void setChannelLegend(int channel, const std::string& text) = 0;

    virtual void setCursorPosition(int point) = 0;
    virtual int cursorPosition() const = 0;
    virtual void setMode(ChartMode mode) = 0;
    virtual ChartMode mode() const = 0;

    // Writes the picture to exactly this path in this format.
    [[nodiscard]] virtual bool saveImage(const std::string& path, ImageFormat format) = 0;
};

}  // namespace korvane::scope
