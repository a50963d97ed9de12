#include "report/report_document.h"

#include <algorithm>
#include <numeric>
#include <optional>

#include "common/format.h"
#include "common/translation.h"
#include "host/shared_texts.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/model_tables.h"
#include "paradb/user_group.h"
#include "paradb/value_codec.h"
#include "report/report_settings.h"

namespace korvane {
namespace {

constexpr int kFirstColumn = 2;
constexpr int kLastColumn = 11;
// The header's last row; rows 6 and 7 stay empty above the content.
constexpr int kHeaderLastRow = 5;

// One block of the content: a parameter group or a user group.
struct Block {
    const CGroup* group = nullptr;
    const UserGroup* custom = nullptr;
    std::vector<const CItem*> items;             // parameter group rows
    std::vector<const UserGroupEntry*> entries;  // user group rows, each with an item
    int rowCount() const { return static_cast<int>(group ? items.size() : entries.size()); }
};

const CItem* ItemOf(const CDataFile& file, const UserGroupEntry& entry) {
    if (entry.address > 0xFFFF) return nullptr;
    return file.FindItem(static_cast<std::uint16_t>(entry.address));
}

Block GroupBlock(const CGroup& group) {
    Block b;
    b.group = &group;
    for (const CItem& item : group.items) b.items.push_back(&item);
    return b;
}

Block UserGroupBlock(const UserGroup& custom, const CDataFile& file) {
    Block b;
    b.custom = &custom;
    // Entries the data file does not know get no row, as in the editor's list.
    for (const auto& entry : custom.entries)
        if (entry && ItemOf(file, *entry)) b.entries.push_back(entry.get());
    return b;
}

// The blocks of the node, or nothing when the node no longer exists.
std::optional<std::vector<Block>> Resolve(const ReportNode& node, const ReportSource& source) {
    const CDataFile* file = source.dataFile;
    if (file == nullptr || !file->loaded || !file->groups) return std::nullopt;
    std::vector<Block> blocks;
    switch (node.kind) {
        case ReportKind::kGroup:
            for (const CGroup& g : file->groups->elements)
                if (g.name == node.name) return std::vector<Block>{GroupBlock(g)};
            return std::nullopt;
        case ReportKind::kUserGroup:
            for (const UserGroup* c : source.userGroups)
                if (c && c->title == node.name)
                    return std::vector<Block>{UserGroupBlock(*c, *file)};
            return std::nullopt;
        case ReportKind::kAllGroups:
            for (const CGroup& g : file->groups->elements) blocks.push_back(GroupBlock(g));
            return blocks;
    }
    return std::nullopt;
}

void JoinRow(ReportSheet& sheet, int row, std::initializer_list<std::pair<int, int>> joins) {
    for (auto [column, count] : joins) sheet.join(column, row, count);
}

void Label(ReportSheet& sheet, const ReportRange& range) {
    sheet.setBold(range);
    sheet.setBackground(range, kReportLabelGreen);
}

std::string DateText(const LocalTime& t) {
    return strprintf("%04d.%02d.%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                     t.second);
}

void FillHeader(ReportSheet& sheet, const ReportSource& source, bool online) {
    for (int row = 2; row <= kHeaderLastRow; ++row)
        JoinRow(sheet, row, {{2, 2}, {4, 3}, {7, 2}, {9, 3}});
    sheet.outline({kFirstColumn, 2, kLastColumn, kHeaderLastRow});
    Label(sheet, {2, 2, 3, kHeaderLastRow});
    Label(sheet, {7, 2, 8, kHeaderLastRow});

    const DriveRecord& drive = *source.drive;
    const std::string series = SeriesName(drive.seriesCode);
    sheet.setText(2, 2, Tr("企業"));
    sheet.setText(7, 2, Tr("部門"));
    sheet.setText(2, 3, Tr("日付"));
    sheet.setText(4, 3, DateText(source.now));
    sheet.setText(7, 3, Tr("著者"));
    sheet.setText(2, 4, Tr("モデル"));
    sheet.setText(4, 4, online ? std::to_string(drive.station) + " : " + series : series);
    sheet.setText(7, 4, Tr("バージョン"));
    sheet.setText(9, 4, "Ver" + VersionText(drive.seriesCode, drive.version));
    sheet.setText(2, 5, Tr("デバイス名"));
    sheet.setText(7, 5, Tr("接続状態"));
    sheet.setText(9, 5, online && drive.isConnected() ? kOnlinePaneText : kOfflinePaneText);
}

void FillTitle(ReportSheet& sheet, int row, const std::string& text) {
    sheet.join(kFirstColumn, row, kLastColumn - kFirstColumn + 1);
    sheet.setBold({kFirstColumn, row, kLastColumn, row});
    sheet.setText(kFirstColumn, row, text);
}

// A heading or value row: its joins and the outline around columns 2..11.
void FrameRow(ReportSheet& sheet, int row, bool userGroup) {
    if (userGroup)
        JoinRow(sheet, row, {{4, 3}, {7, 2}, {9, 2}});
    else
        JoinRow(sheet, row, {{3, 3}, {6, 2}, {8, 2}, {10, 2}});
    sheet.outline({kFirstColumn, row, kLastColumn, row});
}

void FillHeading(ReportSheet& sheet, int row, bool userGroup) {
    FrameRow(sheet, row, userGroup);
    Label(sheet, {kFirstColumn, row, kLastColumn, row});
    if (userGroup) {
        sheet.setText(2, row, Tr("グループ名"));
        sheet.setText(3, row, Tr("住所"));
        sheet.setText(4, row, Tr("パラメータ名"));
        sheet.setText(7, row, Tr("値"));
        sheet.setText(9, row, Tr("デフォルト"));
        sheet.setText(11, row, Tr("単位"));
    } else {
        sheet.setText(2, row, Tr("住所"));
        sheet.setText(3, row, Tr("パラメータ名"));
        sheet.setText(6, row, Tr("値"));
        sheet.setText(8, row, Tr("デフォルト"));
        sheet.setText(10, row, Tr("単位"));
    }
}

std::string AddressText(std::uint32_t address) {
    return std::to_string(address & 0xFF);
}

// Figures are marked so that a workbook can keep them as numbers.
void SetFigure(ReportSheet& sheet, int column, int row, std::string text) {
    sheet.setText(column, row, std::move(text));
    sheet.cell(column, row).figure = true;
}

int FillGroupBlock(ReportSheet& sheet, int row, const Block& block) {
    FillTitle(sheet, row++, Tr("[ パラメータグループ名 : ") + block.group->name + " ]");
    const int heading = row;
    FillHeading(sheet, row++, false);
    sheet.setHeading(heading, heading + 1, heading + static_cast<int>(block.items.size()));
    for (const CItem* item : block.items) {
        FrameRow(sheet, row, false);
        sheet.setForeground({kFirstColumn, row, kLastColumn, row},
                            ReportRowColour(item, item->readState, item->value));
        SetFigure(sheet, 2, row, AddressText(item->address));
        sheet.setText(3, row, item->displayName);
        SetFigure(sheet, 6, row, FormatValue(*item, item->value));
        SetFigure(sheet, 8, row, FormatDefault(*item));
        sheet.setText(10, row, GetUnitText(*item));
        ++row;
    }
    return row;
}

int FillUserGroupBlock(ReportSheet& sheet, int row, const Block& block, const CDataFile& file) {
    FillTitle(sheet, row++, Tr("[ ユーザグループ名 : ") + block.custom->title + " ]");
    const int heading = row;
    FillHeading(sheet, row++, true);
    sheet.setHeading(heading, heading + 1, heading + static_cast<int>(block.entries.size()));
    for (const UserGroupEntry* entry : block.entries) {
        const CItem& item = *ItemOf(file, *entry);
        FrameRow(sheet, row, true);
        sheet.setForeground({kFirstColumn, row, kLastColumn, row},
                            ReportRowColour(&item, entry->state, entry->value));
        sheet.setText(2, row, item.group ? item.group->name : std::string());
        SetFigure(sheet, 3, row, AddressText(entry->address));
        sheet.setText(4, row, item.displayName);
        SetFigure(sheet, 7, row, FormatUserGroupValue(item, entry->value));
        SetFigure(sheet, 9, row, FormatDefault(item));
        sheet.setText(11, row, GetUnitText(item));
        ++row;
    }
    return row;
}

}  // namespace

int ReportRowCount(const std::vector<int>& blockRowCounts) {
    if (blockRowCounts.empty()) return kHeaderLastRow;
    const int blocks = std::accumulate(blockRowCounts.begin(), blockRowCounts.end(), 0,
                                       [](int sum, int rows) { return sum + rows + 4; });
    return kReportFirstContentRow - 1 + blocks - 2;
}

ReportColour ReportRowColour(const CItem* item, std::uint32_t state, std::uint32_t value) {
    if (item == nullptr || state == 2) return kReportErrorRed;
    if (state == 0) return kReportNotReadGrey;
    // Parameter words are 16 bits; a default stored sign-extended is still the same word.
    if ((value & 0xFFFF) != (item->defaultValue & 0xFFFF)) return kReportChangedBlue;
    return kReportTextBlack;
}

void ReportDocument::refresh(const ReportSource& source) {
    auto blocks = source.drive ? Resolve(node_, source) : std::nullopt;
    found_ = blocks.has_value();
    if (!found_) {
        sheet_.reset(0);
        return;
    }
    std::vector<int> counts;
    for (const Block& b : *blocks) counts.push_back(b.rowCount());
    sheet_.reset(ReportRowCount(counts));

    online_ = source.drive->isOnline();
    FillHeader(sheet_, source, online_);
    rewriteHeader(source.header);
    rewriteDeviceName(source.deviceName);
    int row = kReportFirstContentRow;
    for (const Block& b : *blocks) {
        row = b.group ? FillGroupBlock(sheet_, row, b)
                      : FillUserGroupBlock(sheet_, row, b, *source.dataFile);
        row += 2;
    }
}

void ReportDocument::rewriteHeader(const ReportHeaderTexts& header) {
    if (!found_) return;
    sheet_.setText(4, 2, header.company);
    sheet_.setText(9, 2, header.division);
    sheet_.setText(9, 3, header.author);
}

std::string ReportDocument::windowTitle() const {
    const std::string& model = found_ ? sheet_.cell(4, 4).text : std::string();
    return model.empty() ? std::string(kReportCaption)
                         : std::string(kReportCaption) + " - " + model;
}

void ReportDocument::rewriteDeviceName(const std::string& deviceName) {
    if (!found_) return;
    sheet_.setText(4, 5, online_ ? deviceName : std::string());
}

}  // namespace korvane
