#include "scope/ui/scope_window.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QVBoxLayout>

#include "common/format.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/ui/file_dialogs.h"
#include "host/ui/qt_text.h"
#include "host/ui/window_placement.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "scope/scope_settings.h"
#include "scope/ui/scope_widgets.h"

namespace korvane::scope {

namespace {

std::string dialogDir(const SettingsStore& store, const char* key) {
    return store.getString("Main", key, "");
}

}  // namespace

ScopeWindow::ScopeWindow(const ToolServices& services, QWidget* parent)
    : QMainWindow(parent),
      prompter_(services.prompter, this),
      services_(WithPrompter(services, prompter_)) {
    setWindowTitle(qtTr(kCaption));
    setAttribute(Qt::WA_DeleteOnClose, false);
    plot_ = new QCustomPlot(this);
    chart_ = new QcpScopeChart(plot_);
    for (ScopeClock c :
         {ScopeClock::kScan, ScopeClock::kRecord, ScopeClock::kElapsed, ScopeClock::kBlink}) {
        auto* timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        timers_[c] = timer;
    }
    monitor_ = std::make_unique<ScopeMonitor>(services_, *chart_, *this);
    monitorChanged_ = monitor_->events().stateChanged.connect([this] { stateChanged(); });
    connect(timers_[ScopeClock::kScan], &QTimer::timeout, this, [this] { monitor_->onSample(); });
    connect(timers_[ScopeClock::kRecord], &QTimer::timeout, this, [this] { monitor_->onRecord(); });
    connect(timers_[ScopeClock::kElapsed], &QTimer::timeout, this,
            [this] { monitor_->onSecond(); });
    connect(timers_[ScopeClock::kBlink], &QTimer::timeout, this, [this] { monitor_->onBlink(); });
    chart_->onCursorMoved = [this] { monitor_->sampler().onCursorMoved(); };
    chart_->onCursorChannelChanged = [this](int ch) {
        monitor_->sampler().onCursorChannelChanged(ch);
    };

    buildActions();
    auto* tabs = new QTabWidget(this);
    tabs->addTab(buildChannelPanel(), qtTr("チャネルセットアップ"));
    tabs->addTab(buildDisplayPanel(), qtTr("グラフ画面セットアップ"));
    tabs->addTab(buildTriggerPanel(), qtTr("トリガ及びレコードセットアップ"));
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(plot_, 1);
    leftLayout->addWidget(buildViewBar());
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(tabs);
    splitter->setStretchFactor(0, 1);
    setCentralWidget(splitter);
    graphWatchPane_ = new QLabel(this);
    graphWatchPane_->setMinimumWidth(100);
    graphWatchPane_->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    statusPane_ = new QLabel(this);
    statusPane_->setMinimumWidth(80);
    statusBar()->addPermanentWidget(graphWatchPane_);
    statusBar()->addPermanentWidget(statusPane_);
    resize(1100, 600);

    monitor_->open();
    refresh();
    // Later openings get the layout the user left; the first one has none, so every panel must
    // show whole.
    if (monitor_->fitFrameToView()) resize(sizeHint().expandedTo(minimumSizeHint()));
}

ScopeWindow::~ScopeWindow() {
    if (!closed_) monitor_->close();
    for (auto& [clock, timer] : timers_) timer->stop();
}

// As a form's frame does, the window never shrinks below its panels plus its bars, so no setting
// is ever cut off; a screen smaller than that is the limit instead, or the frame could not fit.
// A tool bar wider than the panels folds its buttons away rather than widening the frame.
void ScopeWindow::setSmallestTrackingSize() {
    const QSize view = centralWidget()->sizeHint();
    const QSize bars = (minimumSizeHint() - centralWidget()->minimumSizeHint()).expandedTo({0, 0});
    QSize smallest = view + bars;
    if (const QScreen* shown = screen()) smallest = smallest.boundedTo(shown->availableSize());
    setMinimumSize(smallest);
}

void ScopeWindow::buildActions() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QMenu* run = menuBar()->addMenu(tr("&Monitor"));
    QMenu* view = menuBar()->addMenu(tr("&View"));
    QToolBar* bar = addToolBar(QStringLiteral("Tool Bar 1"));
    bar->setObjectName(QStringLiteral("Tool Bar 1"));
    auto add = [&](QMenu* menu, const QString& text, auto slot) {
        QAction* a = menu->addAction(text);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    fileActions_.push_back(add(file, tr("&Open..."), [this] { openFile(); }));
    fileActions_.push_back(add(file, tr("&Save"), [this] { saveFile(false); }));
    fileActions_.push_back(add(file, tr("Save &As..."), [this] { saveFile(true); }));
    file->addSeparator();
    fileActions_.push_back(add(file, tr("&Print..."), [this] { print(); }));
    fileActions_.push_back(
        add(file, tr("Save Image as SVG..."), [this] { exportImage(ImageFormat::kVector); }));
    fileActions_.push_back(
        add(file, tr("Save Image as JPEG..."), [this] { exportImage(ImageFormat::kJpeg); }));
    fileActions_.push_back(
        add(file, tr("Save Image as BMP..."), [this] { exportImage(ImageFormat::kBmp); }));
    fileActions_.push_back(
        add(file, tr("Save Image as PNG..."), [this] { exportImage(ImageFormat::kPng); }));
    add(file, tr("&Copy Image"), [this] { copyToClipboard(); });
    file->addSeparator();
    recentMenu_ = file->addMenu(tr("Recent Files"));
    recent_.load(services_.settings);
    rebuildRecentMenu();
    file->addSeparator();
    add(file, tr("E&xit"), [this] { close(); });

    auto command = [&](ScopeCommand c, const QString& text, auto slot) {
        QAction* a = add(run, text, slot);
        bar->addAction(a);
        commandActions_[c] = a;
    };
    command(ScopeCommand::kStartMonitor, tr("Start Monitoring"),
            [this] { monitor_->startMonitoring(); });
    command(ScopeCommand::kStopMonitor, tr("Stop Monitoring"),
            [this] { monitor_->stopMonitoring(); });
    command(ScopeCommand::kStartRecord, tr("Start Recording"),
            [this] { monitor_->recorder().start(); });
    command(ScopeCommand::kStopRecord, tr("Stop Recording"),
            [this] { monitor_->recorder().stop(); });
    command(ScopeCommand::kArmTrigger, tr("Arm Trigger"), [this] {
        monitor_->trigger().setLevelText(triggerLevel_->text().toStdString());
        monitor_->trigger().arm();
    });
    command(ScopeCommand::kDisarmTrigger, tr("Disarm Trigger"),
            [this] { monitor_->trigger().disarm(); });
    command(ScopeCommand::kGraphWatch, tr("Graph Watch Mode"),
            [this] { monitor_->toggleGraphWatch(); });
    graphWatchAction_ = commandActions_[ScopeCommand::kGraphWatch];
    graphWatchAction_->setCheckable(true);

    gridAction_ = add(view, tr("Grid"),
                      [this] { monitor_->style().setGrid(!monitor_->settings().showGrid); });
    legendAction_ = add(view, tr("Label"),
                        [this] { monitor_->style().setLegend(!monitor_->settings().showLegend); });
    autoScaleAction_ = add(view, tr("Y Auto Scale"), [this] {
        monitor_->style().setAutoScale(!monitor_->settings().autoScale);
    });
    for (QAction* a : {gridAction_, legendAction_, autoScaleAction_}) a->setCheckable(true);
    view->addSeparator();
    for (int i = 0; i < kChannelCount; ++i) {
        cursorActions_[static_cast<std::size_t>(i)] =
            add(view, tr("Cursor Ch%1").arg(i + 1),
                [this, i] { monitor_->style().setCursorChannel(i); });
        cursorActions_[static_cast<std::size_t>(i)]->setCheckable(true);
    }
    view->addSeparator();
    const std::array<std::pair<ChartMode, QString>, 4> modes = {
        std::pair{ChartMode::kNormal, tr("Normal")}, std::pair{ChartMode::kCursor, tr("Cursor")},
        std::pair{ChartMode::kZoom, tr("Zoom")}, std::pair{ChartMode::kScroll, tr("Scroll")}};
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const ChartMode mode = modes[i].first;
        modeActions_[i] =
            add(view, modes[i].second, [this, mode] { monitor_->sampler().setChartMode(mode); });
        modeActions_[i]->setCheckable(true);
        bar->addAction(modeActions_[i]);
    }
}

