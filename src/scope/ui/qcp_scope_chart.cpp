#include "scope/ui/qcp_scope_chart.h"

#include <qcustomplot.h>

#include <QFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace korvane::scope {
namespace {

constexpr double kUnixEpochInDays = 25569.0;  // 1970-01-01 counted from 1899-12-30
constexpr double kAutoScaleMargin = 0.05;     // of the traces' range, above and below
constexpr double kPrintLayoutWidth = 1000.0;  // screen pixels across a printed page
constexpr double kPrintDetail = 4.0;          // printed pixels per screen pixel at most

QColor colourOf(std::uint32_t c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

bool validChannel(int channel) {
    return channel >= 0 && channel < kChannelCount;
}

}  // namespace

double QcpScopeChart::KeyOf(double stampDays) {
    return (stampDays - kUnixEpochInDays) * 86400.0;
}

QcpScopeChart::QcpScopeChart(QCustomPlot* plot) : QObject(plot), plot_(plot) {
    // Stamps are local wall-clock time already; the axis shows them as they are.
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
    ticker->setDateTimeSpec(Qt::UTC);
    plot_->xAxis->setTicker(ticker);
    plot_->setNoAntialiasingOnDrag(true);
    for (int i = 0; i < kChannelCount; ++i) {
        QCPGraph* g = plot_->addGraph();
        g->setName(QStringLiteral("Ch%1").arg(i + 1));
        g->setAdaptiveSampling(true);
        graphs_[static_cast<std::size_t>(i)] = g;
    }
    cursorLine_ = new QCPItemStraightLine(plot_);
    cursorLine_->setVisible(false);
    cursorLine_->setLayer(plot_->layer(QStringLiteral("overlay")));
    plot_->layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmBuffered);
    connect(plot_, &QCustomPlot::mousePress, this, &QcpScopeChart::onMousePress);
    connect(plot_, &QCustomPlot::legendClick, this,
            [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
                auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
                if (!entry) return;
                for (int i = 0; i < kChannelCount; ++i)
                    if (graphs_[static_cast<std::size_t>(i)] == entry->plottable()) clickLegend(i);
            });
    applyStyle(false);
}

void QcpScopeChart::beginUpdate() {
    ++updateDepth_;
}

void QcpScopeChart::endUpdate() {
    if (updateDepth_ > 0) --updateDepth_;
    if (updateDepth_ == 0) {
        followLatest();
        plot_->replot(QCustomPlot::rpQueuedReplot);
    }
}

void QcpScopeChart::requestReplot() {
    if (updateDepth_ > 0) return;
    followLatest();
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void QcpScopeChart::clearData() {
    stamps_.clear();
    for (auto& column : y_) column.clear();
    for (QCPGraph* g : graphs_) g->data()->clear();
    cursor_ = 0;
    cursorLine_->setVisible(false);
    requestReplot();
}

int QcpScopeChart::appendPoint(double stamp) {
    stamps_.push_back(stamp);
    for (auto& column : y_) column.push_back(0.0);
    const double key = KeyOf(stamp);
    for (QCPGraph* g : graphs_) g->addData(key, 0.0);
    requestReplot();
    return pointCount() - 1;
}

void QcpScopeChart::setY(int channel, int point, double y) {
    if (!validChannel(channel) || point < 0 || point >= pointCount()) return;
    y_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(point)] = y;
    auto data = graphs_[static_cast<std::size_t>(channel)]->data();
    // Points arrive in time order, so the plot's element of a point sits at its index.
    if (point < data->size()) (data->begin() + point)->value = y;
    requestReplot();
}

double QcpScopeChart::y(int channel, int point) const {
    if (!validChannel(channel) || point < 0 || point >= pointCount()) return 0.0;
    return y_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(point)];
}

double QcpScopeChart::stamp(int point) const {
    if (point < 0 || point >= pointCount()) return 0.0;
    return stamps_[static_cast<std::size_t>(point)];
}

void QcpScopeChart::setYRange(double min, double max) {
    plot_->yAxis->setRange(min, max);
    requestReplot();
}

