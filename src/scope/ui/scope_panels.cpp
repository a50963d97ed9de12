// The graph monitor window's three setting panels and view bar, and how the monitor's state
// reaches their widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "host/ui/qt_text.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "scope/scope_settings.h"
#include "scope/ui/scope_widgets.h"
#include "scope/ui/scope_window.h"

namespace korvane::scope {
namespace {

const char* const kTimeSpanTexts[] = {"10 sec", "20 sec", "30 sec", "40 sec", "50 sec", "1 min",
                                      "2 min",  "3 min",  "4 min",  "5 min",  "10 min", "20 min",
                                      "30 min", "40 min", "50 min", "1 hour"};
const char* const kScanTexts[] = {"0.1 sec", "0.2 sec", "0.5 sec", "1 sec",
                                  "2 sec",   "3 sec",   "4 sec",   "5 sec"};
const char* const kRecordTexts[] = {
    "1 sec", "2 sec", "5 sec", "10 sec", "20 sec", "30 sec", "40 sec", "50 sec", "1 min", "2 min",
    "3 min", "4 min", "5 min", "10 min", "20 min", "30 min", "40 min", "50 min", "1 hour"};
const char* const kOffsetTexts[] = {"100", "50", "40",  "30",  "20",  "10",  "5",   "1",   "0",
                                    "-1",  "-5", "-10", "-20", "-30", "-40", "-50", "-100"};
const char* const kDivTexts[] = {"0.01", "0.02", "0.05", "0.1", "0.5", "1",   "2",   "5",
                                 "10",   "20",   "50",   "100", "200", "500", "1000"};
const char* const kChannelTexts[] = {"CH1", "CH2", "CH3", "CH4"};

template <std::size_t N>
QComboBox* listBox(const char* const (&texts)[N], QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const char* t : texts) box->addItem(q(t));
    return box;
}

void paintSwatch(QPushButton* button, std::uint32_t colour) {
    QPixmap swatch(24, 12);
    swatch.fill(colourOf(colour));
    button->setIcon(QIcon(swatch));
}

void select(QComboBox* box, int index) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

void fillList(QComboBox* box, const QList<std::pair<QString, int>>& entries, int selection) {
    box->clear();
    for (const auto& [text, data] : entries) box->addItem(text, data);
    box->setCurrentIndex(selection);
}

}  // namespace

QWidget* ScopeWindow::buildChannelPanel() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRow& r = rows_[static_cast<std::size_t>(i)];
        r.on = new QCheckBox(QStringLiteral("Ch%1").arg(i + 1), panel);
        r.station = new QComboBox(panel);
        r.item = new QComboBox(panel);
        r.value = new QLabel(panel);
        r.value->setMinimumWidth(90);
        r.offset = listBox(kOffsetTexts, panel);
        r.div = listBox(kDivTexts, panel);
        grid->addWidget(r.on, i * 2, 0);
        grid->addWidget(r.station, i * 2, 1);
        grid->addWidget(r.item, i * 2, 2);
        grid->addWidget(r.value, i * 2 + 1, 0);
        grid->addWidget(r.offset, i * 2 + 1, 1);
        grid->addWidget(r.div, i * 2 + 1, 2);
        connect(r.on, &QCheckBox::toggled, this,
                [this, i](bool on) { monitor_->setChannelOn(i, on); });
        connect(r.station, &QComboBox::activated, this, [this, i](int index) {
            monitor_->chooseStation(
                i, rows_[static_cast<std::size_t>(i)].station->itemData(index).toInt());
        });
        connect(r.item, &QComboBox::activated, this,
                [this, i](int index) { monitor_->chooseItem(i, index); });
        connect(r.offset, &QComboBox::activated, this,
                [this, i](int index) { monitor_->sampler().setOffsetIndex(i, index); });
        connect(r.div, &QComboBox::activated, this,
                [this, i](int index) { monitor_->sampler().setDivIndex(i, index); });
    }
    grid->setRowStretch(kChannelCount * 2, 1);
    return panel;
}

