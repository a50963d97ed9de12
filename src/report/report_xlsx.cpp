#include <unistd.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/file_path.h"
#include "common/translation.h"
#include "paradb/archive.h"
#include "report/report_writers.h"

namespace korvane {
namespace {

lxw_color_t Colour(ReportColour c) {
    const lxw_color_t rgb = (lxw_color_t{c.red} << 16) | (lxw_color_t{c.green} << 8) | c.blue;
    // Zero means "no colour" to the library; black has its own value.
    return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

// One workbook format per distinct look; the library keeps them until the workbook closes.
class FormatCache {
public:
    explicit FormatCache(lxw_workbook* book) : book_(book) {}

    // `decimals` >= 0: a number shown with that many decimals, as its text showed it.
    lxw_format* get(const ReportCell& cell, int decimals = -1) {
        const lxw_color_t bg = cell.background ? Colour(*cell.background) : LXW_COLOR_UNSET;
        const auto key =
            std::make_tuple(cell.bold, bg, Colour(cell.foreground), cell.edges, decimals);
        auto it = formats_.find(key);
        if (it != formats_.end()) return it->second;
        lxw_format* f = workbook_add_format(book_);
        format_set_font_name(f, ReportSheet::kFontName);
        format_set_font_size(f, ReportSheet::kFontPoints);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        if (cell.bold) format_set_bold(f);
        if (cell.background) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, bg);
        }
        if (cell.foreground != kReportTextBlack) format_set_font_color(f, Colour(cell.foreground));
        if (cell.edges & kReportEdgeTop) format_set_top(f, LXW_BORDER_THIN);
        if (cell.edges & kReportEdgeBottom) format_set_bottom(f, LXW_BORDER_THIN);
        if (cell.edges & kReportEdgeLeft) format_set_left(f, LXW_BORDER_THIN);
        if (cell.edges & kReportEdgeRight) format_set_right(f, LXW_BORDER_THIN);
        if (decimals >= 0) {
            const std::string pattern = decimals == 0 ? "0" : "0." + std::string(decimals, '0');
            format_set_num_format(f, pattern.c_str());
            // Numbers lean right by default; the report shows its figures as it shows texts.
            format_set_align(f, LXW_ALIGN_LEFT);
        }
        formats_.emplace(key, f);
        return f;
    }

private:
    lxw_workbook* book_;
    std::map<std::tuple<bool, lxw_color_t, lxw_color_t, std::uint8_t, int>, lxw_format*> formats_;
};

std::optional<ReportNumber> FigureOf(const ReportCell& cell) {
    return cell.figure ? ReportCellNumber(cell.text) : std::nullopt;
}

// A cell's text, or its number where it is a figure that reads as one.
lxw_error WriteCell(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const ReportCell& cell,
                    FormatCache& formats) {
    if (const auto number = FigureOf(cell))
        return worksheet_write_number(ws, row, col, number->value,
                                      formats.get(cell, number->decimals));
    return worksheet_write_string(ws, row, col, cell.text.c_str(), formats.get(cell));
}

bool IsPlain(const ReportCell& cell) {
    return cell.text.empty() && !cell.bold && !cell.background && cell.edges == 0;
}

// Writes every cell; the first error ends the sheet.
lxw_error FillSheet(lxw_workbook* book, lxw_worksheet* ws, const ReportSheet& sheet) {
    FormatCache formats(book);
    for (int c = 1; c <= ReportSheet::columnCount(); ++c) {
        const auto col = static_cast<lxw_col_t>(c - 1);
        lxw_error e =
            worksheet_set_column_pixels(ws, col, col, ReportColumnPixels(c), formats.get({}));
        if (e != LXW_NO_ERROR) return e;
    }
    for (const ReportJoin& j : sheet.joins()) {
        if (j.columnCount == 1 && j.rowCount == 1) continue;
        const ReportCell& first = sheet.cell(j.column, j.row);
        const auto row = static_cast<lxw_row_t>(j.row - 1);
        const auto col = static_cast<lxw_col_t>(j.column - 1);
        const auto number = FigureOf(first);
        lxw_format* format = formats.get(first, number ? number->decimals : -1);
        lxw_error e = worksheet_merge_range(ws, row, col, static_cast<lxw_row_t>(j.lastRow() - 1),
                                            static_cast<lxw_col_t>(j.lastColumn() - 1),
                                            first.text.c_str(), format);
        // A merge writes a string; a figure's number goes into the merge's first cell after.
        if (e == LXW_NO_ERROR && number)
            e = worksheet_write_number(ws, row, col, number->value, format);
        if (e != LXW_NO_ERROR) return e;
    }
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        for (int c = 1; c <= ReportSheet::columnCount(); ++c) {
            const ReportCell& cell = sheet.cell(c, r);
            const ReportJoin block = sheet.blockAt(c, r);
            const bool joined = block.columnCount > 1 || block.rowCount > 1;
            const auto row = static_cast<lxw_row_t>(r - 1);
            const auto col = static_cast<lxw_col_t>(c - 1);
            lxw_error e = LXW_NO_ERROR;
            if (joined) {
                // The merge wrote the first cell; the others keep their own edges.
                if (block.column != c || block.row != r)
                    e = worksheet_write_blank(ws, row, col, formats.get(cell));
            } else if (!cell.text.empty()) {
                e = WriteCell(ws, row, col, cell, formats);
            } else if (!IsPlain(cell)) {
                e = worksheet_write_blank(ws, row, col, formats.get(cell));
            }
            if (e != LXW_NO_ERROR) return e;
        }
    }
    const double margin = kReportPrintMargin / 1440.0;
    worksheet_set_margins(ws, margin, margin, margin, margin);
    return worksheet_set_footer(ws, Tr("&C&P / &N ページ"));
}

// A fresh empty file beside the target for the library to write into.
std::string MakeTempPath(const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
    const fs::path target = PathFromUtf8(path);
    const fs::path dir = target.parent_path().empty() ? PathFromUtf8(".") : target.parent_path();
    // Built by insert rather than "." + name: g++ 12 at -O3 warns falsely about that concatenation.
    std::string hidden = Utf8FromPath(target.filename());
    hidden.insert(hidden.begin(), '.');
    hidden += ".XXXXXX";
    std::string pattern = Utf8FromPath(dir / PathFromUtf8(hidden));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        *error = "cannot create a temporary file for " + path;
        return {};
    }
    ::close(fd);
    return pattern;
}

}  // namespace

ReportExportResult WriteReportXlsx(const ReportSheet& sheet, const std::string& path) {
    ReportExportResult result;
    const std::string temp = MakeTempPath(path, &result.error);
    if (temp.empty()) return result;

    lxw_error e = LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (lxw_workbook* book = workbook_new(temp.c_str())) {
        lxw_worksheet* ws = workbook_add_worksheet(book, nullptr);
        e = ws ? FillSheet(book, ws, sheet) : LXW_ERROR_MEMORY_MALLOC_FAILED;
        // Closing also frees the workbook; its error counts only if the sheet was written.
        const lxw_error closed = workbook_close(book);
        if (e == LXW_NO_ERROR) e = closed;
    }
    std::vector<std::uint8_t> bytes;
    if (e != LXW_NO_ERROR) {
        result.error = "cannot write " + path + ": " + lxw_strerror(e);
    } else if (ReadWholeFile(temp, bytes, &result.error)) {
        result.ok = SafeSaveFile(path, bytes, &result.error);
    }
    ::unlink(temp.c_str());
    return result;
}

}  // namespace korvane

namespace korvane {

bool CanWriteReportXlsx(std::string*) {
    return true;
}

}  // namespace korvane
