#include "monitor/keypad_model.h"

#include <algorithm>
#include <cmath>

#include "comm/drive_link.h"
#include "comm/drive_reply.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "host/tool_services.h"
#include "monitor/device_name.h"
#include "monitor/keypad_value.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"

namespace korvane {
namespace {

constexpr int kLampBlinkBits = kStatusFault | kStatusAccelerating | kStatusDecelerating;

std::string slotKey(int station, int slot) {
    return strprintf("Mon Addr %d-%d", station, slot);
}

std::string failureText(int code) {
    return strprintf("*** %s ***", ErrorText(code));
}

}  // namespace

int StopKeyValue(int statusWord) {
    return (statusWord & kStatusFault) ? kRunCommandReset : kRunCommandStop;
}

int DefaultSlotAddress(int seriesCode, int slot) {
    if (seriesCode == kSeriesFir) return slot == 0 ? 1282 : 34;
    return slot == 0 ? 5 : 10;
}

KeypadLamps LampsFor(int statusWord, bool blinkPhase) {
    const bool lit = (statusWord & kLampBlinkBits) ? blinkPhase : true;
    KeypadLamps lamps;
    if (statusWord & kStatusStopped) {
        lamps.forward = lamps.reverse = (statusWord & kStatusFault) ? lit : false;
    } else {
        lamps.forward = (statusWord & kStatusForward) ? lit : false;
        lamps.reverse = (statusWord & kStatusReverse) ? lit : false;
    }
    lamps.fault = (statusWord & kStatusFault) != 0;
    return lamps;
}

// ---------------------------------------------------------------------------------------------

KeypadEditor::KeypadEditor(CDriveLink& link, const DriveRecord& drive, const MonitorItem& item)
    : link_(link),
      station_(drive.station),
      seriesCode_(drive.seriesCode),
      timeScale_(drive.timeScale),
      item_(item),
      divisor_(KeypadDivisor(item, drive.seriesCode, drive.timeScale)),
      decimals_(DecimalsForDivisor(divisor_)),
      minimum_(static_cast<double>(item.minimum) / divisor_),
      maximum_(static_cast<double>(item.maximum) / divisor_) {
    read();
}

std::string KeypadEditor::caption() const {
    return strprintf(Tr("パラメータを編集 [%d:%s]"), station_, SeriesName(seriesCode_).c_str());
}

void KeypadEditor::read() {
    if (pending_) return;
    pending_ = true;
    pendingCommand_ = 'R';
    link_.QueueRead(station_, item_.address, this);
    changed();
}

void KeypadEditor::write(double entry) {
    if (pending_) return;
    if (!KeypadSigned(item_, seriesCode_)) entry = std::fabs(entry);
    // The range is checked on the word that would be written, so a value that rounds into the
    // range is taken and one that rounds out of it is not.
    const double scaled = std::floor(entry * divisor_ + 0.5 + 1e-9);
    if (!std::isfinite(entry) || scaled < item_.minimum || scaled > item_.maximum) {
        status_ = failureText(kErrDataRange);
        read();
        return;
    }
    // Assigned as a count and a character: GCC 12 at -O3 sees a one-byte literal copied into
    // the string and reports a -Wrestrict overlap that cannot happen.
    status_.assign(1, ' ');
    pending_ = true;
    pendingCommand_ = 'W';
    pendingRaw_ = KeypadRawValue(entry, divisor_) & 0xFFFF;
    link_.QueueWrite(station_, item_.address, pendingRaw_, this);
    changed();
}

void KeypadEditor::OnDriveReply(int station, const DriveReply& reply) {
    if (station != station_ || !IsFinalReply(reply)) return;
    const char command = pendingCommand_;
    pending_ = false;
    if (reply.errorCode == kErrNone) {
        if (reply.command == 'R' && reply.addresses[0] == item_.address) {
            boxValue_ = KeypadValue(item_, reply.values[0], seriesCode_, timeScale_);
            boxEnabled_ = true;
        }
        // The drive holds what was written now: the box and the displays show it, not the word
        // read before the write.
        if (reply.command == 'W' && reply.addresses[0] == item_.address) {
            boxValue_ = KeypadValue(item_, pendingRaw_, seriesCode_, timeScale_);
            boxEnabled_ = true;
            written(item_.address, pendingRaw_);
        }
        changed();
        return;
    }
    status_ = failureText(FailureCode(reply));
    if (reply.errorCode == kErrRetriesExhausted && command == 'W') {
        read();
        return;
    }
    boxValue_.reset();
    boxEnabled_ = false;
    changed();
}

// ---------------------------------------------------------------------------------------------

KeypadModel::KeypadModel(ToolServices& services, int station)
    : services_(services),
      station_(station),
      seriesCode_(services.records[station].seriesCode),
      subscription_(services.link, *this) {
    loadSlots();
    if (graphWatch()) {
        controlsEnabled_ = false;
        return;
    }
    registerSlots();
    timerRunning_ = true;
}

KeypadModel::~KeypadModel() {
    close();
}

void KeypadModel::close() {
    if (closed_) return;
    closed_ = true;
    closeEditor();
    timerRunning_ = false;
    withdraw();
    for (int i = 0; i < kKeypadSlots; ++i)
        services_.settings.setInt(kKeypadSettingsSection, slotKey(station_, i),
                                  slots_[static_cast<std::size_t>(i)].address);
    items_.clear();
}

const DriveRecord& KeypadModel::drive() const {
    return services_.records[station_];
}

bool KeypadModel::graphWatch() const {
    return services_.host.graphWatchActive();
}

void KeypadModel::loadSlots() {
    if (drive().isConnected())
        BuildMonitorList(drive().seriesCode, drive().version, kMonitorListValues, items_);
    for (int i = 0; i < kKeypadSlots; ++i) {
        KeypadSlot& s = slots_[static_cast<std::size_t>(i)];
        s.address = services_.settings.getInt(kKeypadSettingsSection, slotKey(station_, i),
                                              DefaultSlotAddress(seriesCode_, i));
        auto it = std::ranges::find(items_, s.address, &MonitorItem::address);
        if (it == items_.end()) it = items_.begin();
        if (it == items_.end()) {
            s.address = kKeypadNoAddress;
            s.position = -1;
        } else {
            s.address = it->address;
            s.position = static_cast<int>(it - items_.begin());
        }
    }
}

std::string KeypadModel::frameCaption() const {
    if (!failureCaption_.empty()) return failureCaption_;
    return "KEY PAD - " + stationLabel();
}

std::string KeypadModel::stationLabel() const {
    return strprintf("%d:%s", station_, SeriesName(seriesCode_).c_str());
}

std::string KeypadModel::nameLabel() const {
    const std::string name = ReadDeviceName(services_.settings, station_);
    if (name.empty()) return Tr("( 名前 :   )");
    return strprintf("( %s )", name.c_str());
}

KeypadDisplay KeypadModel::display(int index) const {
    const KeypadSlot& s = slot(index);
    KeypadDisplay d;
    if (s.position < 0 || s.position >= static_cast<int>(items_.size())) return d;
    const MonitorItem& item = items_[static_cast<std::size_t>(s.position)];
    const int timeScale = drive().timeScale;
    d.unit = item.unit;
    d.sign = KeypadSigned(item, seriesCode_);
    d.decimals = DecimalsForDivisor(KeypadDivisor(item, seriesCode_, timeScale));
    d.value = KeypadValue(item, s.raw, seriesCode_, timeScale);
    return d;
}

bool KeypadModel::displayLive(int index) const {
    const KeypadSlot& s = slot(index);
    if (closed_ || graphWatch() || !s.received) return false;
    return subscription_.isRegistered(station_) &&
           services_.link.IsMonitorValueFresh(station_, s.address);
}

bool KeypadModel::lampsLive() const {
    // The lamps follow the status word the main window keeps in the record.
    return !closed_ && !graphWatch() && timerRunning_ && drive().isConnected() &&
           drive().isFresh(kStatusWordAddress);
}

void KeypadModel::chooseItems(int position0, int position1) {
    withdraw();
    const int positions[] = {position0, position1};
    for (int i = 0; i < kKeypadSlots; ++i) {
        KeypadSlot& s = slots_[static_cast<std::size_t>(i)];
        const int p = positions[i];
        const int before = s.address;
        if (p >= 0 && p < static_cast<int>(items_.size())) {
            s.address = items_[static_cast<std::size_t>(p)].address;
            s.position = p;
        } else {
            s.address = kKeypadNoAddress;
            s.position = -1;
        }
        // Until its first word arrives a new item shows zero, not the old item's word.
        if (s.address != before) {
            s.raw = 0;
            s.received = false;
        }
    }
    registerSlots();
    skipNext_ = true;
    notify();
}

void KeypadModel::registerSlots() {
    if (closed_ || graphWatch() || !drive().isConnected()) return;
    std::vector<int> addresses;
    for (const KeypadSlot& s : slots_)
        if (s.address != kKeypadNoAddress) addresses.push_back(s.address);
    subscription_.add(station_, addresses);
}

void KeypadModel::withdraw() {
    subscription_.withdraw(station_);
}

void KeypadModel::onTick() {
    if (!timerRunning_) return;
    blinkPhase_ = !blinkPhase_;
    const KeypadLamps lamps = LampsFor(drive().statusWord, blinkPhase_);
    const bool live = lampsLive();
    if (lamps == lamps_ && live == lampsLive_) return;
    lamps_ = lamps;
    lampsLive_ = live;
    notify();
}

bool KeypadModel::keysEnabled() const {
    return controlsEnabled_ && !graphWatch() && !commandPending_ && !closed_;
}

bool KeypadModel::selectorsEnabled() const {
    return controlsEnabled_ && !graphWatch() && !closed_;
}

void KeypadModel::pressForward() {
    sendRunCommand(kRunCommandForward);
}

void KeypadModel::pressReverse() {
    sendRunCommand(kRunCommandReverse);
}

void KeypadModel::pressStop() {
    sendRunCommand(StopKeyValue(drive().statusWord));
}

// One run command at a time: a second press before the drive answered would send it again.
void KeypadModel::sendRunCommand(int value) {
    if (!keysEnabled()) return;
    commandPending_ = true;
    services_.link.QueueWrite(station_, kRunCommandAddress, value, this);
    notify();
}

void KeypadModel::OnDriveReply(int station, const DriveReply& reply) {
    if (station != station_ || !IsFinalReply(reply)) return;
    commandPending_ = false;
    if (reply.errorCode != kErrNone) failureCaption_ = failureText(FailureCode(reply));
    notify();
}

void KeypadModel::OnDriveMonitor(int station, const DriveReply& reply) {
    if (station != station_) return;
    // A final failure is never the result to skip: the link has already dropped the station.
    if (reply.errorCode == kErrRetriesExhausted) {
        subscription_.linkDropped(station_);
        skipNext_ = false;
        failureCaption_ = failureText(reply.failingCode);
        if (reply.failingCode == kErrTimeout) {
            closeEditor();
            timerRunning_ = false;
            controlsEnabled_ = false;
            stoppedForNoAnswer_ = true;
        }
        notify();
        return;
    }
    if (skipNext_) {
        skipNext_ = false;
        return;
    }
    if (reply.errorCode != kErrNone) {
        // A repeat notice: the values it asked for are not live any more.
        notify();
        return;
    }
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int k = 0; k < words; ++k)
        for (KeypadSlot& s : slots_)
            if (s.address == reply.addresses[static_cast<std::size_t>(k)]) {
                s.raw = reply.values[static_cast<std::size_t>(k)] & 0xFFFF;
                s.received = true;
            }
    if (words > 0) notify();
}