QString ScopeWindow::statusPaneText() const {
    return statusPane_->text();
}

QString ScopeWindow::graphWatchPaneText() const {
    return graphWatchPane_->text();
}

// ---- clocks and frame ------------------------------------------------------------------------

void ScopeWindow::start(ScopeClock clock, int periodMs) {
    timers_[clock]->start(std::max(periodMs, 1));
}

void ScopeWindow::stop(ScopeClock clock) {
    timers_[clock]->stop();
}

void ScopeWindow::activate() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void ScopeWindow::requestClose() {
    close();
}

std::vector<std::uint8_t> ScopeWindow::savePlacement() const {
    return PlacementBytes(*this);
}

void ScopeWindow::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void ScopeWindow::onDriveEvent(const DriveEvent& event) {
    if (event.kind == DriveEventKind::kConnected || event.kind == DriveEventKind::kDisconnected)
        monitor_->refreshStations();
}

// Measured when shown, because the panels' styled sizes are known only then; a placement
// restored smaller than that grows to it here.
void ScopeWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    setSmallestTrackingSize();
}

std::string ScopeWindow::unsavedWork() const {
    return monitor_->recorder().recording() ? kRecordingOnCloseText : std::string();
}

void ScopeWindow::closeEvent(QCloseEvent* event) {
    CloseOpenDialogs(this);
    if (!closed_) {
        monitor_->close();
        closed_ = true;
    }
    services_.host.toolFrameClosing(this);
    event->accept();
}

