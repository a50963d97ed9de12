#include "app/connection_manager.h"

#include <algorithm>

#include "comm/drive_link.h"
#include "common/format.h"
#include "common/translation.h"
#include "monitor/drive_event_text.h"
#include "paradb/data_file.h"

namespace korvane {
namespace {

constexpr int kAddrSeries = 0;
constexpr int kAddrCapacity = 1;
constexpr int kAddrVoltage = 2;
constexpr int kAddrVersion = 3;
constexpr int kAddrRunCommand = 6;
constexpr int kAddrStatus = 14;
constexpr int kAddrFault1 = 15;
constexpr int kAddrFault2 = 29;
constexpr int kAddrFault3 = 816;

bool HasSecondTripWord(int series, int version) {
    return series == 10 && version > 20;
}

// The status word stays polled in graph watch: the graph monitor's reverse sign reads it.
bool IsGraphWatchAddress(int address) {
    return address == kAddrStatus || address == kAddrFault1 || address == kAddrFault2 ||
           (address >= kAddrFault3 && address <= kAddrFault3 + 3);
}

bool IsRetryNotice(int code) {
    return (code >= 1 && code <= 4) || (code >= 9 && code <= 14);
}

}  // namespace

std::vector<int> MonitoredAddresses(int series, int version) {
    if (series == 5) return {9, 32, 34, 14};
    if ((series == 4 && version > 512) || series == 9 || series == 11)
        return {5, 10, 9, 14, 6, 26, 27};
    return {5, 10, 9, 14, 6};
}

std::vector<int> FaultAddresses(int series, int version) {
    if (series == 11) return {816, 817, 818, 819};
    if (HasSecondTripWord(series, version)) return {15, 29};
    return {15};
}

int TimeScaleAddress(int series) {
    switch (series) {
        case 4:
            return 0x5347;
        case 8:
            return 0x8347;
        case 9:
            return 0x924A;
        case 10:
            return 0xA347;
        case 11:
            return 0x1209;
        default:
            return 0;
    }
}

std::vector<int> ScanModeIds(int mode, int one, int from, int to) {
    std::vector<int> ids;
    if (mode == 0) {
        ids.push_back(one);
    } else if (mode == 1) {
        for (int id = from; id <= to; ++id) ids.push_back(id);
    } else {
        for (int id = 1; id <= 31; ++id) ids.push_back(id);
    }
    return ids;
}

ConnectionManager::ConnectionManager(CDriveLink& link, DriveRecords& records,
                                     ConnectionEvents& events, ConnectionConfig config)
    : link_(link), records_(records), events_(events), config_(std::move(config)) {}

ConnectionManager::~ConnectionManager() = default;

int ConnectionManager::CurrentScanId() const {
    return scanning_ && scanPosition_ < scanIds_.size() ? scanIds_[scanPosition_] : 0;
}

void ConnectionManager::ScanIds(const std::vector<int>& ids, bool quick) {
    if (scanning_ || ids.empty()) return;
    scanIds_.clear();
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(scanIds_),
                 [](int id) { return id >= 1 && id <= 255; });
    if (scanIds_.empty()) return;
    scanning_ = true;
    scanPosition_ = 0;
    probing_ = quick;
    answered_.clear();
    firstAddress_ = kAddrSeries;
    events_.scanProgress(true, 0, 100);
    events_.scanStatusChanged(ScanStatusText());
    if (probing_) {
        expectedAddress_ = kAddrSeries;
        link_.QueueProbe(CurrentScanId(), kAddrSeries, kQuickScanTimeoutMs, this);
        return;
    }
    queueScanRead(kAddrSeries);
}

void ConnectionManager::StopScan() {
    if (!scanning_) return;
    finishScan();
}

void ConnectionManager::queueScanRead(int address) {
    expectedAddress_ = address;
    link_.QueueRead(CurrentScanId(), address, this);
}

