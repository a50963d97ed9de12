#pragma once
// The editor's parameter list: the rows of the tree's selected node in one of four column
// layouts, their texts and colours, sorting, column widths, deleting user-group rows, drops of
// dragged parameters onto user groups, and which cells may be edited in place.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "editor/para_tree_model.h"

namespace korvane {

class CItem;
class CWriteHistory;
class SettingsStore;
struct UserGroupEntry;

enum class ListLayout : int {
    kNone = -1,
    kGroup = 0,
    kUserGroup = 1,
    kAllGroups = 2,
    kUserGroupRoot = 3,
};

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kNotReadColour{153, 153, 153};
inline constexpr Rgb kErrorColour{255, 51, 51};
inline constexpr Rgb kChangedColour{0, 0, 255};
// Behind the text of a value that came from a parameter file and may not be the drive's.
inline constexpr Rgb kFileValueBackground{255, 236, 179};

// A row shows an item (layouts 0 and 2) or a user-group entry and its item (layout 1).
struct ListRow {
    CItem* item = nullptr;
    UserGroupEntry* entry = nullptr;
};

// An in-place edit of a value cell as it begins: what the widget's editor should be and the
// value to compare with when it ends.
struct InPlaceEdit {
    enum class Kind { kOptionList, kNumeric };
    std::size_t row = 0;
    CItem* item = nullptr;
    UserGroupEntry* entry = nullptr;
    std::uint32_t startValue = 0;
    Kind kind = Kind::kNumeric;
    std::vector<std::string> options;  // kOptionList
    // kNumeric: "0x1.1" (hex digits), "b1.1" (bits), "1.1" or "-1.1" (integer digits and
    // decimals), the numeric field's kinds.
    std::string pattern;
    int integerDigits = 0;
    int decimals = 0;
    std::string text;  // what the editor opens with (option text or field text)
};

// Takes an ended in-place edit into the item or entry (range check, history record, modified
// flag). Built by the editing code; the list only rewrites the cell afterwards.
class InPlaceEditCommitter {
public:
    virtual ~InPlaceEditCommitter() = default;
    virtual void CommitInPlaceEdit(const InPlaceEdit& edit, const std::string& text) = 0;
};

class CParaListModel {
public:
    // `station` names the settings section of the column widths ("Para%d").
    CParaListModel(CDataFile& dataFile, CWriteHistory& history, SettingsStore& settings,
                   int station);
    ~CParaListModel();
    CParaListModel(const CParaListModel&) = delete;
    CParaListModel& operator=(const CParaListModel&) = delete;

    // Rows or columns changed (refill, sort, delete, layout switch).
    Signal<> changed;
    // Before a user-group entry is deleted, so that replies still pending for it are dropped
    // rather than written into freed memory.
    Signal<const UserGroupEntry*> entryRemoving;
    void SetCommitter(InPlaceEditCommitter* committer) { committer_ = committer; }

    void ShowNode(const ParaNode& node);
    // Texts are taken from the items when asked for, so a refresh only tells the widget.
    void RefreshValues();
    // Drops the rows of a user group that is being closed.
    void ForgetUserGroup(const UserGroup* group);

    ListLayout Layout() const { return layout_; }
    const ParaNode& Node() const { return node_; }
    std::size_t ColumnCount() const { return widths_.size(); }
    std::string HeaderText(std::size_t column) const;
    int ColumnWidth(std::size_t column) const;
    void SetColumnWidth(std::size_t column, int width);
    // Writes the current widths; also done on every switch of column set and on destruction.
    void SaveColumnWidths();

    std::size_t RowCount() const { return rows_.size(); }
    const ListRow& Row(std::size_t row) const { return rows_.at(row); }
    std::string CellText(std::size_t row, std::size_t column) const;
    // nullopt: the list's normal text colour.
    std::optional<Rgb> RowColour(std::size_t row) const;
    // nullopt: the list's normal background.
    std::optional<Rgb> RowBackground(std::size_t row) const;
    int AddressColumn() const;
    int NameColumn() const;
    int ValueColumn() const;
    int DefaultColumn() const;

    // -1 when nothing is selected.
    int CurrentRow() const { return current_; }
    void SetCurrentRow(int row);

    void ClickHeader(std::size_t column);
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }

    // Delete key in the user-group layout. Returns the row then selected (-1: none).
    int DeleteRows(std::vector<std::size_t> rows);

    // The dragged rows as this editor's private payload: its identity and the 16-bit addresses.
    std::vector<std::uint8_t> DragPayload(const std::vector<std::size_t>& rows) const;
    // Only a user-group node takes a drop, and only of this editor's own rows.
    bool CanDrop(const ParaNode& target, std::span<const std::uint8_t> payload) const;
    // Appends the parameters the group lacks; returns how many were added.
    int Drop(const ParaNode& target, std::span<const std::uint8_t> payload);
    std::uint64_t Identity() const { return identity_; }

    // Offline editors only (SetOffline): the value cell of a writable item's row.
    void SetOffline(bool offline) { offline_ = offline; }
    std::optional<InPlaceEdit> BeginEdit(std::size_t row, std::size_t column) const;
    void EndEdit(const InPlaceEdit& edit, const std::string& text);

private:
    void switchLayout(ListLayout layout);
    void fill();
    void sortRows();
    void notify();
    bool numericColumn(std::size_t column) const;
    bool usesFirstColumnSet() const;
    std::string widthKey(std::size_t column) const;
    std::optional<std::vector<std::uint16_t>> decode(std::span<const std::uint8_t> payload) const;

    CDataFile& dataFile_;
    CWriteHistory& history_;
    SettingsStore& settings_;
    int station_;
    bool offline_ = false;
    std::uint64_t identity_;
    ListLayout layout_ = ListLayout::kNone;
    ParaNode node_;
    std::vector<int> widths_;
    std::vector<ListRow> rows_;
    int current_ = -1;
    int sortColumn_ = -1;
    bool ascending_ = true;
    InPlaceEditCommitter* committer_ = nullptr;
};

}  // namespace korvane
