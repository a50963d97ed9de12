#include <sstream>

#include "common/format.h"
#include "paradb/archive.h"
#include "report/report_writers.h"

namespace korvane {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Hex(ReportColour c) {
    return strprintf("#%02x%02x%02x", c.red, c.green, c.blue);
}

std::string CellStyle(const ReportCell& cell, std::uint8_t edges) {
    std::string style;
    static constexpr std::pair<std::uint8_t, const char*> kSides[] = {{kReportEdgeTop, "top"},
                                                                      {kReportEdgeBottom, "bottom"},
                                                                      {kReportEdgeLeft, "left"},
                                                                      {kReportEdgeRight, "right"}};
    for (auto [edge, side] : kSides)
        if (edges & edge) style += std::string("border-") + side + ":1px solid #000;";
    if (cell.bold) style += "font-weight:bold;";
    if (cell.background) style += "background-color:" + Hex(*cell.background) + ";";
    if (cell.foreground != kReportTextBlack) style += "color:" + Hex(cell.foreground) + ";";
    return style;
}

void WriteCell(std::ostringstream& out, const ReportSheet& sheet, const ReportJoin& block) {
    const ReportCell& cell = sheet.cell(block.column, block.row);
    out << "<td";
    if (block.columnCount > 1) out << " colspan=\"" << block.columnCount << '"';
    if (block.rowCount > 1) out << " rowspan=\"" << block.rowCount << '"';
    const std::string style = CellStyle(cell, sheet.blockEdges(block));
    if (!style.empty()) out << " style=\"" << style << '"';
    out << '>' << Escape(cell.text) << "</td>";
}

}  // namespace

int ReportColumnPixels(int column) {
    return (ReportSheet::columnWidth(column) * 96 + 720) / 1440;
}

std::string RenderReportHtml(const ReportSheet& sheet, const std::string& title) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"UTF-8\">\n<title>" << Escape(title)
        << "</title>\n<style>\ntable{border-collapse:collapse;table-layout:fixed;font-family:'"
        << ReportSheet::kFontName << "',sans-serif;font-size:" << ReportSheet::kFontPoints
        << "pt}\ntd{padding:1px 3px;white-space:nowrap;overflow:hidden;height:1.3em}\n"
        << "</style>\n</head>\n<body>\n<table>\n<colgroup>";
    for (int c = 1; c <= ReportSheet::columnCount(); ++c)
        out << "<col style=\"width:" << ReportColumnPixels(c) << "px\">";
    out << "</colgroup>\n";
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        out << "<tr>";
        for (int c = 1; c <= ReportSheet::columnCount(); ++c) {
            const ReportJoin block = sheet.blockAt(c, r);
            // Cells inside a join are drawn by its first cell.
            if (block.column == c && block.row == r) WriteCell(out, sheet, block);
        }
        out << "</tr>\n";
    }
    out << "</table>\n</body>\n</html>\n";
    return out.str();
}

ReportExportResult WriteReportHtml(const ReportSheet& sheet, const std::string& path,
                                   const std::string& title) {
    const std::string page = RenderReportHtml(sheet, title);
    ReportExportResult result;
    result.ok = SafeSaveFile(
        path, {reinterpret_cast<const std::uint8_t*>(page.data()), page.size()}, &result.error);
    return result;
}

ReportExportResult ExportReport(const ReportSheet& sheet, const ReportExportTarget& target,
                                const std::string& title) {
    return target.format == ReportFormat::kHtml ? WriteReportHtml(sheet, target.path, title)
                                                : WriteReportXlsx(sheet, target.path);
}

}  // namespace korvane
