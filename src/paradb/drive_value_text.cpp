#include "paradb/drive_value_text.h"

#include <cstdint>

#include "common/format.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_list.h"

namespace korvane {
namespace {

// What only a drive's record knows; absent when formatting a bare value.
struct RecordContext {
    int inputVoltageCode;
    int timeScale;
};

int asSigned16(int value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

std::string secondsText(int value, int timeScale) {
    if (timeScale == 1) return strprintf("%.0f sec", static_cast<double>(value));
    if (timeScale == 100) return strprintf("%.2f sec", value / 100.0);
    return strprintf("%.1f sec", value / 10.0);
}

bool isTripAddress(int address, int seriesCode) {
    if (address == 0x000F) return true;
    if (address == 0x001D) return seriesCode == kSeriesJuniper;
    if (address >= 0x0330 && address <= 0x0333) return seriesCode == kSeriesKapok;
    return false;
}

std::string formatValue(int address, int value, int seriesCode, int version,
                        const RecordContext* record) {
    if (isTripAddress(address, seriesCode)) return TripName(seriesCode, version, address, value);
    switch (address) {
        case 0x0000:
            return SeriesName(value);
        case 0x0001:
            if (record == nullptr) break;
            return CapacityText(seriesCode, version, value, record->inputVoltageCode);
        case 0x0003:
            return VersionText(seriesCode, value);
        case 0x0005:
        case 0x000A:
            return strprintf("%.2f Hz", value / 100.0);
        case 0x0007:
        case 0x0008:
        case 0x0503:
        case 0x0504:
            if (record == nullptr) break;
            return secondsText(value, record->timeScale);
        case 0x0009:
            return strprintf("%.1f A", value / 10.0);
        case 0x000B:
        case 0x000C:
            if (seriesCode == kSeriesFir) return strprintf("%.1f V", value / 10.0);
            return strprintf("%.0f V", static_cast<double>(value));
        case 0x000D:
            return strprintf("%.1f kW", value / 10.0);
        case 0x000E:
            return StatusText(seriesCode, value);
        case 0x0015:
            return strprintf("%d rpm", value);
        case 0x001A:
        case 0x001B:
            return strprintf("%d", value);
        case 0x0020:
            return strprintf("%d rpm", asSigned16(value));
        case 0x0022:
            return strprintf("%.1f %%", asSigned16(value) / 10.0);
        case 0x0502:
            return strprintf("%.1f rpm", asSigned16(value) / 10.0);
        default:
            break;
    }
    return GeneralWord(kWordUnknown);
}

// The record's copy of the word at `address`, or `fallback` for words it does not keep.
int recordWord(const DriveRecord& drive, int address, int fallback) {
    switch (address) {
        case 0x0000:
            return drive.seriesCode;
        case 0x0001:
            return drive.capacityCode;
        case 0x0003:
            return drive.version;
        case 0x0009:
            return drive.outputCurrent;
        // The record keeps one frequency/speed word: address 0x000A, or 0x0020 on Fir drives.
        // It never holds the word at 0x0015, so that one is always the caller's.
        case 0x000A:
        case 0x0020:
            return drive.outputFrequency;
        case 0x000E:
            return drive.statusWord;
        case 0x000F:
            return drive.faultWord1;
        case 0x001A:
            return drive.speedDisplayMode;
        case 0x001B:
            return drive.motorPoles;
        case 0x001D:
            return drive.faultWord2;
        case 0x0022:
            return drive.torqueFeedback;
        case 0x0330:
        case 0x0331:
        case 0x0332:
        case 0x0333:
            return drive.faultWords3to6[static_cast<std::size_t>(address - 0x0330)];
        default:
            return fallback;
    }
}

}  // namespace

std::string FormatCommonValue(int address, int value, int seriesCode, int version) {
    return formatValue(address, value, seriesCode, version, nullptr);
}

std::string FormatDriveValue(const DriveRecord& drive, int address, int value) {
    const RecordContext context{drive.inputVoltageCode, drive.timeScale};
    return formatValue(address, recordWord(drive, address, value), drive.seriesCode, drive.version,
                       &context);
}

}  // namespace korvane
