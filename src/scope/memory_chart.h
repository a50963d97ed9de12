#pragma once
// A chart without a display: it keeps the points and settings the monitor gives it. korvane-cli
// samples into it, and it is the reference the widget's chart is tested against.
#include <array>
#include <string>
#include <vector>

#include "scope/scope_chart.h"

namespace korvane::scope {

class MemoryChart : public ScopeChart {
public:
    void beginUpdate() override { ++updateDepth_; }
    void endUpdate() override { --updateDepth_; }
    void clearData() override;

    int pointCount() const override { return static_cast<int>(stamps_.size()); }
    int appendPoint(double stamp) override;
    void setY(int channel, int point, double y) override;
    double y(int channel, int point) const override;
    double stamp(int point) const override;

    void setYRange(double min, double max) override;
    double yMin() const override { return yMin_; }
    double yMax() const override { return yMax_; }
    void setXSpanDays(double days) override { spanDays_ = days; }

    void setStyle(const ChartStyle& style) override { style_ = style; }
    void setChannelVisible(int channel, bool visible) override;
    void setChannelLegend(int channel, const std::string& text) override;

    void setCursorPosition(int point) override { cursor_ = point; }
    int cursorPosition() const override { return cursor_; }
    void setMode(ChartMode mode) override { mode_ = mode; }
    ChartMode mode() const override { return mode_; }

    // No picture without a display.
    bool saveImage(const std::string&, ImageFormat) override { return false; }

    double spanDays() const { return spanDays_; }
    const ChartStyle& style() const { return style_; }
    bool visible(int channel) const;
    std::string legend(int channel) const;
    int updateDepth() const { return updateDepth_; }

private:
    std::vector<double> stamps_;
    std::array<std::vector<double>, kChannelCount> y_;
    std::array<bool, kChannelCount> visible_{};
    std::array<std::string, kChannelCount> legends_;
    ChartStyle style_;
    double yMin_ = 0.0;
    double yMax_ = 100.0;
    double spanDays_ = 60.0 / 86400.0;
    int cursor_ = 0;
    ChartMode mode_ = ChartMode::kNormal;
    int updateDepth_ = 0;
};

}  // namespace korvane::scope
