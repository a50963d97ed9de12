#include "monitor/info_sheet.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "common/format.h"
#include "common/text.h"
#include "common/translation.h"
#include "host/shared_texts.h"
#include "host/tool_services.h"
#include "monitor/device_name.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/model_tables.h"

namespace korvane {
namespace {

constexpr int kJuniperTwoTripWordsAfter = 20;  // version words above this report 0x001D too

bool bitSet(int word, int bit) {
    return bit >= 0 && bit < 16 && ((word >> bit) & 1) != 0;
}

// The list of that kind, cut to the boxes the page has.
std::vector<MonitorItem> boxItems(const DriveRecord& drive, int kind, std::size_t boxes) {
    std::vector<MonitorItem> items;
    if (!drive.isConnected()) return items;
    BuildMonitorList(drive.seriesCode, drive.version, kind, items);
    if (items.size() > boxes) items.resize(boxes);
    return items;
}

std::vector<InfoBox> boxesFor(const std::vector<MonitorItem>& items, bool tripCaptions) {
    std::vector<InfoBox> boxes;
    for (const MonitorItem& item : items)
        boxes.push_back({tripCaptions ? TripCaption(item.name) : item.name, false, item.address});
    return boxes;
}

void tickBoxes(const std::vector<MonitorItem>& items, std::vector<InfoBox>& boxes, int address,
               int word) {
    for (std::size_t i = 0; i < items.size() && i < boxes.size(); ++i)
        if (items[i].address == address) boxes[i].on = bitSet(word, items[i].bit);
}

}  // namespace

std::string InfoSheetTitle(const DriveRecord& drive, const std::string& deviceName,
                           bool graphWatch) {
    const std::string name = TrimWhitespace(deviceName);
    const std::string series = FormatDriveValue(drive, 0x0000, drive.seriesCode);
    const std::string capacity = FormatDriveValue(drive, 0x0001, drive.capacityCode);
    const std::string version = FormatDriveValue(drive, 0x0003, drive.version);
    std::string title = strprintf("%d : %s (%s) Ver%s", drive.station, series.c_str(),
                                  capacity.c_str(), version.c_str());
    if (!name.empty()) title += strprintf(" - %s", name.c_str());
    if (graphWatch) title = strprintf("%s - %s", Tr(kGraphWatchPaneText), title.c_str());
    return title;
}

std::string InfoFailureTitle(int station, int failingCode) {
    if (failingCode == kErrTimeout) return strprintf(Tr("%d番号インバータが切断されます"), station);
    return strprintf("*** %s ***", ErrorText(failingCode));
}

std::string TripCaption(const std::string& name) {
    const auto open = name.find('(');
    if (open == std::string::npos || open == 0) return name;
    std::string caption = name.substr(0, open);
    while (!caption.empty() && (caption.back() == ' ' || caption.back() == '\t'))
        caption.pop_back();
    return caption;
}

std::vector<InfoBox> InfoPageBoxes(const DriveRecord& drive, int kind) {
    const std::size_t boxes = kind == kMonitorListInputs    ? kInfoInputBoxes
                              : kind == kMonitorListOutputs ? kInfoOutputBoxes
                                                            : kInfoTripBoxes;
    return boxesFor(boxItems(drive, kind, boxes), kind == kMonitorListTrips);
}

std::vector<int> RunPageAddresses(int seriesCode) {
    if (seriesCode == kSeriesFir)
        return {0x0502, 0x0503, 0x0504, 0x0009, 0x0020, 0x000D, 0x000E, 0x000C};
    if (seriesCode == kSeriesLarch) return {0x0005, 0x0007, 0x0008, 0x0009, 0x000A, 0x000E, 0x000C};
    return {0x0005, 0x0007, 0x0008, 0x0009, 0x000A, 0x000D, 0x000E, 0x000C};
}

std::vector<int> TerminalPageAddresses() {
    return {0x0010, 0x0011};
}

std::vector<int> FaultPageAddresses(int seriesCode, int version) {
    if (seriesCode == kSeriesKapok) return {0x0330, 0x0331, 0x0332, 0x0333};
    if (seriesCode == kSeriesJuniper && version > kJuniperTwoTripWordsAfter)
        return {0x000F, 0x001D};
    return {0x000F};
}

// ---------------------------------------------------------------------------------------------

InfoPage::InfoPage(InfoSheet& sheet) : sheet_(sheet), subscription_(sheet.services().link, *this) {}

InfoPage::~InfoPage() = default;

const DriveRecord& InfoPage::drive() const {
    return sheet_.drive();
}

bool InfoPage::registered() const {
    return subscription_.isRegistered(sheet_.station());
}

void InfoPage::initialise() {
    created_ = true;
    subscription_.withdrawAll();
    rebuild();
    activate();
}

void InfoPage::setControls() {
    controlsEnabled_ = drive().isConnected() && !sheet_.graphWatchActive();
}

void InfoPage::activate() {
    if (!drive().isConnected()) {
        controlsEnabled_ = false;
        sheet_.notifyChanged();
        return;
    }
    sheet_.refreshTitle();
    setControls();
    // After a final failure the link has forgotten the station and so has the subscription:
    // this registers again.
    if (controlsEnabled_ && !registered()) subscription_.add(sheet_.station(), addresses());
    sheet_.notifyChanged();
}

void InfoPage::deactivate() {
    sheet_.refreshTitle();
    setControls();
    subscription_.withdrawAll();
    sheet_.notifyChanged();
}

void InfoPage::onGraphWatchChanged(bool active) {
    if (!created_ || !drive().isConnected()) return;
    if (!active) {
        activate();
    } else if (registered()) {
        deactivate();
    } else {
        sheet_.refreshTitle();
        setControls();
        sheet_.notifyChanged();
    }
}

void InfoPage::onDisconnected(int station) {
    subscription_.withdraw(station);
    controlsEnabled_ = false;
}

void InfoPage::shutDown() {
    subscription_.withdrawAll();
    created_ = false;
    controlsEnabled_ = false;
}

void InfoPage::OnDriveMonitor(int station, const DriveReply& reply) {
    if (station != sheet_.station()) return;
    if (reply.errorCode == kErrRetriesExhausted) {
        subscription_.linkDropped(station);
        sheet_.setFailureTitle(reply.failingCode);
        controlsEnabled_ = false;
        clearValues();
        sheet_.notifyChanged();
        return;
    }
    if (reply.errorCode != kErrNone) {
        // A repeat notice: what it asked for is not live any more.
        sheet_.notifyChanged();
        return;
    }
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int i = 0; i < words; ++i) {
        const auto k = static_cast<std::size_t>(i);
        takeWord(reply.addresses[k] & 0xFFFF, reply.values[k] & 0xFFFF);
    }
    if (words > 0) sheet_.notifyChanged();
}