QWidget* ScopeWindow::buildDisplayPanel() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    int row = 0;
    for (int i = 0; i < kChannelCount; ++i, ++row) {
        ChannelRow& r = rows_[static_cast<std::size_t>(i)];
        r.colour = new QPushButton(QStringLiteral("Ch%1").arg(i + 1), panel);
        r.width = new QComboBox(panel);
        for (const char* w : {"1", "2", "3", "4"}) r.width->addItem(q(w));
        grid->addWidget(r.colour, row, 0);
        grid->addWidget(r.width, row, 1);
        connect(r.colour, &QPushButton::clicked, this, [this, i] { chooseColour(i); });
        connect(r.width, &QComboBox::activated, this,
                [this, i](int index) { monitor_->style().setChannelWidth(i, index); });
    }
    const QString names[] = {tr("Background"), tr("Text"), tr("Grid"), tr("Cursor")};
    for (int i = 0; i < 4; ++i, ++row) {
        colourButtons_[static_cast<std::size_t>(i)] = new QPushButton(names[i], panel);
        grid->addWidget(colourButtons_[static_cast<std::size_t>(i)], row, 0);
        connect(colourButtons_[static_cast<std::size_t>(i)], &QPushButton::clicked, this,
                [this, i] { chooseColour(kChannelCount + i); });
    }
    gridBox_ = new QCheckBox(tr("Grid"), panel);
    legendBox_ = new QCheckBox(tr("Legend"), panel);
    autoScaleBox_ = new QCheckBox(tr("Auto Scale"), panel);
    grid->addWidget(gridBox_, row++, 0);
    grid->addWidget(legendBox_, row++, 0);
    grid->addWidget(autoScaleBox_, row++, 0);
    connect(gridBox_, &QCheckBox::toggled, this,
            [this](bool on) { monitor_->style().setGrid(on); });
    connect(legendBox_, &QCheckBox::toggled, this,
            [this](bool on) { monitor_->style().setLegend(on); });
    connect(autoScaleBox_, &QCheckBox::toggled, this, [this](bool on) {
        monitor_->style().applyYRange(yMinBox_->text().toStdString(),
                                      yMaxBox_->text().toStdString());
        monitor_->style().setAutoScale(on);
    });
    yMinBox_ = new QLineEdit(panel);
    yMaxBox_ = new QLineEdit(panel);
    grid->addWidget(new QLabel(tr("Y Min"), panel), row, 0);
    grid->addWidget(yMinBox_, row++, 1);
    grid->addWidget(new QLabel(tr("Y Max"), panel), row, 0);
    grid->addWidget(yMaxBox_, row++, 1);
    for (QLineEdit* box : {yMinBox_, yMaxBox_})
        connect(box, &QLineEdit::editingFinished, this, [this] {
            monitor_->style().applyYRange(yMinBox_->text().toStdString(),
                                          yMaxBox_->text().toStdString());
        });
    cursorChannel_ = listBox(kChannelTexts, panel);
    grid->addWidget(new QLabel(tr("Cursor"), panel), row, 0);
    grid->addWidget(cursorChannel_, row++, 1);
    connect(cursorChannel_, &QComboBox::activated, this,
            [this](int i) { monitor_->style().setCursorChannel(i); });
    grid->setRowStretch(row, 1);
    return panel;
}

