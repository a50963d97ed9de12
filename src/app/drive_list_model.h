#pragma once
// The drive list's rows as texts and icons. The widget only renders these rows; which address
// feeds which column, when a row appears, and how it sorts are decided here.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "paradb/drive_record.h"

namespace korvane {

class SettingsStore;

enum DriveIcon : int {
    kIconStopped = 0,
    kIconForward = 1,
    kIconReverse = 2,
    kIconFault = 3,
    kIconDisconnected = 4,
    kIconUnsupported = 5,
};

constexpr int kDriveListColumns = 8;

struct DriveListColumn {
    const char* header;
    int defaultWidth;
};
const std::array<DriveListColumn, kDriveListColumns>& DriveListColumns();

// Column widths live in section "Main" as "INVCol 0".."INVCol 7".
std::array<int, kDriveListColumns> LoadDriveListColumnWidths(const SettingsStore& settings);
void SaveDriveListColumnWidths(SettingsStore& settings,
                               const std::array<int, kDriveListColumns>& widths);

struct DriveRow {
    int station = 0;
    int icon = kIconStopped;
    std::array<std::string, kDriveListColumns> texts;
    // Cells (and the run-state icon) whose value is not live: the list greys them.
    std::array<bool, kDriveListColumns> stale{};
    bool iconStale = false;
};

class DriveListModel {
public:
    using NameLookup = std::function<std::string(int station)>;
    explicit DriveListModel(NameLookup deviceName);

    // After any change of a record (connection, removal). Returns the row index or -1.
    int UpdateRow(const DriveRecord& record);
    // After monitored values changed. Returns true when a text or the icon changed.
    bool UpdateValues(const DriveRecord& record);
    // The device name of a station changed.
    bool UpdateName(int station);
    // Header click: same column again reverses, another column sorts ascending.
    void SortByColumn(int column);
    // Removes the rows whose drive is not connected and supported.
    void RemoveUnconnectedRows(const DriveRecords& records);

    const std::vector<DriveRow>& Rows() const { return rows_; }
    int FindRow(int station) const;
    int SelectedRow() const { return selected_; }
    void SetSelectedRow(int row) { selected_ = row; }
    int SelectedStation() const;
    std::vector<int> ListedStations() const;

private:
    void fillValues(DriveRow& row, const DriveRecord& record) const;
    void sort(int column, bool descending);

    NameLookup deviceName_;
    std::vector<DriveRow> rows_;
    int selected_ = -1;
    int sortColumn_ = 0;
    bool sortDescending_ = false;
};

// The icon for a connected, supported drive's status word.
int RunStateIcon(int statusWord);

}  // namespace korvane