void ConnectionManager::OnDriveReply(int station, const DriveReply& reply) {
    // A reply that does not belong to the read this scan is waiting for (a stopped scan's
    // late answer, or one of our own writes) must not advance the scan.
    if (!scanning_ || station != CurrentScanId() || reply.command != 'R' ||
        reply.addresses[0] != expectedAddress_)
        return;
    events_.scanStatusChanged(ScanStatusText());
    if (probing_) {
        onProbeReply(station, reply);
        return;
    }
    const int code = reply.errorCode;
    if (IsRetryNotice(code)) {
        const int perId = config_.retryLimit + 1;
        events_.scanProgress(true, reply.retryCounter + perId * static_cast<int>(scanPosition_),
                             static_cast<int>(scanIds_.size()) * perId);
        return;
    }
    if (code != 0) {
        RemoveDrive(station);
        nextScanId();
        return;
    }
    onScanSuccess(records_[station], reply);
}

// A drive that missed one short question is not removed: it may only be slow, and its
// monitoring tells whether it is gone.
void ConnectionManager::onProbeReply(int station, const DriveReply& reply) {
    if (IsRetryNotice(reply.errorCode)) return;
    if (reply.errorCode == kErrNone) {
        records_[station].seriesCode = reply.values[0] & 0xFFFF;
        answered_.push_back(station);
    }
    nextProbe();
}

void ConnectionManager::nextProbe() {
    ++scanPosition_;
    const int count = static_cast<int>(scanIds_.size());
    events_.scanProgress(true, static_cast<int>(scanPosition_), count);
    if (scanPosition_ < scanIds_.size()) {
        events_.scanStatusChanged(ScanStatusText());
        link_.QueueProbe(CurrentScanId(), kAddrSeries, kQuickScanTimeoutMs, this);
        return;
    }
    probing_ = false;
    scanIds_ = answered_;
    scanPosition_ = 0;
    if (scanIds_.empty()) {
        finishScan();
        return;
    }
    firstAddress_ = kAddrCapacity;
    events_.scanStatusChanged(ScanStatusText());
    queueScanRead(firstAddress_);
}

void ConnectionManager::onScanSuccess(DriveRecord& record, const DriveReply& reply) {
    const int value = reply.values[0] & 0xFFFF;
    switch (expectedAddress_) {
        case kAddrSeries:
            record.seriesCode = value;
            queueScanRead(kAddrCapacity);
            return;
        case kAddrCapacity:
            record.capacityCode = value;
            queueScanRead(kAddrVoltage);
            return;
        case kAddrVoltage:
            record.inputVoltageCode = value;
            queueScanRead(kAddrVersion);
            return;
        case kAddrVersion: {
            record.version = value;
            if (record.seriesCode == 7 && record.version > 0x0500) record.capacityCode -= 1;
            record.timeScale = 10;
            if (int a = TimeScaleAddress(record.seriesCode); a != 0) {
                queueScanRead(a);
                return;
            }
            break;
        }
        default:  // the time-scale parameter
            record.timeScale = value == 0 ? 100 : value == 2 ? 1 : 10;
            break;
    }
    addDrive(record);
    if (scanning_) nextScanId();
}

void ConnectionManager::nextScanId() {
    ++scanPosition_;
    if (scanPosition_ >= scanIds_.size()) {
        finishScan();
        return;
    }
    const int perId = config_.retryLimit + 1;
    events_.scanProgress(true, perId * static_cast<int>(scanPosition_),
                         static_cast<int>(scanIds_.size()) * perId);
    events_.scanStatusChanged(ScanStatusText());
    queueScanRead(firstAddress_);
}

void ConnectionManager::finishScan() {
    scanning_ = false;
    probing_ = false;
    answered_.clear();
    scanIds_.clear();
    scanPosition_ = 0;
    events_.scanProgress(false, 0, 0);
    updatePollRange();
    events_.scanStatusChanged(ScanStatusText());
}

void ConnectionManager::addDrive(DriveRecord& record) {
    if (record.connected) return;
    const int station = record.station;
    record.supported = IsSupportedSeries(record.seriesCode) ? 1 : 0;
    record.connected = 1;
    if (record.supported) {
        widenPollRange(station);
        if (!graphWatch_) registerLists(record, false);
        link_.AddListener(station, this);
        (void)updateFreshness(record);
        record.driveData = std::make_shared<CDataFile>();
        (void)record.driveData->Load(&record, config_.dataDir);
        events_.driveConnected(station, record);
        events_.eventLine(station, Tr("接続済み"));
    }
    events_.driveRowChanged(station);
    notifyTitle();
    if (scanning_ && records_.connectedCount() >= kMaxConnectedDrives) finishScan();
}