double QcpScopeChart::yMin() const {
    return plot_->yAxis->range().lower;
}
double QcpScopeChart::yMax() const {
    return plot_->yAxis->range().upper;
}

void QcpScopeChart::setXSpanDays(double days) {
    spanSeconds_ = std::max(days * 86400.0, 1.0);
    requestReplot();
}

// While the chart runs (normal mode) it shows the latest span; the other modes leave the view
// to the user.
void QcpScopeChart::followLatest() {
    // Without a point there is no time to show: an empty axis, not a span ending at midnight.
    plot_->xAxis->setTickLabels(!stamps_.empty());
    if (mode_ != ChartMode::kNormal && !stamps_.empty()) return;
    const double last = stamps_.empty() ? 0.0 : KeyOf(stamps_.back());
    plot_->xAxis->setRange(last - spanSeconds_, last);
    if (style_.autoScale && !stamps_.empty()) scaleToData();
}

// The traces of the shown span, with a margin so that none runs along the frame.
void QcpScopeChart::scaleToData() {
    QCPRange total;
    bool any = false;
    for (QCPGraph* g : graphs_) {
        if (!g->visible()) continue;
        bool found = false;
        const QCPRange range = g->getValueRange(found, QCP::sdBoth, plot_->xAxis->range());
        if (!found) continue;
        total =
            any ? QCPRange(std::min(total.lower, range.lower), std::max(total.upper, range.upper))
                : range;
        any = true;
    }
    if (!any) return;
    const double margin = total.size() > 0
                              ? total.size() * kAutoScaleMargin
                              : std::max(std::fabs(total.lower), 1.0) * kAutoScaleMargin;
    plot_->yAxis->setRange(total.lower - margin, total.upper + margin);
}

void QcpScopeChart::setStyle(const ChartStyle& style) {
    style_ = style;
    applyStyle(false);
    requestReplot();
}

void QcpScopeChart::applyStyle(bool forPrint) {
    const QColor text = forPrint ? Qt::black : colourOf(style_.text);
    const QColor grid = forPrint ? Qt::black : colourOf(style_.grid);
    plot_->setBackground(forPrint ? QBrush(Qt::white) : QBrush(colourOf(style_.background)));
    for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) {
        axis->setBasePen(QPen(text));
        axis->setTickPen(QPen(text));
        axis->setSubTickPen(QPen(text));
        axis->setTickLabelColor(text);
        axis->setLabelColor(text);
        axis->grid()->setPen(QPen(grid, 0, Qt::DotLine));
        axis->grid()->setVisible(forPrint || style_.gridVisible);
    }
    plot_->legend->setVisible(forPrint || style_.legend);
    plot_->legend->setBrush(Qt::NoBrush);
    plot_->legend->setTextColor(text);
    plot_->legend->setBorderPen(QPen(text));
    for (int i = 0; i < kChannelCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const QColor colour = forPrint ? Qt::black : colourOf(style_.channelColours[index]);
        graphs_[index]->setPen(QPen(colour, style_.channelWidths[index]));
    }
    cursorLine_->setPen(QPen(forPrint ? Qt::black : colourOf(style_.cursor), 1, Qt::DashLine));
}

void QcpScopeChart::setChannelVisible(int channel, bool visible) {
    if (!validChannel(channel)) return;
    QCPGraph* g = graphs_[static_cast<std::size_t>(channel)];
    g->setVisible(visible);
    if (visible) {
        g->addToLegend();
    } else {
        g->removeFromLegend();
    }
    requestReplot();
}

void QcpScopeChart::setChannelLegend(int channel, const std::string& text) {
    if (!validChannel(channel)) return;
    legends_[static_cast<std::size_t>(channel)] = text;
    graphs_[static_cast<std::size_t>(channel)]->setName(
        text.empty() ? QStringLiteral("Ch%1").arg(channel + 1) : QString::fromStdString(text));
    requestReplot();
}

