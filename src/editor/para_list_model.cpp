#include "editor/para_list_model.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>

#include "common/format.h"
#include "common/process.h"
#include "common/settings_store.h"
#include "common/translation.h"
#include "common/word.h"
#include "editor/offline_edit.h"
#include "editor/write_history.h"
#include "paradb/data_file.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"

namespace korvane {
namespace {

struct Column {
    const char* header;
    int width;
};

constexpr Column kGroupColumns[] = {
    {"アドレス", 70}, {"パラメータ名", 120}, {"値", 100}, {"デフォルト", 100}, {"単位", 50},
};
constexpr Column kWideColumns[] = {
    {"グループ名", 70}, {"アドレス", 80},    {"パラメータ名", 120},
    {"値", 100},        {"デフォルト", 100}, {"単位", 50},
};

constexpr std::size_t kPayloadHeaderBytes = 12;  // identity (8) and row count (4)

// Identities tell this process's editors apart and differ from any other process's, so a drag
// from another program or editor window never lands in this one's groups.
std::uint64_t NextIdentity() {
    static std::atomic<std::uint32_t> serial{1};
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(CurrentProcessId())) << 32) |
           serial.fetch_add(1);
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::uint16_t AsWord(const std::string& text) {
    return static_cast<std::uint16_t>(std::strtoul(text.c_str(), nullptr, 10));
}

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint64_t GetLe(std::span<const std::uint8_t> in, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
    return v;
}

const CItem* ItemOf(const CDataFile& file, std::uint32_t address) {
    return address <= 0xFFFF ? file.FindItem(static_cast<std::uint16_t>(address)) : nullptr;
}

}  // namespace

CParaListModel::CParaListModel(CDataFile& dataFile, CWriteHistory& history, SettingsStore& settings,
                               int station)
    : dataFile_(dataFile),
      history_(history),
      settings_(settings),
      station_(station),
      identity_(NextIdentity()) {}

CParaListModel::~CParaListModel() {
    SaveColumnWidths();
}

void CParaListModel::ShowNode(const ParaNode& node) {
    node_ = node;
    switch (node.kind) {
        case NodeKind::kGroup:
            switchLayout(ListLayout::kGroup);
            break;
        case NodeKind::kUserGroup:
            switchLayout(ListLayout::kUserGroup);
            break;
        case NodeKind::kAllGroups:
            switchLayout(ListLayout::kAllGroups);
            break;
        case NodeKind::kUserGroupRoot:
            switchLayout(ListLayout::kUserGroupRoot);
            break;
    }
    fill();
    current_ = rows_.empty() ? -1 : 0;
    notify();
}

void CParaListModel::RefreshValues() {
    notify();
}

void CParaListModel::ForgetUserGroup(const UserGroup* group) {
    const auto before = rows_.size();
    std::erase_if(rows_, [group](const ListRow& r) { return r.entry && r.entry->custom == group; });
    if (rows_.size() == before) return;
    if (current_ >= static_cast<int>(rows_.size())) current_ = static_cast<int>(rows_.size()) - 1;
    notify();
}

void CParaListModel::switchLayout(ListLayout layout) {
    const bool hadColumns = layout_ != ListLayout::kNone;
    const bool sameSet =
        hadColumns && (layout_ == ListLayout::kGroup) == (layout == ListLayout::kGroup);
    if (sameSet) {
        layout_ = layout;
        return;
    }
    if (hadColumns) SaveColumnWidths();
    layout_ = layout;
    widths_.clear();
    const std::size_t count =
        usesFirstColumnSet() ? std::size(kGroupColumns) : std::size(kWideColumns);
    for (std::size_t c = 0; c < count; ++c) {
        const int fallback = usesFirstColumnSet() ? kGroupColumns[c].width : kWideColumns[c].width;
        widths_.push_back(settings_.getInt(strprintf("Para%d", station_), widthKey(c), fallback));
    }
}

bool CParaListModel::usesFirstColumnSet() const {
    return layout_ == ListLayout::kGroup;
}

std::string CParaListModel::widthKey(std::size_t column) const {
    return strprintf(usesFirstColumnSet() ? "PARACol1 %d" : "PARACol2 %d",
                     static_cast<int>(column));
}

void CParaListModel::SaveColumnWidths() {
    if (layout_ == ListLayout::kNone) return;
    for (std::size_t c = 0; c < widths_.size(); ++c)
        settings_.setInt(strprintf("Para%d", station_), widthKey(c), widths_[c]);
}

std::string CParaListModel::HeaderText(std::size_t column) const {
    if (column >= widths_.size()) return {};
    return Tr(usesFirstColumnSet() ? kGroupColumns[column].header : kWideColumns[column].header);
}

int CParaListModel::ColumnWidth(std::size_t column) const {
    return column < widths_.size() ? widths_[column] : 0;
}

