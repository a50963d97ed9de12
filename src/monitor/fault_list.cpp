#include "monitor/fault_list.h"

#include "common/format.h"
#include "common/settings_store.h"
#include "monitor/drive_event_text.h"
#include "paradb/model_tables.h"
#include "paradb/monitor_tables.h"

namespace korvane {

namespace {

constexpr const char* kSection = "Main";

std::string widthKey(std::size_t column) {
    return strprintf("FaultCol %zu", column);
}

}  // namespace

std::array<int, kFaultListColumnCount> LoadFaultColumnWidths(const SettingsStore& settings) {
    std::array<int, kFaultListColumnCount> widths{};
    for (std::size_t i = 0; i < kFaultListColumnCount; ++i) {
        widths[i] = settings.getInt(kSection, widthKey(i), kFaultListColumns[i].defaultWidth);
    }
    return widths;
}

void SaveFaultColumnWidths(SettingsStore& settings,
                           const std::array<int, kFaultListColumnCount>& widths) {
    for (std::size_t i = 0; i < kFaultListColumnCount; ++i) {
        settings.setInt(kSection, widthKey(i), widths[i]);
    }
}

std::string HistoryFaultName(const HistoryEntry& entry) {
    // The file keeps no version. Only Juniper's names depend on it, and only through the second
    // fault word, which nothing but a drive of the second-word versions ever sets.
    const int version = entry.seriesCode == kSeriesJuniper ? kJuniperSecondTripWordVersion : 0;
    const auto& w = entry.faultWords;
    return FaultName(entry.seriesCode, version, {w[0], w[1], w[2], w[3], w[4], w[5]});
}

std::array<std::string, kFaultListColumnCount> FaultListRow(const HistoryEntry& entry,
                                                            std::size_t index) {
    // Capacity texts depend on the version only for series 7, which never reaches the history:
    // it has no data files, so it is never monitored for faults.
    return {
        strprintf("%zu", index + 1),
        entry.date,
        entry.time,
        strprintf("%d", static_cast<int>(entry.station)),
        entry.deviceName,
        SeriesName(entry.seriesCode),
        CapacityText(entry.seriesCode, 0, entry.capacityCode, entry.inputVoltageCode),
        HistoryFaultName(entry),
    };
}

}  // namespace korvane
