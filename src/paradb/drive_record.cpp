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
