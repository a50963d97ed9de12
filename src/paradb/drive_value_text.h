#pragma once
// Texts of the words at the drive's common addresses: identification, monitored values, status
// and trips, as the drive list, information sheet, alarm history and reports show them.
#include <string>

namespace korvane {

struct DriveRecord;

// The text of `value` read from common `address` of a drive of this series and version. The
// capacity (0x0001) and the ramp times need the drive's record and give "未知" here.
std::string FormatCommonValue(int address, int value, int seriesCode, int version);

// As FormatCommonValue, for one drive: the series, version, voltage class and time scale come
// from the record, and so does the value for the addresses the record keeps (identification,
// current, frequency, status, trip words and the extra words); `value` is used for the rest.
std::string FormatDriveValue(const DriveRecord& drive, int address, int value);

}  // namespace korvane
