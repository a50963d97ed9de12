#pragma once
// Everything the main window does that a user can observe, without a window: start-up and
// close, the drive list, alarm history and event log, the connection commands, the port
// setup, and the TX/RX lamp. The Qt main window renders this object's state and forwards the
// user's commands to it.
#include <memory>
#include <string>
#include <vector>

#include "app/comm_indicator.h"
#include "app/connection_manager.h"
#include "app/drive_list_model.h"
#include "app/main_commands.h"
#include "app/port_setup.h"
#include "comm/drive_link.h"
#include "comm/port_enumeration.h"
#include "common/signal.h"
#include "host/settings.h"
#include "host/tool_frames.h"
#include "host/tool_services.h"
#include "monitor/alarm_history.h"
#include "monitor/event_log.h"
#include "paradb/drive_record.h"

namespace korvane {

class Clock;
class Executor;
class PortErrorGate;
class Prompter;
class SettingsStore;

// What the window is told to redraw.
struct MainEvents {
    Signal<const std::string& /*title*/> titleChanged;
    Signal<const std::string& /*text*/> scanStatusChanged;
    Signal<bool /*visible*/, int /*position*/, int /*range*/> scanProgressChanged;
    Signal<> driveListChanged;
    Signal<> historyChanged;
    Signal<> eventLogChanged;
    Signal<int /*icon*/> indicatorChanged;
    Signal<> lineSettingsChanged;
    Signal<bool /*active*/> graphWatchChanged;
};

struct MainEnvironment {
    Executor& executor;
    SettingsStore& settings;
    Prompter& prompter;
    const Clock& clock;
    PortFactory portFactory;
    AppDirectories dirs;
    PortNameList ports;
};

// Which drive-list context-menu entries are enabled for the selected row.
struct DriveMenuState {
    bool reconnect = false;
    bool disconnect = false;
    bool keypad = false;
    bool onlineEditor = false;
    bool graphMonitor = false;
};

// The status bar's line panes.
struct LineStatusTexts {
    std::string commMode;
    std::string port;
    std::string baudRate;
};

// The connect dialog's values, as stored in the scan settings.
struct ConnectChoice {
    unsigned mode = 0;
    unsigned one = 1;
    unsigned from = 1;
    unsigned to = 255;
    bool quick = false;
};

inline constexpr char kConnectDialogCaption[] = "IDを選択する";
// The last line of the question asked before closing would lose something.
inline constexpr char kCloseAnywayText[] = "終了しますか？";
inline constexpr char kConnectOneIdChoice[] = "1つのID:";
inline constexpr char kConnectRangeChoice[] = "ID－範囲:";
inline constexpr char kConnectAllIdsChoice[] = "全ID";
inline constexpr char kConnectSearchButton[] = "検索";
inline constexpr char kConnectCancelButton[] = "取り消し";
inline constexpr char kConnectQuickScanBox[] = "高速検索";
inline constexpr unsigned kFirstStationId = 1;
inline constexpr unsigned kLastStationId = 255;

// Which ID fields the connect dialog lets the user edit for a scan mode (2 and above: none).
struct ConnectFields {
    bool one = false;
    bool from = false;
    bool to = false;
};
ConnectFields ConnectFieldsFor(unsigned mode);

// The three ID fields as typed, checked when the dialog is closed with "検索". A refused field
// is named by `badField` (0 one, 1 from, 2 to) so the dialog can put the cursor there.
struct ConnectFormCheck {
    bool ok = false;
    ConnectChoice choice;
    int badField = -1;
    std::string message;
};
ConnectFormCheck CheckConnectForm(unsigned mode, const std::string& one, const std::string& from,
                                  const std::string& to);

class MainController : public ConnectionEvents, public ToolHost {
public:
    explicit MainController(MainEnvironment env);
    ~MainController() override;
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    MainEvents& Events() { return events_; }
    // The gate the port's error reports pass through; told when the line works or is re-opened.
    void SetPortErrorGate(PortErrorGate* gate) { portErrors_ = gate; }

    // After the window is shown: event log, alarm history, drive link, "ConIDs".
    void Start();
    // The window closes: settings, "ConIDs", history, event log, tool windows.
    void Close();
    // The question to ask before closing, when closing would stop a recording or lose changes
    // of a tool window; empty when there is nothing to ask.
    std::string CloseQuestion() const;
    // The user agreed to close anyway: the tool windows close without questions of their own.
    void DiscardUnsavedWork() { toolFrames_.discardUnsavedWork(); }

    // Timers: the link's (every LinkTimerMs while LinkTimerRunning: the 30 ms tick, or the
    // short timer of fast pacing) and the lamp's (200 ms).
    void OnLinkTick() { link_.OnTick(); }
    bool LinkTimerRunning() const { return link_.IsTimerRunning(); }
    int LinkTimerMs() const { return link_.TimerMs(); }
    void OnIndicatorTick();