QWidget* ScopeWindow::buildTriggerPanel() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    triggerChannel_ = listBox(kChannelTexts, panel);
    triggerEdge_ = new QComboBox(panel);
    triggerEdge_->addItems({qtTr("上昇"), qtTr("下降")});
    triggerLevel_ = new QLineEdit(panel);
    snapshotBox_ = new QCheckBox(tr("Snap Shot"), panel);
    snapshotPath_ = new QLineEdit(panel);
    snapshotPath_->setReadOnly(true);
    snapshotButton_ = new QPushButton(QStringLiteral("..."), panel);
    recordPath_ = new QLineEdit(panel);
    recordPath_->setReadOnly(true);
    recordButton_ = new QPushButton(QStringLiteral("..."), panel);
    grid->addWidget(new QLabel(tr("Trigger Channel"), panel), 0, 0);
    grid->addWidget(triggerChannel_, 0, 1);
    grid->addWidget(new QLabel(tr("Edge"), panel), 1, 0);
    grid->addWidget(triggerEdge_, 1, 1);
    grid->addWidget(new QLabel(tr("Level"), panel), 2, 0);
    grid->addWidget(triggerLevel_, 2, 1);
    grid->addWidget(snapshotBox_, 3, 0);
    grid->addWidget(snapshotPath_, 4, 0, 1, 2);
    grid->addWidget(snapshotButton_, 4, 2);
    grid->addWidget(new QLabel(tr("Record File"), panel), 5, 0);
    grid->addWidget(recordPath_, 6, 0, 1, 2);
    grid->addWidget(recordButton_, 6, 2);
    recordTimeBox_ = new QCheckBox(tr("Time Column"), panel);
    grid->addWidget(recordTimeBox_, 7, 0);
    grid->setRowStretch(8, 1);
    connect(triggerChannel_, &QComboBox::activated, this,
            [this](int i) { monitor_->trigger().setChannel(i); });
    connect(triggerEdge_, &QComboBox::activated, this,
            [this](int i) { monitor_->trigger().setEdge(static_cast<TriggerEdge>(i)); });
    connect(triggerLevel_, &QLineEdit::editingFinished, this,
            [this] { monitor_->trigger().setLevelText(triggerLevel_->text().toStdString()); });
    connect(snapshotBox_, &QCheckBox::toggled, this,
            [this](bool on) { monitor_->trigger().setSnapshot(on); });
    connect(snapshotButton_, &QPushButton::clicked, this, [this] { chooseSnapshotPath(); });
    connect(recordButton_, &QPushButton::clicked, this, [this] { chooseRecordPath(); });
    connect(recordTimeBox_, &QCheckBox::toggled, this,
            [this](bool on) { monitor_->recorder().setTimeColumn(on); });
    return panel;
}

QWidget* ScopeWindow::buildViewBar() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    timeSpan_ = listBox(kTimeSpanTexts, bar);
    scanTime_ = listBox(kScanTexts, bar);
    recordTime_ = listBox(kRecordTexts, bar);
    elapsed_ = new QLabel(bar);
    recordCount_ = new QLabel(bar);
    recordLed_ = new ScopeLed(Qt::green, bar);
    triggerLed_ = new ScopeLed(Qt::red, bar);
    row->addWidget(timeSpan_);
    row->addWidget(scanTime_);
    row->addWidget(recordTime_);
    row->addStretch(1);
    row->addWidget(elapsed_);
    row->addWidget(recordCount_);
    row->addWidget(recordLed_);
    row->addWidget(triggerLed_);
    connect(timeSpan_, &QComboBox::activated, this,
            [this](int i) { monitor_->style().setTimeSpan(i); });
    connect(scanTime_, &QComboBox::activated, this, [this](int i) { monitor_->setScanTime(i); });
    connect(recordTime_, &QComboBox::activated, this,
            [this](int i) { monitor_->recorder().setRecordTime(i); });
    return bar;
}

// ---- state to widgets --------------------------------------------------------------------------

void ScopeWindow::stateChanged() {
    if (rows_[0].on) refresh();
}

void ScopeWindow::fillChannelLists(const ChannelRow& r, const ScopeChannel& c) {
    QList<std::pair<QString, int>> stations, items;
    for (const StationChoice& choice : c.stationChoices)
        stations.append(
            {QStringLiteral("%1:%2").arg(choice.station).arg(q(SeriesName(choice.series))),
             choice.station});
    for (const MonitorItem& item : c.items)
        items.append({q(ScopeChannels::ShownName(item.name)), item.address});
    fillList(r.station, stations, c.stationSelection);
    fillList(r.item, items, c.itemSelection);
}

