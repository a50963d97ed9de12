#pragma once
// The graph monitor's strip chart on QCustomPlot. The monitor's points (stamps and Y values)
// are kept here by index, which is what the monitor and the scope file address; the plot gets
// them as time keys for drawing only, appended in constant time and replotted in batches.
#include <QObject>
#include <array>
#include <functional>
#include <vector>

#include "scope/scope_chart.h"

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QMouseEvent;
class QPaintDevice;

namespace korvane::scope {

class QcpScopeChart : public QObject, public ScopeChart {
    Q_OBJECT
public:
    explicit QcpScopeChart(QCustomPlot* plot);

    void beginUpdate() override;
    void endUpdate() override;
    void clearData() override;
    int pointCount() const override { return static_cast<int>(stamps_.size()); }
    int appendPoint(double stamp) override;
    void setY(int channel, int point, double y) override;
    double y(int channel, int point) const override;
    double stamp(int point) const override;
    void setYRange(double min, double max) override;
    double yMin() const override;
    double yMax() const override;
    void setXSpanDays(double days) override;
    void setStyle(const ChartStyle& style) override;
    void setChannelVisible(int channel, bool visible) override;
    void setChannelLegend(int channel, const std::string& text) override;
    void setCursorPosition(int point) override;
    int cursorPosition() const override { return cursor_; }
    void setMode(ChartMode mode) override;
    ChartMode mode() const override { return mode_; }
    bool saveImage(const std::string& path, ImageFormat format) override;

    // The user moved the cursor (cursor mode, a click on the chart).
    std::function<void()> onCursorMoved;
    // The user put the cursor on another channel (cursor mode, a click on its legend entry).
    std::function<void(int channel)> onCursorChannelChanged;
    int cursorChannel() const { return style_.cursorChannel; }
    // As a click on the legend entry of this channel.
    void clickLegend(int channel);
    // Paints the chart for a printer or PDF with print colours and the title line.
    bool renderForPrint(QPaintDevice* device, const QString& title);
    QCustomPlot* plot() const { return plot_; }

    // The plot's key for a stamp: the stamp's local wall-clock time read as seconds.
    static double KeyOf(double stampDays);

private:
    void onMousePress(QMouseEvent* event);
    void followLatest();
    void scaleToData();
    void requestReplot();
    void applyStyle(bool forPrint);

    QCustomPlot* plot_;
    std::array<QCPGraph*, kChannelCount> graphs_{};
    QCPItemStraightLine* cursorLine_ = nullptr;
    std::vector<double> stamps_;
    std::array<std::vector<double>, kChannelCount> y_;
    std::array<std::string, kChannelCount> legends_;
    ChartStyle style_;
    double spanSeconds_ = 60.0;
    int cursor_ = 0;
    int updateDepth_ = 0;
    ChartMode mode_ = ChartMode::kNormal;
};

}  // namespace korvane::scope
