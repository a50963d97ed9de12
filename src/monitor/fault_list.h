#pragma once
// What the alarm-history pane shows: its columns and the texts of each row. The Qt view only
// renders these.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "monitor/alarm_history.h"

namespace korvane {

class SettingsStore;

struct FaultListColumn {
    const char* header;
    int defaultWidth;
};

inline constexpr std::size_t kFaultListColumnCount = 8;
inline constexpr std::array<FaultListColumn, kFaultListColumnCount> kFaultListColumns = {{
    {"Num.", 40},
    {"日付", 80},
    {"時間", 80},
    {"ID", 80},
    {"デバイス名", 150},
    {"モデル", 100},
    {"容量", 100},
    {"障害", 150},
}};

// Column widths live in section "Main" as "FaultCol 0".."FaultCol 7".
std::array<int, kFaultListColumnCount> LoadFaultColumnWidths(const SettingsStore& settings);
void SaveFaultColumnWidths(SettingsStore& settings,
                           const std::array<int, kFaultListColumnCount>& widths);

// The fault name of a stored entry, by the same rule the event log uses.
std::string HistoryFaultName(const HistoryEntry& entry);

// The texts of the row at `index` (0 = newest, shown as number 1).
std::array<std::string, kFaultListColumnCount> FaultListRow(const HistoryEntry& entry,
                                                            std::size_t index);

}  // namespace korvane