void InfoPage::OnMonitorFreshness(int station) {
    if (station == sheet_.station()) sheet_.notifyChanged();
}

bool InfoPage::live(int address) const {
    return registered() && !sheet_.graphWatchActive() &&
           sheet_.services().link.IsMonitorValueFresh(sheet_.station(), address);
}

// ---------------------------------------------------------------------------------------------

std::string RunStatusPage::commandLabel() const {
    return drive().seriesCode == kSeriesFir ? "Speed Command:" : Tr("Freq. コマンド:");
}

std::string RunStatusPage::outputLabel() const {
    return drive().seriesCode == kSeriesFir ? "Output Speed:" : Tr("出力周波数:");
}

std::vector<int> RunStatusPage::addresses() const {
    return RunPageAddresses(drive().seriesCode);
}

void RunStatusPage::rebuild() {
    nameField_ = ReadDeviceName(sheet_.services().settings, sheet_.station());
}

void RunStatusPage::takeWord(int address, int value) {
    const DriveRecord& d = drive();
    auto set = [&](Value which, int formatAddress) {
        texts_[static_cast<std::size_t>(which)] = FormatDriveValue(d, formatAddress, value);
    };
    switch (address) {
        case 0x0005:
        case 0x0502:
            set(kFrequencyCommand, address);
            break;
        case 0x0007:
        case 0x0503:
            set(kAccelerationTime, 0x0007);
            break;
        case 0x0008:
        case 0x0504:
            set(kDecelerationTime, 0x0008);
            break;
        // The record keeps these (the main window stores them from the same result).
        case 0x0009:
            set(kOutputCurrent, address);
            break;
        case 0x000A:
        case 0x0020:
            set(kOutputFrequency, address);
            break;
        case 0x000E:
            set(kRunStatus, address);
            break;
        case 0x000C:
            set(kDcLinkVoltage, address);
            break;
        case 0x000D:
            set(kOutputPower, address);
            break;
        default:
            break;
    }
}

bool RunStatusPage::textLive(int value) const {
    const bool fir = drive().seriesCode == kSeriesFir;
    switch (value) {
        case kFrequencyCommand:
            return live(fir ? 0x0502 : 0x0005);
        case kAccelerationTime:
            return live(fir ? 0x0503 : 0x0007);
        case kDecelerationTime:
            return live(fir ? 0x0504 : 0x0008);
        case kOutputFrequency:
            return live(fir ? 0x0020 : 0x000A);
        case kOutputCurrent:
            return live(0x0009);
        case kOutputPower:
            return live(0x000D);
        case kRunStatus:
            return live(0x000E);
        case kDcLinkVoltage:
            return live(0x000C);
        default:
            return false;
    }
}

