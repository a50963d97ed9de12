#include "app/main_controller.h"

#include <algorithm>

#include "app/port_error_gate.h"
#include "common/prompter.h"
#include "common/translation.h"
#include "monitor/device_name.h"
#include "paradb/model_tables.h"

namespace korvane {

namespace {
constexpr int kLinkTickMs = 30;

ConnectionConfig MakeConnectionConfig(const AppDirectories& dirs) {
    ConnectionConfig config;
    config.dataDir = dirs.data;
    return config;
}
}  // namespace

ConnectFields ConnectFieldsFor(unsigned mode) {
    return {mode == 0, mode == 1, mode == 1};
}

ConnectFormCheck CheckConnectForm(unsigned mode, const std::string& one, const std::string& from,
                                  const std::string& to) {
    ConnectFormCheck result;
    result.choice.mode = std::min(mode, 2u);
    const std::string* texts[] = {&one, &from, &to};
    unsigned* values[] = {&result.choice.one, &result.choice.from, &result.choice.to};
    for (int i = 0; i < 3; ++i) {
        NumberCheck check = CheckNumberText(*texts[i], kFirstStationId, kLastStationId);
        if (!check.ok) {
            result.badField = i;
            result.message = check.message;
            return result;
        }
        *values[i] = check.value;
    }
    result.ok = true;
    return result;
}

MainController::MainController(MainEnvironment env)
    : env_(std::move(env)),
      link_(env_.executor, env_.portFactory),
      connections_(link_, records_, *this, MakeConnectionConfig(env_.dirs)),
      history_(env_.clock),
      eventLog_(env_.clock, logFiles_),
      toolFrames_(env_.settings, env_.executor),
      driveList_([this](int station) { return settings_.deviceName(station); }) {
    settings_ = LoadSettings(env_.settings, env_.ports, env_.dirs);
    connections_.SetRetryLimit(static_cast<int>(settings_.retryCount));
}

MainController::~MainController() = default;

void MainController::Start() {
    // Read before anything stores the settings, which writes the stations connected now: none.
    const auto ids = ReadConnectedIds(env_.settings);
    if (settings_.logEnable) StartEventLog();
    history_.loadAtStartup(settings_.faultFilePath, env_.prompter, kAppTitle);
    events_.historyChanged();
    if (!openLink()) env_.prompter.error(PortOpenFailedText(settings_.port), kAppTitle);
    if (ids) connections_.ScanIds(*ids);
}

// Written as soon as they change, not only at a clean exit: a program that is killed keeps them.
void MainController::storeSettings() {
    SaveSettings(settings_, ConnectedStationIds(records_), env_.settings);
}

// The stations to reconnect at the next start follow every connect and disconnect; once closed,
// the drives that go as the program ends must not empty the list just written.
void MainController::storeConnectedStations() {
    if (!closed_) storeSettings();
}

std::string MainController::CloseQuestion() const {
    std::string text;
    for (const std::string& line : toolFrames_.unsavedWork()) text += line + "\n";
    return text.empty() ? text : text + Tr(kCloseAnywayText);
}

void MainController::Close() {
    storeSettings();
    closed_ = true;
    toolFrames_.closeAll();
    (void)history_.save();  // silent at close, as a failed write keeps the previous file
    eventLog_.close();
}

bool MainController::openLink() {
    std::weak_ptr<char> alive = alive_;
    auto activity = [this, alive](int a) {
        if (alive.expired()) return;
        indicator_.OnActivity(a);
        if (a == kActivityGoodReply && portErrors_) portErrors_->lineWorked();
    };
    if (portErrors_) portErrors_->reopening();
    link_.SetPacing(settings_.fastPacing ? Pacing::kFast : Pacing::kTick);
    const int result = link_.Open(activity, static_cast<int>(settings_.commMode),
                                  settings_.portSettings(), static_cast<int>(settings_.timeOut),
                                  kLinkTickMs, static_cast<int>(settings_.retryCount));
    connections_.SetRetryLimit(static_cast<int>(settings_.retryCount));
    events_.lineSettingsChanged();
    if (result == kLinkOpenOk) return true;
    // No line, no drives: the link runs on and its time-outs would leave the rows frozen.
    connections_.RemoveAllDrives();
    return false;
}

void MainController::OnIndicatorTick() {
    if (indicator_.OnTick()) events_.indicatorChanged(indicator_.Icon());
}

ConnectChoice MainController::ConnectDialogValues() const {
    auto clampId = [](unsigned id) { return id == 0 ? 1u : id > 255 ? 255u : id; };
    ConnectChoice c{settings_.scanMode, clampId(settings_.scanIdOne), clampId(settings_.scanIdFrom),
                    clampId(settings_.scanIdTo), settings_.scanQuick};
    if (c.from > c.to) c.from = c.to;
    return c;
}

void MainController::removeUnconnectedRows() {
    // An unsupported drive's record stays "connected" while its row is listed; once the row is
    // gone the record is reset too, or the next scan would skip the drive for good.
    std::vector<int> unsupported;
    for (int station : driveList_.ListedStations()) {
        if (records_[station].connected && !records_[station].supported)
            unsupported.push_back(station);
    }
    driveList_.RemoveUnconnectedRows(records_);
    for (int station : unsupported) connections_.RemoveDrive(station);
    events_.driveListChanged();
}

void MainController::Connect(const ConnectChoice& choice) {
    removeUnconnectedRows();
    settings_.scanMode = choice.mode;
    settings_.scanIdOne = choice.one;
    settings_.scanIdFrom = choice.from;
    settings_.scanIdTo = choice.to;
    settings_.scanQuick = choice.quick;
    storeSettings();
    connections_.ScanIds(ScanModeIds(static_cast<int>(choice.mode), static_cast<int>(choice.one),
                                     static_cast<int>(choice.from), static_cast<int>(choice.to)),
                         choice.quick);
}

void MainController::Refresh() {
    removeUnconnectedRows();
    connections_.ScanIds(driveList_.ListedStations());
}

void MainController::Reconnect(int station) {
    connections_.ScanIds({station});
}

void MainController::Disconnect(int station) {
    connections_.RemoveDrive(station);
}

DriveMenuState MainController::MenuStateFor(int station) const {
    DriveMenuState m;
    if (station < 1 || station > 255) return m;
    const bool usable = records_[station].isConnected() && !graphWatch_;
    m.reconnect = true;
    m.graphMonitor = true;
    m.disconnect = m.keypad = m.onlineEditor = usable;
    return m;
}

bool MainController::CommandEnabled(int command) const {
    const DriveMenuState selected = MenuStateFor(driveList_.SelectedStation());
    switch (command) {
        case kCmdConnect:
            return CanConnect();
        case kCmdStopScan:
            return CanStopScan();
        case kCmdRefresh:
            return CanRefresh();
        case kCmdReconnect:
            return selected.reconnect;
        case kCmdDisconnect:
            return selected.disconnect;
        case kCmdInformation:
            return SelectedConnectedDrive() != nullptr;
        case kCmdKeypad:
            return selected.keypad;
        case kCmdOnlineEditor:
            return selected.onlineEditor;
        case kCmdOfflineEditor:
            return freeOfflineKey() >= 0;
        case kCmdStartLog:
            return !eventLog_.isLogging();
        case kCmdStopLog:
            return eventLog_.isLogging();
        case kCmdNone:
            return false;
        default:
            return FindMainCommand(command) != nullptr;
    }
}

void MainController::OpenToolWindow(int command) {
    if (!CommandEnabled(command)) return;
    const int station = driveList_.SelectedStation();
    switch (command) {
        case kCmdInformation:
            openInformationSheet(station);
            return;
        case kCmdKeypad:
            openToolWindow(kKindKeypad, station);
            return;
        case kCmdOnlineEditor:
            openToolWindow(kKindParaEditor, station);
            return;
        case kCmdOfflineEditor:
            openToolWindow(kKindParaEditor, freeOfflineKey());
            return;
        case kCmdGraphMonitor:
            openToolWindow(kKindGraphMonitor, kGraphMonitorKey);
            return;
        default:
            return;
    }
}

bool MainController::factoryProvides(int kind) {
    if (factory_ && factory_->provides(kind)) return true;
    env_.prompter.info(Tr(kToolWindowUnavailableText), kAppTitle);
    return false;
}

void MainController::openToolWindow(int kind, int stationKey) {
    if (stationKey < 0 || stationKey >= kDriveRecordCount) return;
    if (ToolFrame* open = toolFrames_.find(kind, stationKey)) {
        open->activate();
        return;
    }
    if (!factoryProvides(kind)) return;
    // A new offline editor starts from a clean record, whatever an earlier one left in it (a
    // report opened for an editor shares the editor's record and key).
    if (kind == kKindParaEditor && stationKey >= kFirstOfflineKey) records_[stationKey].reset();
    toolFrames_.openOrActivate(kind, stationKey,
                               [&] { return factory_->create(kind, stationKey); });
}

void MainController::openInformationSheet(int station) {
    if (ToolFrame* sheet = toolFrames_.find(kKindInformation, kInformationKey)) {
        sheet->retarget(station);
        sheet->activate();
        return;
    }
    if (!factoryProvides(kKindInformation)) return;
    toolFrames_.openOrActivate(kKindInformation, kInformationKey,
                               [&] { return factory_->create(kKindInformation, station); });
}

int MainController::freeOfflineKey() const {
    for (int key = kFirstOfflineKey; key < kDriveRecordCount; ++key) {
        if (!toolFrames_.find(kKindParaEditor, key)) return key;
    }
    return -1;
}

ToolServices MainController::Services() {
    return ToolServices{link_,      records_,      env_.settings, env_.prompter,
                        env_.clock, env_.executor, *this,         env_.dirs};
}

void MainController::SortDriveList(int column) {
    driveList_.SortByColumn(column);
    events_.driveListChanged();
}

LineStatusTexts MainController::LineStatus() const {
    return {kProtocolModeChoices[std::min(settings_.commMode, 1u)], settings_.port,
            std::to_string(settings_.baudRate)};
}

const DriveRecord* MainController::SelectedConnectedDrive() const {
    const int station = driveList_.SelectedStation();
    if (station < 1 || station > 255 || !records_[station].isConnected()) return nullptr;
    return &records_[station];
}

void MainController::ClearHistory() {
    history_.askAndClear(env_.prompter, kAppTitle, [this] {
        (void)history_.save();
        events_.historyChanged();
    });
}

void MainController::StartEventLog() {
    if (!eventLog_.start(settings_.logFilePath)) {
        env_.prompter.error(eventLog_.statusText(), kAppTitle);
        return;
    }
    // Started at start-up it was already on: nothing to store, and storing now would record
    // that no station is connected before the reconnect has run.
    if (settings_.logEnable == 1) return;
    settings_.logEnable = 1;
    storeSettings();
}

void MainController::StopEventLog() {
    eventLog_.stop();
    settings_.logEnable = 0;
    storeSettings();
}

void MainController::ChangeEventLogPath(const std::string& chosenPath) {
    eventLog_.changeFile(settings_.logFilePath, chosenPath, env_.prompter, kAppTitle,
                         [this, chosenPath](CEventLog::ChangeResult result) {
                             if (result != CEventLog::ChangeResult::kChanged) return;
                             settings_.logFilePath = chosenPath;
                             storeSettings();
                         });
}

void MainController::ChangeHistoryPath(const std::string& chosenPath) {
    history_.changeFile(chosenPath, env_.prompter, kAppTitle,
                        [this, chosenPath](CHistory::ChangeResult result) {
                            if (result != CHistory::ChangeResult::kChanged) return;
                            settings_.faultFilePath = chosenPath;
                            storeSettings();
                        });
}

PortSetupForm MainController::PortSetupValues() const {
    return MakePortSetupForm(settings_, env_.ports);
}

PortSetupOutcome MainController::ApplyPortSetup(const PortSetupForm& form) {
    PortSetupOutcome outcome = ApplyPortSetupForm(form, settings_);
    if (!outcome.accepted) return outcome;
    storeSettings();
    if (!openLink()) env_.prompter.error(PortOpenFailedText(settings_.port), kAppTitle);
    return outcome;
}

void MainController::SetGraphWatchActive(bool active) {
    if (active == graphWatch_) return;
    graphWatch_ = active;
    link_.SetGraphWatchActive(active);
    connections_.SetGraphWatchMode(active);
    DriveEvent event(DriveEventKind::kGraphWatchMode);
    event.graphWatchActive = active;
    toolFrames_.broadcast(event);
    events_.graphWatchChanged(active);
}

void MainController::DeviceNameChanged(int station) {
    // The sheet wrote the store; the table kept here is what close writes back, so it must follow.
    settings_.setDeviceName(station, ReadDeviceName(env_.settings, station));
    if (driveList_.UpdateName(station)) events_.driveListChanged();
    toolFrames_.broadcast(DriveEvent(DriveEventKind::kNameChanged, station));
}

void MainController::driveRowChanged(int station) {
    driveList_.UpdateRow(records_[station]);
    events_.driveListChanged();
}

void MainController::driveValuesChanged(int station) {
    if (driveList_.UpdateValues(records_[station])) events_.driveListChanged();
}

void MainController::titleChanged(const std::string& title) {
    events_.titleChanged(title);
}

void MainController::scanStatusChanged(const std::string& text) {
    events_.scanStatusChanged(text);
}

void MainController::scanProgress(bool visible, int position, int range) {
    events_.scanProgressChanged(visible, position, range);
}

void MainController::driveConnected(int station, const DriveRecord& record) {
    storeConnectedStations();
    DriveEvent event(DriveEventKind::kConnected, station);
    event.seriesCode = record.seriesCode;
    event.version = record.version;
    event.driveData = record.driveData;
    toolFrames_.broadcast(event);
}

void MainController::driveDisconnected(int station, const DriveRecord& /*record*/) {
    storeConnectedStations();
    toolFrames_.broadcast(DriveEvent(DriveEventKind::kDisconnected, station));
}

void MainController::faultRecorded(const DriveRecord& record) {
    history_.add(record, settings_.deviceName(record.station));
    // At once: a crash must not lose the trips recorded since the start.
    (void)history_.save();
    events_.historyChanged();
}

void MainController::eventLine(int station, const std::string& text) {
    const DriveRecord& record = records_[station];
    if (!eventLog_.append(station, SeriesName(record.seriesCode), settings_.deviceName(station),
                          text)) {
        env_.prompter.error(eventLog_.statusText(), kAppTitle);
    }
    events_.eventLogChanged();
}

}  // namespace korvane