void CParaListModel::SetColumnWidth(std::size_t column, int width) {
    if (column < widths_.size()) widths_[column] = width;
}

void CParaListModel::fill() {
    rows_.clear();
    switch (layout_) {
        case ListLayout::kGroup:
            if (node_.group) {
                for (CItem& item : node_.group->items) rows_.push_back({&item, nullptr});
            }
            break;
        case ListLayout::kAllGroups:
            if (dataFile_.groups) {
                for (CGroup& group : dataFile_.groups->elements)
                    for (CItem& item : group.items) rows_.push_back({&item, nullptr});
            }
            break;
        case ListLayout::kUserGroup:
            if (node_.custom) {
                for (auto& entry : node_.custom->entries) {
                    auto* item = const_cast<CItem*>(ItemOf(dataFile_, entry->address));
                    if (item) rows_.push_back({item, entry.get()});
                }
            }
            break;
        case ListLayout::kUserGroupRoot:
        case ListLayout::kNone:
            break;
    }
}

int CParaListModel::AddressColumn() const {
    return usesFirstColumnSet() ? 0 : 1;
}
int CParaListModel::NameColumn() const {
    return AddressColumn() + 1;
}
int CParaListModel::ValueColumn() const {
    return AddressColumn() + 2;
}
int CParaListModel::DefaultColumn() const {
    return AddressColumn() + 3;
}

std::string CParaListModel::CellText(std::size_t row, std::size_t column) const {
    if (row >= rows_.size() || column >= widths_.size()) return {};
    const ListRow& r = rows_[row];
    if (r.item == nullptr) return {};
    const CItem& item = *r.item;
    const int shift = AddressColumn();
    if (shift == 1 && column == 0) return item.group ? item.group->name : std::string();
    switch (static_cast<int>(column) - shift) {
        case 0:
            return strprintf("%d", item.address & 0xFF);
        case 1:
            return item.displayName;
        case 2:
            return r.entry ? FormatUserGroupValue(item, r.entry->value)
                           : FormatValue(item, item.value);
        case 3:
            return FormatDefault(item);
        case 4:
            return GetUnitText(item);
        default:
            return {};
    }
}

std::optional<Rgb> CParaListModel::RowColour(std::size_t row) const {
    if (row >= rows_.size()) return std::nullopt;
    const ListRow& r = rows_[row];
    if (r.item == nullptr) return kErrorColour;
    const std::uint32_t state = r.entry ? r.entry->state : r.item->readState;
    const std::uint32_t value = r.entry ? r.entry->value : r.item->value;
    if (state == 0) return kNotReadColour;
    if (state == 2) return kErrorColour;
    if (!SameWord(value, r.item->defaultValue)) return kChangedColour;
    return std::nullopt;
}

std::optional<Rgb> CParaListModel::RowBackground(std::size_t row) const {
    if (row >= rows_.size()) return std::nullopt;
    const ListRow& r = rows_[row];
    // A user-group row shows the entry's own value, which no parameter file set.
    if (r.item == nullptr || r.entry != nullptr || !r.item->fromFile) return std::nullopt;
    return kFileValueBackground;
}

void CParaListModel::SetCurrentRow(int row) {
    current_ = (row >= 0 && row < static_cast<int>(rows_.size())) ? row : -1;
}

void CParaListModel::ClickHeader(std::size_t column) {
    if (column >= widths_.size()) return;
    if (sortColumn_ == static_cast<int>(column)) {
        ascending_ = !ascending_;
    } else {
        sortColumn_ = static_cast<int>(column);
        ascending_ = true;
    }
    sortRows();
    notify();
}

bool CParaListModel::numericColumn(std::size_t column) const {
    return static_cast<int>(column) == AddressColumn();
}

void CParaListModel::sortRows() {
    const std::size_t column = static_cast<std::size_t>(sortColumn_);
    struct Keyed {
        ListRow row;
        std::string text;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) keyed.push_back({rows_[i], CellText(i, column)});
    const bool numeric = numericColumn(column);
    auto less = [numeric](const Keyed& a, const Keyed& b) {
        if (numeric) return AsWord(a.text) < AsWord(b.text);
        return CompareNoCase(a.text, b.text) < 0;
    };
    // Reversing the arguments keeps a strict weak order for the descending direction too.
    if (ascending_) {
        std::stable_sort(keyed.begin(), keyed.end(), less);
    } else {
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&less](const Keyed& a, const Keyed& b) { return less(b, a); });
    }
    const ListRow selected = current_ >= 0 ? rows_[static_cast<std::size_t>(current_)] : ListRow{};
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        rows_[i] = keyed[i].row;
        if (current_ >= 0 && rows_[i].item == selected.item && rows_[i].entry == selected.entry)
            current_ = static_cast<int>(i);
    }
}