// ---- dialogs and files -----------------------------------------------------------------------

void ScopeWindow::chooseColour(int which) {
    const ScopeSettings& s = monitor_->settings();
    std::uint32_t current = 0;
    if (which < kChannelCount) {
        current = s.channels[static_cast<std::size_t>(which)].colour;
    } else {
        const std::uint32_t all[] = {s.backgroundColour, s.textColour, s.gridColour,
                                     s.cursorColour};
        current = all[which - kChannelCount];
    }
    OpenColourDialog(this, colourOf(current), [this, which](const QColor& chosen) {
        if (which < kChannelCount) {
            monitor_->style().setChannelColour(which, wordOf(chosen));
            return;
        }
        const ScopeSettings& now = monitor_->settings();
        std::uint32_t all[] = {now.backgroundColour, now.textColour, now.gridColour,
                               now.cursorColour};
        all[which - kChannelCount] = wordOf(chosen);
        monitor_->style().setColours(all[0], all[1], all[2], all[3]);
    });
}

void ScopeWindow::confirmOverwrite(const QString& chosen, const QString& current,
                                   std::function<void()> then) {
    if (chosen == current || !QFileInfo::exists(chosen)) return then();
    prompter_.ask(strprintf(Tr("%s ファイルはすでに存在します.\n上書きを希望しますか？"),
                            chosen.toStdString().c_str()),
                  Tr(kCaption), [then](bool yes) {
                      if (yes) then();
                  });
}

void ScopeWindow::chooseSnapshotPath() {
    const ScopeSettings& s = monitor_->settings();
    std::vector<std::string> suffixes;
    for (int i = 1; i <= 4; ++i) suffixes.push_back(ImageExtension(static_cast<ImageFormat>(i)));
    const FileDialogRequest request{.filter =
                                        "メタファイル (*.svg)|*.svg|JPEGファイル (*.jpg)|*.jpg|"
                                        "BMPファイル (*.bmp)|*.bmp|PNGファイル (*.png)|*.png||",
                                    .title = "画面画像ファイルパスをトリガ",
                                    .startDir = s.snapshotPath,
                                    .save = true,
                                    .selectedFilter = std::clamp(s.snapshotFilterIndex, 1, 4),
                                    .filterExtensions = suffixes};
    QPointer<ScopeWindow> self(this);
    OpenFileDialog(this, request, [self](const QString& chosen, int picked) {
        if (!self || chosen.isEmpty()) return;
        const int index = std::max(1, picked);
        QString path = chosen;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".") + q(ImageExtension(static_cast<ImageFormat>(index)));
        self->confirmOverwrite(
            path, q(self->monitor_->settings().snapshotPath), [self, path, index] {
                if (self) self->monitor_->trigger().setSnapshotPath(path.toStdString(), index);
            });
    });
}

void ScopeWindow::chooseRecordPath() {
    const ScopeSettings& s = monitor_->settings();
    const FileDialogRequest request{.extension = "csv",
                                    .filter = "レコードファイル (*.csv)|*.csv||",
                                    .title = "範囲ファイルパス",
                                    .startDir = s.recordPath,
                                    .save = true};
    QPointer<ScopeWindow> self(this);
    OpenFileDialog(this, request, [self](const QString& path, int) {
        if (!self || path.isEmpty()) return;
        self->confirmOverwrite(path, q(self->monitor_->settings().recordPath), [self, path] {
            if (self) self->monitor_->recorder().setPath(path.toStdString());
        });
    });
}

