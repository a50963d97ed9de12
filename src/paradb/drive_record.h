#pragma once
// The shared picture of one drive: identification words, live monitored values and its loaded
// data file. The connection manager alone writes it; everyone else reads.
#include <array>
#include <memory>
#include <vector>

namespace korvane {

class CDataFile;

constexpr int kStationRecordCount = 256;
constexpr int kOfflineRecordCount = 32;
constexpr int kDriveRecordCount = kStationRecordCount + kOfflineRecordCount;
constexpr int kMaxConnectedDrives = 32;

// The monitored status word and its bits.
constexpr int kStatusWordAddress = 14;
constexpr int kStatusStopped = 1 << 0;
constexpr int kStatusForward = 1 << 1;
constexpr int kStatusReverse = 1 << 2;
constexpr int kStatusFault = 1 << 3;
constexpr int kStatusAccelerating = 1 << 4;
constexpr int kStatusDecelerating = 1 << 5;
constexpr int kStatusDcBraking = 1 << 7;

struct DriveRecord {
    DriveRecord();
    explicit DriveRecord(int stationId);
    ~DriveRecord();
    DriveRecord(DriveRecord&&) noexcept;
    DriveRecord& operator=(DriveRecord&&) noexcept;

    int station = 0;
    int connected = 0;
    int supported = 0;
    int faultWatch = 0;
    int seriesCode = 0;
    int capacityCode = 0;
    int inputVoltageCode = 0;
    int version = 0;
    int frequencyCommand = 0;
    int outputFrequency = 0;
    int outputCurrent = 0;
    int runCommand = 0;
    int statusWord = 0;
    int previousStatusWord = 0;
    int faultWord1 = 0;
    int faultWord2 = 0;
    std::array<int, 4> faultWords3to6{};
    int speedDisplayMode = 0;  // word 0x001A: 1 shows speeds in rpm
    int motorPoles = 0;        // word 0x001B: the motor's pole count, for rpm
    int torqueFeedback = 0;    // word 0x0022 of series 5
    int timeScale = 10;
    // Monitored words whose value here is not live: not received yet, their polling failed or
    // is overdue, or not polled at all (graph watch mode). The connection manager keeps it.
    std::vector<int> staleAddresses;
    // Shared: an editor or dialog that still uses the data file keeps it alive after the drive
    // is removed and the record reset.
    std::shared_ptr<CDataFile> driveData;

    // Connected for every tool window: answered the identification and has data files.
    bool isConnected() const { return connected == 1 && supported == 1; }
    bool isOnline() const { return station <= 255; }
    // False for a monitored word whose value is not live; words nobody polls count as live.
    bool isFresh(int address) const;
    // The field that keeps the last value of a monitored word (the output frequency is word 10,
    // word 32 on series 5); null for a word the record does not keep.
    int* monitoredWord(int address);
    const int* monitoredWord(int address) const;
    // Zeroes every field but the station and destroys the drive data.
    void reset();
};

// Series codes that have data files.
bool IsSupportedSeries(int seriesCode);

// The 288 records: 0..255 by station ID, 256..287 for offline parameter editors.
class DriveRecords {
public:
    DriveRecords();
    DriveRecord& operator[](int index) { return records_.at(static_cast<std::size_t>(index)); }
    const DriveRecord& operator[](int index) const {
        return records_.at(static_cast<std::size_t>(index));
    }
    // Drives that are connected and supported, stations 1..255.
    int connectedCount() const;

private:
    std::array<DriveRecord, kDriveRecordCount> records_;
};

}  // namespace korvane