void ConnectionManager::RemoveAllDrives() {
    for (int station = 1; station <= 255; ++station) {
        if (records_[station].connected) RemoveDrive(station);
    }
}

void ConnectionManager::removeDrive(int station, bool linkDropped) {
    if (station < 1 || station > 255) return;
    DriveRecord& record = records_[station];
    const bool wasConnected = record.isConnected();
    if (wasConnected) {
        // Withdrawing what the link already dropped could take away counts that another
        // window registered again on hearing of the same failure.
        if (!linkDropped) {
            unregisterLists(record, graphWatch_);
            link_.RemoveListener(station, this);
        }
        events_.eventLine(station, Tr("切断済み"));
    }
    // A drive that stopped answering is no longer connected, supported series or not.
    record.reset();
    if (wasConnected) events_.driveDisconnected(station, record);
    events_.driveRowChanged(station);
    notifyTitle();
}

std::vector<int> ConnectionManager::registeredAddresses(const DriveRecord& r,
                                                        bool graphWatch) const {
    if (graphWatch) {
        std::vector<int> list = FaultAddresses(r.seriesCode, r.version);
        list.push_back(kAddrStatus);
        return list;
    }
    std::vector<int> list = MonitoredAddresses(r.seriesCode, r.version);
    // The fault list registered by fault watch belongs to the drive's registration too, or the
    // link would keep polling a drive that is gone.
    if (r.faultWatch) {
        const std::vector<int> faults = FaultAddresses(r.seriesCode, r.version);
        list.insert(list.end(), faults.begin(), faults.end());
    }
    return list;
}

void ConnectionManager::registerLists(const DriveRecord& record, bool graphWatch) {
    const std::vector<int> list = registeredAddresses(record, graphWatch);
    link_.AddMonitorAddresses(record.station, list.data(), static_cast<int>(list.size()));
}

void ConnectionManager::unregisterLists(const DriveRecord& record, bool graphWatch) {
    const std::vector<int> list = registeredAddresses(record, graphWatch);
    link_.RemoveMonitorAddresses(record.station, list.data(), static_cast<int>(list.size()));
}

void ConnectionManager::SetGraphWatchMode(bool active) {
    if (active == graphWatch_) return;
    for (int station = 1; station <= 255; ++station) {
        DriveRecord& record = records_[station];
        if (!record.isConnected()) continue;
        unregisterLists(record, graphWatch_);
        link_.RemoveListener(station, this);
        registerLists(record, active);
        link_.AddListener(station, this);
    }
    graphWatch_ = active;
    for (int station = 1; station <= 255; ++station) {
        DriveRecord& record = records_[station];
        if (record.isConnected() && updateFreshness(record)) events_.driveValuesChanged(station);
    }
}

bool ConnectionManager::updateFreshness(DriveRecord& record) {
    std::vector<int> addresses = MonitoredAddresses(record.seriesCode, record.version);
    if (record.faultWatch || graphWatch_) {
        const std::vector<int> faults = FaultAddresses(record.seriesCode, record.version);
        addresses.insert(addresses.end(), faults.begin(), faults.end());
    }
    std::vector<int> stale;
    for (int address : addresses) {
        // In graph watch mode the record takes only the graph-watch words, whoever polls the rest.
        const bool taken = !graphWatch_ || IsGraphWatchAddress(address);
        if (!taken || !link_.IsMonitorValueFresh(record.station, address)) stale.push_back(address);
    }
    if (stale == record.staleAddresses) return false;
    record.staleAddresses = std::move(stale);
    return true;
}

void ConnectionManager::OnMonitorFreshness(int station) {
    if (station < 1 || station > 255) return;
    DriveRecord& record = records_[station];
    if (record.isConnected() && updateFreshness(record)) events_.driveValuesChanged(station);
}

