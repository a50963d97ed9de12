#include "monitor/drive_event_text.h"

#include "common/translation.h"
#include "monitor/event_log.h"
#include "paradb/drive_record.h"
#include "paradb/drive_value_text.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_list.h"
#include "paradb/monitor_tables.h"

namespace korvane {

namespace {

constexpr int kFaultWord1Address = 0x000F;
constexpr int kFaultWord2Address = 0x001D;
constexpr int kKapokFirstTripAddress = 0x0330;

}  // namespace

std::string FaultName(int seriesCode, int version, const std::array<int, 6>& faultWords) {
    if (seriesCode == kSeriesKapok) {
        for (int i = 0; i < 4; ++i) {
            std::string name = TripName(seriesCode, version, kKapokFirstTripAddress + i,
                                        faultWords[static_cast<std::size_t>(2 + i)]);
            if (!name.empty()) return name;
        }
        return {};
    }
    std::string name = TripName(seriesCode, version, kFaultWord1Address, faultWords[0]);
    if (name.empty() && seriesCode == kSeriesJuniper && version >= kJuniperSecondTripWordVersion) {
        name = TripName(seriesCode, version, kFaultWord2Address, faultWords[1]);
    }
    return name;
}

std::string FaultName(const DriveRecord& drive) {
    const auto& w = drive.faultWords3to6;
    return FaultName(drive.seriesCode, drive.version,
                     {drive.faultWord1, drive.faultWord2, w[0], w[1], w[2], w[3]});
}

std::string FaultEventText(const DriveRecord& drive) {
    return FaultName(drive) + Tr("障害発生");
}

std::string StatusEventText(const DriveRecord& drive) {
    // Series 5 reports its speed where the others report the output frequency.
    const int address = drive.seriesCode == kSeriesFir ? 0x0020 : 0x000A;
    std::string value = FormatDriveValue(drive, address, drive.outputFrequency);
    std::string state = StatusText(drive.seriesCode, drive.statusWord);
    return value + " " + state;
}

std::string DriveEventLine(const DriveRecord& drive, const std::string& deviceName,
                           const std::string& text) {
    return FormatEventLine(drive.station, SeriesName(drive.seriesCode), deviceName, text);
}

}  // namespace korvane
