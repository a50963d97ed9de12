#pragma once
// The main window: menus, tool bar, the drive list and alarm-history tabs, the event-log pane,
// the status bar and the two timers. It only wires: every decision is the controller's.
#include <QMainWindow>
#include <QTimer>
#include <map>
#include <memory>

#include "app/main_controller.h"

class QDockWidget;
class QMenu;
class QTabWidget;

namespace korvane {

class DriveListView;
class EventLogView;
class FaultListView;
class Prompter;
class SettingsStore;
class StatusPanes;
class UiToolWindowFactory;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(MainController& controller, SettingsStore& settings, Prompter& prompter,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Window placement and pane layout as they were at the last close.
    void restoreLayout();
    // After the window is shown: the controller's start and the link timer.
    void start();
    // Another start of the program asked for this window.
    void bringToFront();

    void runCommand(int command);
    QAction* action(int command) const;

    DriveListView* driveList() const { return driveList_; }
    FaultListView* faultList() const { return faultList_; }
    EventLogView* eventLog() const { return eventLog_; }
    StatusPanes* statusPanes() const { return panes_; }
    QTabWidget* tabs() const { return tabs_; }
    const QTimer& linkTimer() const { return linkTimer_; }

    // What the controller tells the window.
    void titleChanged(const std::string& title);
    void scanStatusChanged(const std::string& text);
    void scanProgressChanged(bool visible, int position, int range);
    void driveListChanged();
    void historyChanged();
    void eventLogChanged();
    void indicatorChanged(int icon);
    void lineSettingsChanged();
    void graphWatchChanged(bool active);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void listen();
    void createActions();
    void createMenus();
    void addLanguageMenu(QMenu* parent);
    void createToolBar();
    void createPanes();
    void updateCommandStates();
    void syncLinkTimer();
    void onLinkTick();
    void connectDrives();
    void portSetup();
    void changeLogPath(int command);
    void saveLayout();

    MainController& controller_;
    std::vector<Connection> controllerConnections_;
    SettingsStore& settings_;
    Prompter& prompter_;
    std::map<int, QAction*> actions_;
    DriveListView* driveList_ = nullptr;
    FaultListView* faultList_ = nullptr;
    EventLogView* eventLog_ = nullptr;
    QDockWidget* eventDock_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    StatusPanes* panes_ = nullptr;
    QTimer linkTimer_;
    QTimer indicatorTimer_;
    std::unique_ptr<UiToolWindowFactory> toolWindows_;
    bool closed_ = false;
    bool closeAsked_ = false;   // the question before closing is open
    bool closeAgreed_ = false;  // the user agreed to lose what it named
    bool inLinkTick_ = false;
};

}  // namespace korvane