void ConnectionManager::OnDriveMonitor(int station, const DriveReply& reply) {
    if (station < 1 || station > 255) return;
    DriveRecord& record = records_[station];
    if (!record.isConnected()) return;
    // Monitoring of the station has ended for good, whatever the last failure was (a refused
    // monitor read as well as silence): a drive kept listed would show frozen values as live.
    if (reply.errorCode == kErrRetriesExhausted) {
        removeDrive(station, true);
        return;
    }
    if (reply.errorCode != 0) {
        if (updateFreshness(record)) events_.driveValuesChanged(station);
        return;
    }
    const int words = std::clamp(reply.wordCount, 0, kMaxReplyWords);
    for (int i = 0; i < words; ++i) {
        const int address = reply.addresses[static_cast<std::size_t>(i)];
        if (graphWatch_ && !IsGraphWatchAddress(address)) continue;
        storeMonitoredWord(record, address, reply.values[static_cast<std::size_t>(i)] & 0xFFFF);
        if (!record.isConnected()) return;
    }
    (void)updateFreshness(record);
    events_.driveValuesChanged(station);
}

void ConnectionManager::storeMonitoredWord(DriveRecord& r, int address, int value) {
    const bool series11 = r.seriesCode == 11;
    switch (address) {
        case kAddrStatus:
            onStatusWord(r, value);
            break;
        case kAddrFault1:
            storeFaultWord(r, r.faultWord1, value);
            break;
        case kAddrFault2:
            if (HasSecondTripWord(r.seriesCode, r.version)) storeFaultWord(r, r.faultWord2, value);
            break;
        case 816:
        case 817:
        case 818:
        case 819:
            if (series11)
                storeFaultWord(r, r.faultWords3to6[static_cast<std::size_t>(address - 816)], value);
            break;
        default:
            if (int* word = r.monitoredWord(address)) *word = value;
            break;
    }
}

void ConnectionManager::onStatusWord(DriveRecord& r, int value) {
    r.statusWord = value;
    if (r.statusWord != r.previousStatusWord) {
        events_.eventLine(r.station, StatusEventText(r));
    }
    r.previousStatusWord = r.statusWord;
    updateFaultWatch(r);
}

void ConnectionManager::storeFaultWord(DriveRecord& r, int& field, int value) {
    const bool wasClear = field == 0;
    field = value;
    if (wasClear && value != 0) {
        events_.faultRecorded(r);
        events_.eventLine(r.station, FaultEventText(r));
    }
}

void ConnectionManager::updateFaultWatch(DriveRecord& r) {
    const bool fault = (r.statusWord & kStatusFault) != 0;
    if (fault == (r.faultWatch != 0)) return;
    auto faults = FaultAddresses(r.seriesCode, r.version);
    r.faultWord1 = r.faultWord2 = 0;
    r.faultWords3to6 = {};
    if (fault) {
        r.faultWatch = 1;
        if (!graphWatch_)
            link_.AddMonitorAddresses(r.station, faults.data(), static_cast<int>(faults.size()));
        return;
    }
    r.faultWatch = 0;
    // The fault is gone: clear the drive's reset bit so that the next reset works again.
    if (!config_.neverWrite)
        link_.QueueWrite(r.station, kAddrRunCommand, r.runCommand & 0xFF7F, nullptr);
    if (!graphWatch_)
        link_.RemoveMonitorAddresses(r.station, faults.data(), static_cast<int>(faults.size()));
}

void ConnectionManager::widenPollRange(int station) {
    pollFirst_ = pollFirst_ == 0 ? station : std::min(pollFirst_, station);
    pollLast_ = std::max(pollLast_, station);
    link_.SetPollRange(pollFirst_, pollLast_);
}

void ConnectionManager::updatePollRange() {
    pollFirst_ = pollLast_ = 0;
    for (int station = 1; station <= 255; ++station) {
        if (!records_[station].isConnected()) continue;
        if (pollFirst_ == 0) pollFirst_ = station;
        pollLast_ = station;
    }
    link_.SetPollRange(pollFirst_, pollLast_);
}

void ConnectionManager::notifyTitle() {
    events_.titleChanged(WindowTitle());
}

std::string ConnectionManager::WindowTitle() const {
    return strprintf(Tr("Korvaneメイン［%d接続］"), records_.connectedCount());
}

std::string ConnectionManager::ScanStatusText() const {
    if (!scanning_) return Tr("インバータ接続チェック…を終了します");
    return strprintf(Tr("インバータ番号%d接続…をチェックします"), CurrentScanId());
}

}  // namespace korvane