void KeypadModel::OnMonitorFreshness(int station) {
    if (station == station_) notify();
}

void KeypadModel::takeWrittenWord(int address, int raw) {
    for (KeypadSlot& s : slots_) {
        if (s.address != address) continue;
        s.raw = raw;
        s.received = true;
    }
    notify();
}

void KeypadModel::activate() {
    if (closed_ || stoppedForNoAnswer_ || graphWatch() || !drive().isConnected()) return;
    if (subscription_.isRegistered(station_)) return;
    registerSlots();
    failureCaption_.clear();
    notify();
}

void KeypadModel::onDriveConnected(int) {}

void KeypadModel::onDriveDisconnected(int station) {
    if (station != station_) return;
    closeEditor();
    withdraw();
    timerRunning_ = false;
    notify();
    closeRequested();
}

void KeypadModel::onGraphWatchChanged(bool active) {
    if (closed_) return;
    if (active) {
        closeEditor();
        timerRunning_ = false;
        controlsEnabled_ = false;
        withdraw();
    } else {
        controlsEnabled_ = true;
        stoppedForNoAnswer_ = false;
        timerRunning_ = true;
        if (!subscription_.isRegistered(station_)) registerSlots();
    }
    notify();
}

void KeypadModel::onNameChanged(int station) {
    if (station == station_) notify();
}

KeypadEditor* KeypadModel::openEditor(int index) {
    if (index < 0 || index >= kKeypadSlots || graphWatch() || !drive().isConnected())
        return nullptr;
    const KeypadSlot& s = slot(index);
    if (s.position < 0 || s.position >= static_cast<int>(items_.size())) return nullptr;
    const MonitorItem& item = items_[static_cast<std::size_t>(s.position)];
    if (!item.writable) return nullptr;
    editor_ = std::make_unique<KeypadEditor>(services_.link, drive(), item);
    editorWritten_ =
        editor_->written.connect([this](int address, int raw) { takeWrittenWord(address, raw); });
    return editor_.get();
}

void KeypadModel::closeEditor() {
    editor_.reset();
}

void KeypadModel::notify() {
    changed();
}

}  // namespace korvane
