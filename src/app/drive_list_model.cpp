#include "app/drive_list_model.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "common/format.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "monitor/drive_event_text.h"
#include "paradb/drive_value_text.h"
#include "paradb/model_tables.h"

namespace korvane {

const std::array<DriveListColumn, kDriveListColumns>& DriveListColumns() {
    static const std::array<DriveListColumn, kDriveListColumns> columns{{
        {"ID", 40},
        {"デバイス名", 150},
        {"モデル", 80},
        {"容量", 90},
        {"周波数", 100},
        {"電流", 100},
        {"ステータス", 100},
        {"障害", 150},
    }};
    return columns;
}

namespace {
std::string widthKey(int column) {
    return strprintf("INVCol %d", column);
}
}  // namespace

std::array<int, kDriveListColumns> LoadDriveListColumnWidths(const SettingsStore& settings) {
    std::array<int, kDriveListColumns> widths{};
    for (int i = 0; i < kDriveListColumns; ++i) {
        const auto column = static_cast<std::size_t>(i);
        widths[column] =
            settings.getInt("Main", widthKey(i), DriveListColumns()[column].defaultWidth);
    }
    return widths;
}

void SaveDriveListColumnWidths(SettingsStore& settings,
                               const std::array<int, kDriveListColumns>& widths) {
    for (int i = 0; i < kDriveListColumns; ++i)
        settings.setInt("Main", widthKey(i), widths[static_cast<std::size_t>(i)]);
}

int RunStateIcon(int s) {
    if (s & kStatusForward) return kIconForward;
    if (s & kStatusReverse) return kIconReverse;
    if (s & kStatusFault) return kIconFault;
    return kIconStopped;
}

DriveListModel::DriveListModel(NameLookup deviceName) : deviceName_(std::move(deviceName)) {}

int DriveListModel::FindRow(int station) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].station == station) return static_cast<int>(i);
    return -1;
}

int DriveListModel::SelectedStation() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) return 0;
    return rows_[static_cast<std::size_t>(selected_)].station;
}

std::vector<int> DriveListModel::ListedStations() const {
    std::vector<int> ids;
    for (const auto& row : rows_) ids.push_back(row.station);
    return ids;
}

void DriveListModel::fillValues(DriveRow& row, const DriveRecord& r) const {
    const int freqAddress = r.seriesCode == 5 ? 32 : 10;
    row.texts[4] = FormatDriveValue(r, freqAddress, r.outputFrequency);
    row.texts[5] = FormatDriveValue(r, 9, r.outputCurrent);
    row.texts[6] = FormatDriveValue(r, 14, r.statusWord);
    row.texts[7] = FaultName(r);
    row.stale = {};
    row.stale[4] = !r.isFresh(freqAddress);
    row.stale[5] = !r.isFresh(9);
    row.stale[6] = !r.isFresh(14);
    // The fault column follows the status word (a fault is only watched once it says so) and
    // whichever fault words are polled.
    row.stale[7] = row.stale[6] || !r.isFresh(15) || !r.isFresh(29) || !r.isFresh(816) ||
                   !r.isFresh(817) || !r.isFresh(818) || !r.isFresh(819);
    row.iconStale = row.stale[6];
}

namespace {
void clearValueCells(DriveRow& row) {
    row.texts[4].clear();
    row.texts[5].clear();
    row.texts[7].clear();
    row.stale = {};
    row.iconStale = false;
}
}  // namespace

int DriveListModel::UpdateRow(const DriveRecord& r) {
    int index = FindRow(r.station);
    if (!r.connected) {
        if (index < 0) return -1;
        DriveRow& row = rows_[static_cast<std::size_t>(index)];
        row.icon = kIconDisconnected;
        clearValueCells(row);
        row.texts[6] = Tr("接続なし");
        selected_ = index;
        return index;
    }
    if (index < 0) {
        rows_.push_back({});
        index = static_cast<int>(rows_.size()) - 1;
    }
    DriveRow& row = rows_[static_cast<std::size_t>(index)];
    row.station = r.station;
    row.texts[0] = strprintf("%d", r.station);
    row.texts[1] = deviceName_ ? deviceName_(r.station) : std::string();
    row.texts[2] = SeriesName(r.seriesCode);
    row.texts[3] = FormatDriveValue(r, 1, r.capacityCode);
    if (r.supported) {
        row.icon = RunStateIcon(r.statusWord);
        fillValues(row, r);
    } else {
        row.icon = kIconUnsupported;
        clearValueCells(row);
        row.texts[6] = Tr("サポートなし");
    }
    sort(0, false);
    selected_ = FindRow(r.station);
    return selected_;
}

bool DriveListModel::UpdateValues(const DriveRecord& r) {
    if (!r.isConnected()) return false;
    int index = FindRow(r.station);
    if (index < 0) return false;
    DriveRow& row = rows_[static_cast<std::size_t>(index)];
    DriveRow fresh = row;
    fillValues(fresh, r);
    fresh.icon = RunStateIcon(r.statusWord);
    if (fresh.texts == row.texts && fresh.icon == row.icon && fresh.stale == row.stale &&
        fresh.iconStale == row.iconStale)
        return false;
    row = std::move(fresh);
    return true;
}

bool DriveListModel::UpdateName(int station) {
    int index = FindRow(station);
    if (index < 0 || !deviceName_) return false;
    std::string name = deviceName_(station);
    auto& text = rows_[static_cast<std::size_t>(index)].texts[1];
    if (text == name) return false;
    text = std::move(name);
    return true;
}

void DriveListModel::SortByColumn(int column) {
    if (column < 0 || column >= kDriveListColumns) return;
    bool descending = column == sortColumn_ ? !sortDescending_ : false;
    sort(column, descending);
}

void DriveListModel::sort(int column, bool descending) {
    const int selectedStation = SelectedStation();
    sortColumn_ = column;
    sortDescending_ = descending;
    auto less = [column](const DriveRow& a, const DriveRow& b) {
        if (column == 0) return a.station < b.station;
        return strcasecmp(a.texts[static_cast<std::size_t>(column)].c_str(),
                          b.texts[static_cast<std::size_t>(column)].c_str()) < 0;
    };
    std::stable_sort(rows_.begin(), rows_.end(), [&](const DriveRow& a, const DriveRow& b) {
        return descending ? less(b, a) : less(a, b);
    });
    if (selectedStation) selected_ = FindRow(selectedStation);
}

void DriveListModel::RemoveUnconnectedRows(const DriveRecords& records) {
    const int selectedStation = SelectedStation();
    std::erase_if(rows_, [&](const DriveRow& row) { return !records[row.station].isConnected(); });
    selected_ = selectedStation ? FindRow(selectedStation) : -1;
}

}  // namespace korvane