void ScopeWindow::refresh() {
    const ScopeMonitor& m = *monitor_;
    const ScopeSettings& s = m.settings();
    setWindowTitle(q(m.document().titleText()));
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelRow& r = rows_[static_cast<std::size_t>(i)];
        const ScopeChannel& c = m.channels()[static_cast<std::size_t>(i)];
        const ChannelSettings& cs = s.channels[static_cast<std::size_t>(i)];
        {
            const QSignalBlocker b1(r.on), b2(r.station), b3(r.item);
            r.on->setChecked(c.on != 0);
            r.on->setEnabled(m.onBoxesEnabled());
            // Only a change of what the lists hold refills them: a refill would close a list
            // the user has open.
            if (shownLists_[static_cast<std::size_t>(i)] != c.listsRevision) {
                shownLists_[static_cast<std::size_t>(i)] = c.listsRevision;
                fillChannelLists(r, c);
            }
            // A choice the core turned down is not left showing.
            if (r.station->currentIndex() != c.stationSelection)
                r.station->setCurrentIndex(c.stationSelection);
            if (r.item->currentIndex() != c.itemSelection) r.item->setCurrentIndex(c.itemSelection);
            r.station->setEnabled(m.onBoxesEnabled());
            r.item->setEnabled(c.listsEnabled);
        }
        r.value->setText(q(c.valueLabel));
        r.value->setEnabled(!c.valueStale);
        select(r.offset, cs.offsetIndex);
        select(r.div, cs.divIndex);
        select(r.width, cs.widthIndex);
        paintSwatch(r.colour, cs.colour);
    }
    const std::uint32_t colours[] = {s.backgroundColour, s.textColour, s.gridColour,
                                     s.cursorColour};
    for (int i = 0; i < 4; ++i)
        paintSwatch(colourButtons_[static_cast<std::size_t>(i)], colours[i]);
    for (auto [box, on] : {std::pair{gridBox_, s.showGrid}, std::pair{legendBox_, s.showLegend},
                           std::pair{autoScaleBox_, s.autoScale}}) {
        const QSignalBlocker b(box);
        box->setChecked(on != 0);
    }
    if (!yMinBox_->hasFocus()) yMinBox_->setText(QString::number(s.yMin, 'f', 0));
    if (!yMaxBox_->hasFocus()) yMaxBox_->setText(QString::number(s.yMax, 'f', 0));
    select(cursorChannel_, s.currentCursor);
    select(triggerChannel_, s.triggerChannel);
    select(triggerEdge_, s.triggerEdge);
    if (!triggerLevel_->hasFocus()) triggerLevel_->setText(q(s.triggerLevel));
    {
        const QSignalBlocker b(snapshotBox_);
        snapshotBox_->setChecked(s.snapShot != 0);
    }
    snapshotPath_->setText(q(s.snapshotPath));
    {
        const QSignalBlocker b(recordTimeBox_);
        recordTimeBox_->setChecked(s.recordTimeColumn != 0);
    }
    recordPath_->setText(q(s.recordPath));
    select(timeSpan_, s.timeSpan);
    select(scanTime_, s.scanTime);
    select(recordTime_, s.recordTime);
    elapsed_->setText(q(m.sampler().elapsedText()));
    recordCount_->setText(QString::number(m.recorder().lines()));
    recordLed_->setLit(m.recorder().led());
    triggerLed_->setLit(m.trigger().led());
    statusPane_->setText(q(m.statusText()));
    graphWatchPane_->setText(q(m.graphWatchText()));
    statusPane_->setStyleSheet(m.statusIsWarning() ? QStringLiteral("color: rgb(255,0,0);")
                                                   : QStringLiteral("color: rgb(0,0,255);"));
    gridAction_->setChecked(s.showGrid);
    legendAction_->setChecked(s.showLegend);
    autoScaleAction_->setChecked(s.autoScale);
    graphWatchAction_->setChecked(m.graphWatchOption());
    for (int i = 0; i < kChannelCount; ++i)
        cursorActions_[static_cast<std::size_t>(i)]->setChecked(s.currentCursor == i);
    const ChartMode modes[] = {ChartMode::kNormal, ChartMode::kCursor, ChartMode::kZoom,
                               ChartMode::kScroll};
    for (int i = 0; i < 4; ++i)
        modeActions_[static_cast<std::size_t>(i)]->setChecked(chart_->mode() == modes[i]);
    refreshEnabling();
}

void ScopeWindow::refreshEnabling() {
    const ScopeMonitor& m = *monitor_;
    for (auto& [command, action] : commandActions_) action->setEnabled(m.enabled(command));
    const bool files = m.enabled(ScopeCommand::kFileCommands);
    for (QAction* a : fileActions_) a->setEnabled(files);
    for (QAction* a : modeActions_) a->setEnabled(files);
    const bool triggerFree = !m.trigger().armed();
    for (QWidget* w : std::initializer_list<QWidget*>{triggerChannel_, triggerEdge_, triggerLevel_,
                                                      snapshotBox_, snapshotButton_})
        w->setEnabled(triggerFree);
    recordButton_->setEnabled(!m.recorder().recording());
    recordTimeBox_->setEnabled(!m.recorder().recording());
}

}  // namespace korvane::scope
