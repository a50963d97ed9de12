#include "app/ui/main_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDockWidget>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include "app/interface_language.h"
#include "app/log_path_command.h"
#include "app/ui/connect_dialog.h"
#include "app/ui/drive_list_view.h"
#include "app/ui/event_log_view.h"
#include "app/ui/fault_list_view.h"
#include "app/ui/painted_icons.h"
#include "app/ui/port_setup_dialog.h"
#include "app/ui/status_panes.h"
#include "app/ui/tool_window_factory.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "host/settings.h"
#include "host/ui/file_dialogs.h"
#include "host/ui/qt_prompter.h"
#include "host/ui/qt_text.h"

namespace korvane {

namespace {

// "text|pattern|text|pattern||" as the file dialogs of the stored settings spell it.
QByteArray toQt(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

std::vector<std::uint8_t> fromQt(const QByteArray& bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

MainWindow::MainWindow(MainController& controller, SettingsStore& settings, Prompter& prompter,
                       QWidget* parent)
    : QMainWindow(parent), controller_(controller), settings_(settings), prompter_(prompter) {
    setObjectName(QStringLiteral("MainFrame"));
    createActions();
    panes_ = new StatusPanes(statusBar());
    connect(panes_, &StatusPanes::portSetupRequested, this, [this] { runCommand(kCmdPortSetup); });
    createMenus();
    createToolBar();
    createPanes();

    setWindowTitle(qtText(controller_.WindowTitle()));
    panes_->setLine(controller_.LineStatus());
    panes_->setIndicator(controller_.IndicatorIcon());
    panes_->setGraphWatch(controller_.GraphWatchActive());

    linkTimer_.setTimerType(Qt::PreciseTimer);
    connect(&linkTimer_, &QTimer::timeout, this, &MainWindow::onLinkTick);
    connect(&indicatorTimer_, &QTimer::timeout, this, [this] { controller_.OnIndicatorTick(); });
    indicatorTimer_.start(kIndicatorTimerMs);

    // Tool windows are made by the factory the controller calls, never by the main window.
    toolWindows_ = std::make_unique<UiToolWindowFactory>(controller_.Services());
    RegisterToolWindows(*toolWindows_);
    controller_.SetToolWindowFactory(toolWindows_.get());

    listen();
    driveListChanged();
    historyChanged();
    eventLogChanged();
}

MainWindow::~MainWindow() {
    controller_.SetToolWindowFactory(nullptr);
    controllerConnections_.clear();
}

void MainWindow::listen() {
    MainEvents& e = controller_.Events();
    auto& c = controllerConnections_;
    c.push_back(e.titleChanged.connect([this](const std::string& t) { titleChanged(t); }));
    c.push_back(
        e.scanStatusChanged.connect([this](const std::string& t) { scanStatusChanged(t); }));
    c.push_back(e.scanProgressChanged.connect([this](bool visible, int position, int range) {
        scanProgressChanged(visible, position, range);
    }));
    c.push_back(e.driveListChanged.connect([this] { driveListChanged(); }));
    c.push_back(e.historyChanged.connect([this] { historyChanged(); }));
    c.push_back(e.eventLogChanged.connect([this] { eventLogChanged(); }));
    c.push_back(e.indicatorChanged.connect([this](int icon) { indicatorChanged(icon); }));
    c.push_back(e.lineSettingsChanged.connect([this] { lineSettingsChanged(); }));
    c.push_back(e.graphWatchChanged.connect([this](bool active) { graphWatchChanged(active); }));
}

void MainWindow::createActions() {
    auto make = [this](MainCommand command) {
        if (command == kCmdNone || actions_.count(command)) return;
        const MainCommandText* text = FindMainCommand(command);
        const QStringList parts = qtTr(text->menuText).split('\t');
        auto* action = new QAction(CommandIcon(command), parts.front(), this);
        if (parts.size() > 1) action->setShortcut(QKeySequence(parts[1]));
        action->setToolTip(qtTr(text->toolTip));
        action->setStatusTip(qtTr(text->toolTip));
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        actions_[command] = action;
    };
    for (const MainMenu& menu : MainMenuBar())
        for (MainCommand command : menu.commands) make(command);
    for (MainCommand command : MainToolBar()) make(command);
    for (MainCommand command : EventLogToolBar()) make(command);
}

QAction* MainWindow::action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::createMenus() {
    menuBar()->setObjectName(QStringLiteral("Menu Bar"));
    for (const MainMenu& entry : MainMenuBar()) {
        QMenu* menu = menuBar()->addMenu(qtTr(entry.title));
        for (MainCommand command : entry.commands) {
            if (command == kCmdNone)
                menu->addSeparator();
            else
                menu->addAction(action(command));
            if (command == kCmdPortSetup) addLanguageMenu(menu);
        }
    }
}

// Each language by its own name; the check marks the one chosen for the next start, which is
// the one spoken now until the user picks another.
void MainWindow::addLanguageMenu(QMenu* parent) {
    QMenu* menu = parent->addMenu(qtTr(kLanguageMenuText));
    menu->setObjectName(QStringLiteral("Language Menu"));
    auto* group = new QActionGroup(menu);
    for (Language language : {Language::Japanese, Language::English}) {
        QAction* choice = menu->addAction(QString::fromUtf8(LanguageNativeName(language)));
        choice->setCheckable(true);
        choice->setChecked(language == CurrentLanguage());
        group->addAction(choice);
        connect(choice, &QAction::triggered, this,
                [this, language] { ChangeLanguage(language, settings_, prompter_); });
    }
}

void MainWindow::createToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tool Bar 1"));
    bar->setObjectName(QStringLiteral("Tool Bar 1"));
    bar->setIconSize(QSize(24, 24));
    for (MainCommand command : MainToolBar()) {
        if (command == kCmdNone)
            bar->addSeparator();
        else
            bar->addAction(action(command));
    }
}

void MainWindow::createPanes() {
    driveList_ = new DriveListView(controller_, this);
    driveList_->setColumnWidths(LoadDriveListColumnWidths(settings_));
    connect(driveList_, &DriveListView::commandTriggered, this, &MainWindow::runCommand);
    connect(driveList_, &DriveListView::selectionChanged, this, &MainWindow::updateCommandStates);
    faultList_ = new FaultListView(controller_.History(), this);
    faultList_->setColumnWidths(LoadFaultColumnWidths(settings_));
    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    tabs_->addTab(driveList_, qtTr(kDriveListTabText));
    tabs_->addTab(faultList_, qtTr(kHistoryTabText));
    setCentralWidget(tabs_);

    QList<QAction*> logActions;
    for (MainCommand command : EventLogToolBar()) logActions << action(command);
    eventLog_ = new EventLogView(controller_.EventLog().pane(), logActions, this);
    eventDock_ = new QDockWidget(qtTr(kEventLogPaneTitle), this);
    eventDock_->setObjectName(QStringLiteral("Pane %1").arg(kEventLogPaneId));
    // Nothing would bring a closed pane back, so it can move and float but not close.
    eventDock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    eventDock_->setWidget(eventLog_);
    eventLog_->resize(kEventLogPaneWidth, kEventLogPaneHeight);
    addDockWidget(Qt::BottomDockWidgetArea, eventDock_);
    resizeDocks({eventDock_}, {kEventLogPaneHeight}, Qt::Vertical);
}

void MainWindow::restoreLayout() {
    std::vector<std::uint8_t> bytes;
    if (settings_.getBytes(kSettingsSectionMain, kMainPlacementKey, bytes))
        restoreGeometry(toQt(bytes));
    else
        resize(980, 620);
    bytes.clear();
    if (settings_.getBytes(kSettingsSectionMain, kMainPaneLayoutKey, bytes))
        restoreState(toQt(bytes));
}

void MainWindow::saveLayout() {
    settings_.setBytes(kSettingsSectionMain, kMainPaneLayoutKey, fromQt(saveState()));
    SaveDriveListColumnWidths(settings_, driveList_->columnWidths());
    SaveFaultColumnWidths(settings_, faultList_->columnWidths());
}

void MainWindow::start() {
    controller_.Start();
    syncLinkTimer();
    updateCommandStates();
}

void MainWindow::bringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closed_ && !closeAgreed_) {
        // One question for everything the tool windows would lose; they then ask nothing.
        const std::string question = controller_.CloseQuestion();
        if (!question.empty()) {
            event->ignore();
            if (closeAsked_) return;
            closeAsked_ = true;
            QPointer<MainWindow> self(this);
            prompter_.ask(question, kAppTitle, [self](bool close) {
                if (!self) return;
                self->closeAsked_ = false;
                if (!close) return;
                self->closeAgreed_ = true;
                self->controller_.DiscardUnsavedWork();
                self->close();
            });
            return;
        }
    }
    if (!closed_) {
        CloseOpenDialogs(this);
        closed_ = true;
        indicatorTimer_.stop();
        saveLayout();
        controller_.Close();
        settings_.setBytes(kSettingsSectionMain, kMainPlacementKey, fromQt(saveGeometry()));
        linkTimer_.stop();
    }
    event->accept();
}

void MainWindow::updateCommandStates() {
    for (auto& [command, action] : actions_)
        action->setEnabled(controller_.CommandEnabled(command));
}

void MainWindow::syncLinkTimer() {
    if (!controller_.LinkTimerRunning()) {
        linkTimer_.stop();
        return;
    }
    if (!linkTimer_.isActive() || linkTimer_.interval() != controller_.LinkTimerMs())
        linkTimer_.start(controller_.LinkTimerMs());
}

void MainWindow::onLinkTick() {
    // A message box raised from inside a tick (a failed write, a log file that cannot be
    // written) runs its own event loop; the link must not be re-entered from it.
    if (inLinkTick_) return;
    inLinkTick_ = true;
    controller_.OnLinkTick();
    inLinkTick_ = false;
    if (!controller_.LinkTimerRunning()) linkTimer_.stop();
}

void MainWindow::runCommand(int command) {
    if (!controller_.CommandEnabled(command)) return;
    const int station = controller_.DriveList().SelectedStation();
    switch (command) {
        case kCmdConnect:
            connectDrives();
            break;
        case kCmdStopScan:
            controller_.StopScan();
            break;
        case kCmdRefresh:
            controller_.Refresh();
            break;
        case kCmdReconnect:
            controller_.Reconnect(station);
            break;
        case kCmdDisconnect:
            controller_.Disconnect(station);
            break;
        case kCmdInformation:
        case kCmdKeypad:
        case kCmdOnlineEditor:
        case kCmdOfflineEditor:
        case kCmdGraphMonitor:
            controller_.OpenToolWindow(command);
            break;
        case kCmdPortSetup:
            portSetup();
            break;
        case kCmdClearHistory:
            controller_.ClearHistory();
            break;
        case kCmdStartLog:
            controller_.StartEventLog();
            break;
        case kCmdStopLog:
            controller_.StopEventLog();
            break;
        case kCmdLogFilePath:
        case kCmdFaultFilePath:
            changeLogPath(command);
            break;
        case kCmdExit:
            close();
            break;
        default:
            break;
    }
    updateCommandStates();
}

void MainWindow::connectDrives() {
    auto* dialog = new ConnectDialog(controller_.ConnectDialogValues(), prompter_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { controller_.Connect(dialog->choice()); });
    dialog->open();
}

void MainWindow::portSetup() {
    auto* dialog =
        new PortSetupDialog(controller_.PortSetupValues(), controller_.Ports(), prompter_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const PortSetupOutcome outcome = controller_.ApplyPortSetup(dialog->form());
        if (!outcome.accepted) prompter_.error(outcome.message, kAppTitle);
        panes_->setLine(controller_.LineStatus());
        syncLinkTimer();
        updateCommandStates();
    });
    dialog->open();
}