    // Connection commands.
    ConnectChoice ConnectDialogValues() const;
    void Connect(const ConnectChoice& choice);
    void StopScan() { connections_.StopScan(); }
    void Refresh();
    void Reconnect(int station);
    void Disconnect(int station);
    void ScanIds(const std::vector<int>& ids) { connections_.ScanIds(ids); }
    bool CanConnect() const { return !connections_.IsScanning(); }
    bool CanStopScan() const { return connections_.IsScanning(); }
    bool CanRefresh() const { return !driveList_.Rows().empty(); }
    DriveMenuState MenuStateFor(int station) const;
    // Whether a command of the menu bar or a tool bar can be chosen now.
    bool CommandEnabled(int command) const;
    // Commands that open a tool window (information, keypad, editors, graph monitor). A kind
    // the factory does not provide answers with kToolWindowUnavailableText.
    void OpenToolWindow(int command);
    // The UI's window factory; nullptr (the default) makes every tool window unavailable.
    void SetToolWindowFactory(ToolWindowFactory* factory) { factory_ = factory; }
    // The bundle every tool window's core class receives.
    ToolServices Services();

    // The drive list's header click and row selection.
    void SortDriveList(int column);
    void SelectDriveRow(int row) { driveList_.SetSelectedRow(row); }
    // The selected drive, when it is connected and supported (information, keypad, editor).
    const DriveRecord* SelectedConnectedDrive() const;

    // Alarm history and event log commands.
    void ClearHistory();
    void StartEventLog();
    void StopEventLog();
    void ChangeEventLogPath(const std::string& chosenPath);
    void ChangeHistoryPath(const std::string& chosenPath);

    // Port setup: the dialog's form, and applying it (re-opens the link). A refused form
    // returns its message and changes nothing.
    PortSetupForm PortSetupValues() const;
    [[nodiscard]] PortSetupOutcome ApplyPortSetup(const PortSetupForm& form);

    void SetGraphWatchActive(bool active);
    bool GraphWatchActive() const { return graphWatch_; }
    void DeviceNameChanged(int station);

    const AppSettings& Settings() const { return settings_; }
    AppSettings& MutableSettings() { return settings_; }
    const DriveRecords& Records() const { return records_; }
    DriveListModel& DriveList() { return driveList_; }
    const DriveListModel& DriveList() const { return driveList_; }
    const CHistory& History() const { return history_; }
    const CEventLog& EventLog() const { return eventLog_; }
    ToolFrameRegistry& ToolFrames() { return toolFrames_; }
    CDriveLink& Link() { return link_; }
    const PortNameList& Ports() const { return env_.ports; }
    const AppDirectories& Dirs() const { return env_.dirs; }
    std::string WindowTitle() const { return connections_.WindowTitle(); }
    std::string ScanStatusText() const { return connections_.ScanStatusText(); }
    int IndicatorIcon() const { return indicator_.Icon(); }
    LineStatusTexts LineStatus() const;

    // ToolHost
    bool graphWatchActive() const override { return graphWatch_; }
    void setGraphWatchActive(bool active) override { SetGraphWatchActive(active); }
    void deviceNameChanged(int station) override { DeviceNameChanged(station); }
    void openToolWindow(int kind, int stationKey) override;
    int freeOfflineKey() const override;
    void toolFrameClosing(const ToolFrame* frame) override { toolFrames_.frameClosing(frame); }

    // ConnectionEvents
    void driveRowChanged(int station) override;
    void driveValuesChanged(int station) override;
    void titleChanged(const std::string& title) override;
    void scanStatusChanged(const std::string& text) override;
    void scanProgress(bool visible, int position, int range) override;
    void driveConnected(int station, const DriveRecord& record) override;
    void driveDisconnected(int station, const DriveRecord& record) override;
    void faultRecorded(const DriveRecord& record) override;
    void eventLine(int station, const std::string& text) override;

private:
    void storeSettings();
    void storeConnectedStations();
    [[nodiscard]] bool openLink();
    void openInformationSheet(int station);
    void removeUnconnectedRows();
    bool factoryProvides(int kind);

    MainEnvironment env_;
    AppSettings settings_;
    DriveRecords records_;
    CDriveLink link_;
    ConnectionManager connections_;
    CHistory history_;
    DiskLogFileSystem logFiles_;
    CEventLog eventLog_;
    ToolFrameRegistry toolFrames_;
    DriveListModel driveList_;
    CommIndicator indicator_;
    ToolWindowFactory* factory_ = nullptr;
    PortErrorGate* portErrors_ = nullptr;
    MainEvents events_;
    bool graphWatch_ = false;
    bool closed_ = false;
    std::shared_ptr<char> alive_ = std::make_shared<char>(0);
};

}  // namespace korvane
