#pragma once
// Finds drives by scanning station IDs, keeps the connected drives' monitored values in their
// DriveRecords, and reports connections, run-state changes and faults. The main window (or the
// CLI) renders what it is told through ConnectionEvents.
#include <cstdint>
#include <string>
#include <vector>

#include "comm/drive_reply.h"
#include "paradb/drive_record.h"

namespace korvane {

class CDriveLink;

class ConnectionEvents {
public:
    virtual ~ConnectionEvents() = default;
    // A record changed as a whole: connected, removed, identified again.
    virtual void driveRowChanged(int /*station*/) {}
    // Only the monitored values of a connected drive changed.
    virtual void driveValuesChanged(int /*station*/) {}
    virtual void titleChanged(const std::string& /*title*/) {}
    virtual void scanStatusChanged(const std::string& /*text*/) {}
    virtual void scanProgress(bool /*visible*/, int /*position*/, int /*range*/) {}
    virtual void driveConnected(int /*station*/, const DriveRecord& /*record*/) {}
    // The record is already reset when this is called.
    virtual void driveDisconnected(int /*station*/, const DriveRecord& /*record*/) {}
    // A fault word went from 0 to non-zero: the alarm history takes a snapshot.
    virtual void faultRecorded(const DriveRecord& /*record*/) {}
    // One event for the event log ("接続済み", "切断済み", ...).
    virtual void eventLine(int /*station*/, const std::string& /*text*/) {}
};

struct ConnectionConfig {
    std::string dataDir;  // <application directory>/Data
    int retryLimit = 3;   // the link's retry count, for the scan's progress bar
    // A watcher that must never write to a drive leaves the reset bit to whoever set it.
    bool neverWrite = false;
};

// Addresses registered for a connected drive, by series and version.
std::vector<int> MonitoredAddresses(int seriesCode, int version);
std::vector<int> FaultAddresses(int seriesCode, int version);
// The series' time-scale parameter, or 0 when the series has none.
int TimeScaleAddress(int seriesCode);
// The IDs the connect dialog's scan modes stand for (mode 2 is 1..31, not 1..255).
std::vector<int> ScanModeIds(int mode, int one, int from, int to);

// A quick scan's question to each ID waits at most this long (less when the line's own
// time-out is shorter).
inline constexpr int kQuickScanTimeoutMs = 150;

class ConnectionManager : public ReplySink, public MonitorListener {
public:
    ConnectionManager(CDriveLink& link, DriveRecords& records, ConnectionEvents& events,
                      ConnectionConfig config);
    ~ConnectionManager() override;

    // A quick scan asks each ID once, with a short time-out, for its series word and then
    // identifies only the IDs that answered, with the line's own time-out and retries.
    void ScanIds(const std::vector<int>& ids, bool quick = false);
    void StopScan();
    bool IsScanning() const { return scanning_; }
    int CurrentScanId() const;
    void RemoveDrive(int station) { removeDrive(station, false); }
    // The line is gone (the port could not be opened): every drive is removed as one that
    // stopped answering, so that no row shows old values as live.
    void RemoveAllDrives();
    // Re-registers every connected drive for the new graph-watch mode.
    void SetGraphWatchMode(bool active);
    void SetRetryLimit(int retryLimit) { config_.retryLimit = retryLimit; }

    std::string WindowTitle() const;
    std::string ScanStatusText() const;

    void OnDriveReply(int station, const DriveReply& reply) override;
    void OnDriveMonitor(int station, const DriveReply& reply) override;
    bool ReceivesDuringGraphWatch() const override { return true; }
    void OnMonitorFreshness(int station) override;

private:
    void queueScanRead(int address);
    void onProbeReply(int station, const DriveReply& reply);
    void nextProbe();
    void onScanSuccess(DriveRecord& record, const DriveReply& reply);
    void nextScanId();
    void finishScan();
    void addDrive(DriveRecord& record);
    // `linkDropped`: the link has already forgotten the station's registrations and listeners.
    void removeDrive(int station, bool linkDropped);
    // Everything the drive has registered with the link in the given mode.
    std::vector<int> registeredAddresses(const DriveRecord& record, bool graphWatch) const;
    void registerLists(const DriveRecord& record, bool graphWatch);
    void unregisterLists(const DriveRecord& record, bool graphWatch);
    // Takes the link's verdicts into the record. True when its stale words changed.
    bool updateFreshness(DriveRecord& record);
    void storeMonitoredWord(DriveRecord& record, int address, int value);
    void onStatusWord(DriveRecord& record, int value);
    void storeFaultWord(DriveRecord& record, int& field, int value);
    void updateFaultWatch(DriveRecord& record);
    void widenPollRange(int station);
    void updatePollRange();
    void notifyTitle();

    CDriveLink& link_;
    DriveRecords& records_;
    ConnectionEvents& events_;
    ConnectionConfig config_;
    bool graphWatch_ = false;
    bool scanning_ = false;
    std::vector<int> scanIds_;
    std::size_t scanPosition_ = 0;
    int expectedAddress_ = 0;
    // A quick scan's first round: the IDs that answered it, whose series word is read already.
    bool probing_ = false;
    std::vector<int> answered_;
    int firstAddress_ = 0;
    int pollFirst_ = 0;
    int pollLast_ = 0;
};

}  // namespace korvane