void QcpScopeChart::setCursorPosition(int point) {
    cursor_ = std::clamp(point, 0, std::max(pointCount() - 1, 0));
    const bool shown = mode_ == ChartMode::kCursor && pointCount() > 0;
    cursorLine_->setVisible(shown);
    if (shown) {
        const double key = KeyOf(stamps_[static_cast<std::size_t>(cursor_)]);
        cursorLine_->point1->setCoords(key, 0);
        cursorLine_->point2->setCoords(key, 1);
        // A cursor outside the view brings the view to it.
        const QCPRange range = plot_->xAxis->range();
        if (!range.contains(key))
            plot_->xAxis->setRange(key - range.size() / 2, key + range.size() / 2);
    }
    plot_->layer(QStringLiteral("overlay"))->replot();
    requestReplot();
}

void QcpScopeChart::setMode(ChartMode mode) {
    mode_ = mode;
    QCP::Interactions interactions;
    if (mode == ChartMode::kZoom) interactions = QCP::iRangeZoom | QCP::iRangeDrag;
    if (mode == ChartMode::kScroll) interactions = QCP::iRangeDrag;
    plot_->setInteractions(interactions);
    plot_->axisRect()->setRangeDrag(mode == ChartMode::kScroll ? Qt::Horizontal
                                                               : Qt::Horizontal | Qt::Vertical);
    setCursorPosition(cursor_);
}

void QcpScopeChart::onMousePress(QMouseEvent* event) {
    if (mode_ != ChartMode::kCursor || stamps_.empty()) return;
    const double key = plot_->xAxis->pixelToCoord(event->position().x());
    const double days = key / 86400.0 + kUnixEpochInDays;
    auto it = std::lower_bound(stamps_.begin(), stamps_.end(), days);
    int point = static_cast<int>(it - stamps_.begin());
    if (point > 0 && (point == pointCount() || days - stamps_[static_cast<std::size_t>(point - 1)] <
                                                   stamps_[static_cast<std::size_t>(point)] - days))
        --point;
    setCursorPosition(point);
    if (onCursorMoved) onCursorMoved();
}

void QcpScopeChart::clickLegend(int channel) {
    if (mode_ != ChartMode::kCursor || channel < 0 || channel >= kChannelCount) return;
    if (style_.cursorChannel == channel) return;
    style_.cursorChannel = channel;
    if (onCursorChannelChanged) onCursorChannelChanged(channel);
}

bool QcpScopeChart::saveImage(const std::string& path, ImageFormat format) {
    const QString file = QString::fromStdString(path);
    switch (format) {
        case ImageFormat::kVector: {
            QSvgGenerator svg;
            svg.setFileName(file);
            svg.setSize(plot_->size());
            svg.setViewBox(QRect(QPoint(0, 0), plot_->size()));
            QCPPainter painter;
            if (!painter.begin(&svg)) return false;
            plot_->toPainter(&painter, plot_->width(), plot_->height());
            painter.end();
            return QFile::exists(file) && QFileInfo(file).size() > 0;
        }
        case ImageFormat::kJpeg:
            return plot_->saveJpg(file, 0, 0, 1.0, 100);
        case ImageFormat::kBmp:
            return plot_->saveBmp(file);
        case ImageFormat::kPng:
            return plot_->savePng(file);
    }
    return false;
}

bool QcpScopeChart::renderForPrint(QPaintDevice* device, const QString& title) {
    applyStyle(true);
    auto* titleElement = new QCPTextElement(plot_, title);
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, titleElement);
    // Laid out as a screen-sized chart of the page's shape and drawn finely enough for paper,
    // then fitted to the page's printable area: at a printer's resolution the texts would
    // outgrow the page and be cut at its edges.
    const double scale = device->width() / kPrintLayoutWidth;
    const int height = static_cast<int>(device->height() / scale);
    const QPixmap picture =
        plot_->toPixmap(static_cast<int>(kPrintLayoutWidth), height, std::min(scale, kPrintDetail));
    QPainter painter;
    const bool ok = painter.begin(device);
    if (ok) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, device->width(), device->height()), picture);
        painter.end();
    }
    plot_->plotLayout()->remove(titleElement);
    plot_->plotLayout()->simplify();
    applyStyle(false);
    plot_->replot();
    return ok;
}

}  // namespace korvane::scope