void MainWindow::changeLogPath(int command) {
    const bool eventLog = command == kCmdLogFilePath;
    const LogPathDialog& kind = eventLog ? kLogFilePathDialog : kFaultFilePathDialog;
    const std::string& current =
        eventLog ? controller_.Settings().logFilePath : controller_.Settings().faultFilePath;
    // The overwrite question is the program's own, asked once the name is chosen.
    const FileDialogRequest request{.extension = kind.defaultExtension,
                                    .filter = kind.filter,
                                    .title = kind.title,
                                    .startDir = current,
                                    .save = true};
    OpenFileDialog(this, request, [this, eventLog](const QString& path, int) {
        if (path.isEmpty()) return;
        if (eventLog)
            controller_.ChangeEventLogPath(path.toStdString());
        else
            controller_.ChangeHistoryPath(path.toStdString());
    });
}

void MainWindow::titleChanged(const std::string& title) {
    setWindowTitle(qtText(title));
}

void MainWindow::scanStatusChanged(const std::string& text) {
    panes_->setMessage(qtText(text));
}

void MainWindow::scanProgressChanged(bool visible, int position, int range) {
    panes_->setScanProgress(visible, position, range);
    updateCommandStates();
}

void MainWindow::driveListChanged() {
    driveList_->render();
    updateCommandStates();
}

void MainWindow::historyChanged() {
    faultList_->render();
}

void MainWindow::eventLogChanged() {
    eventLog_->render();
    updateCommandStates();
}

void MainWindow::indicatorChanged(int icon) {
    panes_->setIndicator(icon);
}

void MainWindow::lineSettingsChanged() {
    panes_->setLine(controller_.LineStatus());
    syncLinkTimer();
}

void MainWindow::graphWatchChanged(bool active) {
    panes_->setGraphWatch(active);
    updateCommandStates();
}

}  // namespace korvane