int CParaListModel::DeleteRows(std::vector<std::size_t> rows) {
    if (layout_ != ListLayout::kUserGroup) return current_;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](std::size_t r) { return r >= rows_.size(); });
    if (rows.empty()) return current_;
    // From the bottom, so the positions still to delete do not move.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        UserGroupEntry* entry = rows_[*it].entry;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*it));
        if (entry == nullptr || entry->custom == nullptr) continue;
        UserGroup& group = *entry->custom;
        history_.PurgeEntry(entry);
        entryRemoving(entry);
        auto& entries = group.entries;
        auto found = std::find_if(entries.begin(), entries.end(),
                                  [entry](const auto& e) { return e.get() == entry; });
        if (found != entries.end())
            group.RemoveEntry(static_cast<std::size_t>(found - entries.begin()));
        group.modified = 1;
    }
    const int last = static_cast<int>(rows.front());
    current_ = rows_.empty() ? -1 : std::min(last, static_cast<int>(rows_.size()) - 1);
    notify();
    return current_;
}

std::vector<std::uint8_t> CParaListModel::DragPayload(const std::vector<std::size_t>& rows) const {
    std::vector<std::uint16_t> addresses;
    for (std::size_t r : rows) {
        if (r < rows_.size() && rows_[r].item) addresses.push_back(rows_[r].item->address);
    }
    std::vector<std::uint8_t> out;
    PutLe(out, identity_, 8);
    PutLe(out, addresses.size(), 4);
    for (std::uint16_t a : addresses) PutLe(out, a, 2);
    return out;
}

std::optional<std::vector<std::uint16_t>> CParaListModel::decode(
    std::span<const std::uint8_t> payload) const {
    if (payload.size() < kPayloadHeaderBytes) return std::nullopt;
    if (GetLe(payload, 0, 8) != identity_) return std::nullopt;
    const std::uint64_t count = GetLe(payload, 8, 4);
    if (payload.size() != kPayloadHeaderBytes + 2 * count) return std::nullopt;
    std::vector<std::uint16_t> addresses;
    for (std::size_t i = 0; i < count; ++i)
        addresses.push_back(
            static_cast<std::uint16_t>(GetLe(payload, kPayloadHeaderBytes + 2 * i, 2)));
    return addresses;
}

bool CParaListModel::CanDrop(const ParaNode& target, std::span<const std::uint8_t> payload) const {
    return target.kind == NodeKind::kUserGroup && target.custom != nullptr &&
           decode(payload).has_value();
}

int CParaListModel::Drop(const ParaNode& target, std::span<const std::uint8_t> payload) {
    const auto addresses = decode(payload);
    if (!addresses || !CanDrop(target, payload)) return 0;
    UserGroup& group = *target.custom;
    int added = 0;
    for (std::uint16_t address : *addresses) {
        const CItem* item = dataFile_.FindItem(address);
        if (item == nullptr) continue;
        const bool present =
            std::any_of(group.entries.begin(), group.entries.end(),
                        [&](const auto& e) { return ItemOf(dataFile_, e->address) == item; });
        if (present) continue;
        UserGroupEntry& entry = group.AddEntry(address, item->value);
        entry.dataFile = &dataFile_;
        entry.custom = &group;
        entry.state = 0;
        ++added;
    }
    if (added > 0) group.modified = 1;
    return added;
}

std::optional<InPlaceEdit> CParaListModel::BeginEdit(std::size_t row, std::size_t column) const {
    if (!offline_ || row >= rows_.size() || static_cast<int>(column) != ValueColumn())
        return std::nullopt;
    const ListRow& r = rows_[row];
    if (r.item == nullptr || !r.item->hasFormat()) return std::nullopt;
    const std::optional<ValueCellEdit> cell = BeginValueCellEdit(r.item, r.entry);
    if (!cell) return std::nullopt;
    InPlaceEdit edit;
    edit.row = row;
    edit.item = r.item;
    edit.entry = r.entry;
    edit.startValue = cell->startValue;
    edit.text = cell->startText;
    if (cell->optionList) {
        edit.kind = InPlaceEdit::Kind::kOptionList;
        edit.options = cell->options;
        return edit;
    }
    edit.pattern = cell->pattern.text();
    edit.integerDigits = cell->pattern.digits;
    edit.decimals = cell->pattern.decimals;
    return edit;
}

void CParaListModel::EndEdit(const InPlaceEdit& edit, const std::string& text) {
    if (edit.row >= rows_.size() || rows_[edit.row].item != edit.item) return;
    if (committer_) committer_->CommitInPlaceEdit(edit, text);
    notify();
}

void CParaListModel::notify() {
    changed();
}

}  // namespace korvane