void ScopeWindow::exportImage(ImageFormat format) {
    const char* filter = format == ImageFormat::kVector ? "SVGファイル (*.svg)|*.svg||"
                         : format == ImageFormat::kJpeg ? "JPEGファイル (*.jpg)|*.jpg||"
                         : format == ImageFormat::kBmp  ? "BMPファイル (*.bmp)|*.bmp||"
                                                        : "PNGファイル (*.png)|*.png||";
    const FileDialogRequest request{
        .extension = ImageExtension(format),
        .filter = filter,
        .startDir = dialogDir(services_.settings, kScopeGraphFileDirKey),
        .overwritePrompt = true,
        .save = true};
    OpenFileDialog(this, request, [this, format](const QString& path, int) {
        if (path.isEmpty()) return;
        (void)chart_->saveImage(path.toStdString(), format);
        services_.settings.setString("Main", kScopeGraphFileDirKey,
                                     QFileInfo(path).absolutePath().toStdString());
    });
}

void ScopeWindow::openFile() {
    const FileDialogRequest request{.extension = "sco",
                                    .filter = "範囲ファイル (*.sco)|*.sco||",
                                    .title = "範囲ファイルを開く",
                                    .startDir = dialogDir(services_.settings, kScopeFileDirKey)};
    OpenFileDialog(this, request, [this](const QString& path, int) {
        if (path.isEmpty() || !openPath(path)) return;
        services_.settings.setString("Main", kScopeFileDirKey,
                                     QFileInfo(path).absolutePath().toStdString());
    });
}

bool ScopeWindow::openPath(const QString& path) {
    if (!monitor_->document().open(path.toStdString())) return false;
    setWindowTitle(QStringLiteral("%1 - %2").arg(qtTr(kCaption), QFileInfo(path).fileName()));
    remember(path);
    return true;
}

void ScopeWindow::remember(const QString& path) {
    recent_.add(path.toStdString());
    recent_.save(services_.settings);
    rebuildRecentMenu();
}

void ScopeWindow::rebuildRecentMenu() {
    recentMenu_->clear();
    for (std::size_t i = 0; i < recent_.paths().size(); ++i) {
        QAction* a = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(q(recent_.displayName(i))));
        connect(a, &QAction::triggered, this, [this, i] {
            if (monitor_->monitoring()) return;
            // An entry that no longer opens is dropped from the list.
            (void)recent_.choose(i, [this](const std::string& p) { return openPath(q(p)); });
            recent_.save(services_.settings);
            rebuildRecentMenu();
        });
    }
    recentMenu_->setEnabled(!recent_.paths().empty());
}

void ScopeWindow::saveFile(bool askPath) {
    auto save = [this](const QString& path) {
        if (!monitor_->document().save(path.toStdString())) return;
        setWindowTitle(QStringLiteral("%1 - %2").arg(qtTr(kCaption), QFileInfo(path).fileName()));
        remember(path);
    };
    const QString current = askPath ? QString() : q(monitor_->document().path());
    if (!current.isEmpty()) return save(current);
    const FileDialogRequest request{.extension = "sco",
                                    .filter = "範囲ファイル (*.sco)|*.sco||",
                                    .title = "範囲ファイルを保存してください",
                                    .startDir = dialogDir(services_.settings, kScopeFileDirKey),
                                    .overwritePrompt = true,
                                    .save = true};
    OpenFileDialog(this, request, [save](const QString& path, int) {
        if (!path.isEmpty()) save(path);
    });
}

bool ScopeWindow::printToPdf(const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageOrientation(QPageLayout::Landscape);
    const QString title =
        QLocale(QLocale::English)
            .toString(QDate::currentDate(), QStringLiteral("dddd, MMMM dd, yyyy"));
    return chart_->renderForPrint(&printer, title) && QFileInfo(path).size() > 0;
}

void ScopeWindow::print() {
    OpenPrintPreview(
        this, [](QPrinter& printer) { printer.setPageOrientation(QPageLayout::Landscape); },
        [this](QPrinter* p) {
            const QString title =
                QLocale(QLocale::English)
                    .toString(QDate::currentDate(), QStringLiteral("dddd, MMMM dd, yyyy"));
            (void)chart_->renderForPrint(p, title);
        });
}

void ScopeWindow::copyToClipboard() {
    auto* mime = new QMimeData;
    mime->setImageData(plot_->toPixmap().toImage());
    QTemporaryDir dir;
    const QString svg = dir.filePath(QStringLiteral("chart.svg"));
    if (chart_->saveImage(svg.toStdString(), ImageFormat::kVector)) {
        QFile file(svg);
        if (file.open(QIODevice::ReadOnly))
            mime->setData(QStringLiteral("image/svg+xml"), file.readAll());
    }
    QApplication::clipboard()->setMimeData(mime);
}

ToolFrame* MakeScopeWindow(ToolServices& services, int /*stationKey*/) {
    auto* window = new ScopeWindow(services);
    window->setAttribute(Qt::WA_DeleteOnClose, true);
    window->show();
    return window;
}

}  // namespace korvane::scope