void RunStatusPage::clearValues() {
    for (std::string& t : texts_) t.clear();
}

// ---------------------------------------------------------------------------------------------

std::vector<int> TerminalPage::addresses() const {
    return TerminalPageAddresses();
}

void TerminalPage::rebuild() {
    inputs_ = boxItems(drive(), kMonitorListInputs, kInfoInputBoxes);
    outputs_ = boxItems(drive(), kMonitorListOutputs, kInfoOutputBoxes);
    inputBoxes_ = boxesFor(inputs_, false);
    outputBoxes_ = boxesFor(outputs_, false);
}

void TerminalPage::takeWord(int address, int value) {
    if (address == 0x0010) tickBoxes(inputs_, inputBoxes_, address, value);
    if (address == 0x0011) tickBoxes(outputs_, outputBoxes_, address, value);
}

// ---------------------------------------------------------------------------------------------

std::vector<int> FaultPage::addresses() const {
    return FaultPageAddresses(drive().seriesCode, drive().version);
}

void FaultPage::rebuild() {
    trips_ = boxItems(drive(), kMonitorListTrips, kInfoTripBoxes);
    tripBoxes_ = boxesFor(trips_, true);
}

// Each box follows the word its trip is reported in, so a word only ever ticks its own boxes.
void FaultPage::takeWord(int address, int value) {
    tickBoxes(trips_, tripBoxes_, address, value);
}

// ---------------------------------------------------------------------------------------------

InfoSheet::InfoSheet(ToolServices& services, int station)
    : services_(services), station_(station), run_(*this), terminals_(*this), faults_(*this) {
    refreshTitle();
    run_.initialise();
}

InfoSheet::~InfoSheet() = default;

const DriveRecord& InfoSheet::drive() const {
    return services_.records[station_];
}

InfoPage& InfoSheet::page(int index) {
    switch (index) {
        case kTerminalPage:
            return terminals_;
        case kFaultPage:
            return faults_;
        default:
            return run_;
    }
}

void InfoSheet::close() {
    for (int i = 0; i < kPageCount; ++i) page(i).shutDown();
}

void InfoSheet::showPage(int index) {
    if (index < 0 || index >= kPageCount || index == current_) return;
    page(current_).deactivate();
    current_ = index;
    InfoPage& shown = page(index);
    if (shown.created())
        shown.activate();
    else
        shown.initialise();
}

void InfoSheet::retarget(int station) {
    if (station < 1 || station > 255) return;
    for (int i = 0; i < kPageCount; ++i)
        if (page(i).created()) page(i).deactivate();
    station_ = station;
    refreshTitle();
    for (int i = 0; i < kPageCount; ++i)
        if (page(i).created()) page(i).initialise();
    notifyChanged();
}

void InfoSheet::onDriveConnected(int station) {
    if (station != station_) return;
    InfoPage& shown = page(current_);
    // The drive may be another one at the same station: build the page again.
    shown.initialise();
}

void InfoSheet::onDriveDisconnected(int station) {
    if (station != station_) return;
    for (int i = 0; i < kPageCount; ++i) page(i).onDisconnected(station);
    title_ = InfoFailureTitle(station, kErrTimeout);
    notifyChanged();
}

void InfoSheet::onGraphWatchChanged(bool active) {
    for (int i = 0; i < kPageCount; ++i) page(i).onGraphWatchChanged(active);
}

void InfoSheet::onNameChanged(int station) {
    if (station != station_ || !drive().isConnected()) return;
    refreshTitle();
    notifyChanged();
}

bool InfoSheet::applyDeviceName(const std::string& text) {
    if (!StoreDeviceName(services_.settings, station_, text)) return false;
    refreshTitle();
    services_.host.deviceNameChanged(station_);
    notifyChanged();
    return true;
}

bool InfoSheet::graphWatchActive() const {
    return services_.host.graphWatchActive();
}

// A drive that went away keeps the title that said so: its zeroed record names nothing.
void InfoSheet::refreshTitle() {
    if (!drive().isConnected()) return;
    title_ =
        InfoSheetTitle(drive(), ReadDeviceName(services_.settings, station_), graphWatchActive());
}

void InfoSheet::setFailureTitle(int failingCode) {
    title_ = InfoFailureTitle(station_, failingCode);
}

void InfoSheet::notifyChanged() {
    changed();
}

}  // namespace korvane
