#include "paradb/drive_record.h"

#include <algorithm>

#include "paradb/data_catalogue.h"
#include "paradb/data_file.h"

namespace korvane {

DriveRecord::DriveRecord() = default;
DriveRecord::DriveRecord(int stationId) : station(stationId) {}
DriveRecord::~DriveRecord() = default;
DriveRecord::DriveRecord(DriveRecord&&) noexcept = default;
DriveRecord& DriveRecord::operator=(DriveRecord&&) noexcept = default;

void DriveRecord::reset() {
    int keep = station;
    // The time scale goes back to its initial 10, not 0: it is a divisor.
    *this = DriveRecord(keep);
}

bool DriveRecord::isFresh(int address) const {
    return std::ranges::find(staleAddresses, address) == staleAddresses.end();
}

int* DriveRecord::monitoredWord(int address) {
    switch (address) {
        case 5:
            return &frequencyCommand;
        case 6:
            return &runCommand;
        case 9:
            return &outputCurrent;
        case 10:
            return seriesCode != 5 ? &outputFrequency : nullptr;
        case 32:
            return seriesCode == 5 ? &outputFrequency : nullptr;
        case kStatusWordAddress:
            return &statusWord;
        case 26:
            return &speedDisplayMode;
        case 27:
            return &motorPoles;
        case 34:
            return &torqueFeedback;
        default:
            return nullptr;
    }
}

const int* DriveRecord::monitoredWord(int address) const {
    return const_cast<DriveRecord*>(this)->monitoredWord(address);
}

bool IsSupportedSeries(int seriesCode) {
    return std::ranges::find(kDataFileSeriesCodes, seriesCode) != kDataFileSeriesCodes.end();
}

DriveRecords::DriveRecords() {
    for (int i = 0; i < kDriveRecordCount; ++i) records_[static_cast<std::size_t>(i)].station = i;
}

int DriveRecords::connectedCount() const {
    int n = 0;
    for (int i = 1; i < kStationRecordCount; ++i)
        n += records_[static_cast<std::size_t>(i)].isConnected();
    return n;
}

}  // namespace korvane
