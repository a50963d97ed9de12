#include "report/report_sheet.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace korvane {

void ReportSheet::reset(int rows) {
    rows_ = std::max(rows, 0);
    cells_.assign(static_cast<std::size_t>(rows_) * kColumnCount, ReportCell{});
    joins_.clear();
    joinOf_.assign(cells_.size(), -1);
    headingOf_.assign(static_cast<std::size_t>(rows_), 0);
}

void ReportSheet::setHeading(int heading, int first, int last) {
    (void)index(1, heading);
    for (int row = std::max(first, 1); row <= std::min(last, rows_); ++row)
        headingOf_[static_cast<std::size_t>(row - 1)] = heading;
}

int ReportSheet::headingOf(int row) const {
    if (row < 1 || row > rows_) return 0;
    return headingOf_[static_cast<std::size_t>(row - 1)];
}

std::vector<ReportPageRows> PaginateReport(const ReportSheet& sheet, int rowsPerPage) {
    rowsPerPage = std::max(rowsPerPage, 1);
    std::vector<ReportPageRows> pages;
    int row = 1;
    do {
        ReportPageRows page;
        page.first = row;
        const int heading = sheet.headingOf(row);
        // A page of one row has no room for a heading above its row.
        if (!pages.empty() && heading > 0 && heading < row && rowsPerPage > 1)
            page.repeatedHeading = heading;
        const int room = rowsPerPage - (page.repeatedHeading > 0 ? 1 : 0);
        page.last = std::min(sheet.rowCount(), row + room - 1);
        pages.push_back(page);
        row = page.last + 1;
    } while (row <= sheet.rowCount());
    return pages;
}

std::optional<ReportNumber> ReportCellNumber(const std::string& text) {
    std::size_t i = text.empty() || text[0] != '-' ? 0 : 1;
    const std::size_t intStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const std::size_t intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0')) return std::nullopt;
    int decimals = 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++decimals;
        if (decimals == 0) return std::nullopt;
    }
    // Beyond 15 digits a double no longer shows every digit typed.
    if (i != text.size() || intDigits + static_cast<std::size_t>(decimals) > 15)
        return std::nullopt;
    const double value = std::strtod(text.c_str(), nullptr);
    if (value == 0.0 && intStart == 1) return std::nullopt;  // "-0.0" would show as "0.0"
    return ReportNumber{value, decimals};
}

int ReportSheet::columnWidth(int column) {
    return (column == 1 || column == kColumnCount) ? kMarginColumnWidth : kColumnWidth;
}

std::size_t ReportSheet::index(int column, int row) const {
    if (column < 1 || column > kColumnCount || row < 1 || row > rows_)
        throw std::out_of_range("report cell outside the sheet");
    return static_cast<std::size_t>(row - 1) * kColumnCount + static_cast<std::size_t>(column - 1);
}

const ReportCell& ReportSheet::cell(int column, int row) const {
    return cells_[index(column, row)];
}

ReportCell& ReportSheet::cell(int column, int row) {
    return cells_[index(column, row)];
}

void ReportSheet::setText(int column, int row, std::string text) {
    cell(column, row).text = std::move(text);
}

void ReportSheet::join(int column, int row, int columnCount, int rowCount) {
    ReportJoin j{column, row, columnCount, rowCount};
    // Both corners must lie on the sheet; index() throws otherwise.
    (void)index(column, row);
    (void)index(j.lastColumn(), j.lastRow());
    if (columnCount < 1 || rowCount < 1) throw std::out_of_range("empty report join");
    bool overlaps = false;
    for (int r = j.row; r <= j.lastRow() && !overlaps; ++r)
        for (int c = j.column; c <= j.lastColumn() && !overlaps; ++c)
            overlaps = joinOf_[index(c, r)] >= 0;
    if (overlaps) {
        // Rare: the joins it replaces go, and the cells are indexed again.
        std::erase_if(joins_, [&](const ReportJoin& old) {
            return old.column <= j.lastColumn() && j.column <= old.lastColumn() &&
                   old.row <= j.lastRow() && j.row <= old.lastRow();
        });
        std::fill(joinOf_.begin(), joinOf_.end(), -1);
        for (std::size_t k = 0; k < joins_.size(); ++k) mark(joins_[k], static_cast<int>(k));
    }
    joins_.push_back(j);
    mark(j, static_cast<int>(joins_.size() - 1));
}

void ReportSheet::mark(const ReportJoin& j, int joinIndex) {
    for (int r = j.row; r <= j.lastRow(); ++r)
        for (int c = j.column; c <= j.lastColumn(); ++c) joinOf_[index(c, r)] = joinIndex;
}

template <typename Fn>
void ReportSheet::forEach(const ReportRange& range, Fn fn) {
    for (int r = range.row1; r <= range.row2; ++r)
        for (int c = range.column1; c <= range.column2; ++c) fn(c, r, cell(c, r));
}

void ReportSheet::setBold(const ReportRange& range) {
    forEach(range, [](int, int, ReportCell& c) { c.bold = true; });
}

void ReportSheet::setBackground(const ReportRange& range, ReportColour colour) {
    forEach(range, [&](int, int, ReportCell& c) { c.background = colour; });
}

void ReportSheet::setForeground(const ReportRange& range, ReportColour colour) {
    forEach(range, [&](int, int, ReportCell& c) { c.foreground = colour; });
}

void ReportSheet::outline(const ReportRange& range) {
    forEach(range, [&](int c, int r, ReportCell& cell) {
        if (r == range.row1) cell.edges |= kReportEdgeTop;
        if (r == range.row2) cell.edges |= kReportEdgeBottom;
        if (c == range.column1) cell.edges |= kReportEdgeLeft;
        if (c == range.column2) cell.edges |= kReportEdgeRight;
    });
}

const ReportJoin* ReportSheet::joinAt(int column, int row) const {
    if (column < 1 || column > kColumnCount || row < 1 || row > rows_) return nullptr;
    const int k = joinOf_[index(column, row)];
    return k >= 0 ? &joins_[static_cast<std::size_t>(k)] : nullptr;
}

ReportJoin ReportSheet::blockAt(int column, int row) const {
    const ReportJoin* j = joinAt(column, row);
    return j ? *j : ReportJoin{column, row, 1, 1};
}

std::uint8_t ReportSheet::blockEdges(const ReportJoin& block) const {
    std::uint8_t edges = 0;
    for (int c = block.column; c <= block.lastColumn(); ++c) {
        edges |= cell(c, block.row).edges & kReportEdgeTop;
        edges |= cell(c, block.lastRow()).edges & kReportEdgeBottom;
    }
    for (int r = block.row; r <= block.lastRow(); ++r) {
        edges |= cell(block.column, r).edges & kReportEdgeLeft;
        edges |= cell(block.lastColumn(), r).edges & kReportEdgeRight;
    }
    return edges;
}

}  // namespace korvane
