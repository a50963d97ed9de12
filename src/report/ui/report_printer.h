#pragma once
// Lays the report sheet out on printer pages: the sheet's column widths, a spreadsheet's row
// height, the report's margins and "p / n ページ" centred at the foot of every page.
#include <QString>
#include <string>

class QFontMetricsF;
class QPrinter;
class QPainter;

namespace korvane {

class ReportSheet;

// Sets the margins the report prints with.
void SetUpReportPrinter(QPrinter& printer);

// Rows of the sheet that fit one page of the printer as it is set up.
int ReportRowsPerPage(QPrinter& printer);
int ReportPageCount(const ReportSheet& sheet, QPrinter& printer);

// A cell's text as printed in `width`: whole when it fits, else cut with an ellipsis so that
// a cut name is never taken for the whole one.
QString FittedCellText(const QFontMetricsF& metrics, const std::string& text, double width);

// Paints every page; a page that starts inside a list repeats the list's heading row. False with
// `error` set when the printer cannot be drawn on (no such printer, an output file that cannot be
// written).
bool PrintReportSheet(const ReportSheet& sheet, QPrinter& printer, std::string* error);

}  // namespace korvane
