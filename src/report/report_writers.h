#pragma once
// Turns the report sheet into a workbook (.xlsx) or one self-contained web page (.htm). Every
// file is written beside its target first and renamed over it only when complete, so a failed
// export never leaves half a file where an older report was.
#include <string>

#include "report/report_settings.h"
#include "report/report_sheet.h"

namespace korvane {

struct ReportExportResult {
    bool ok = false;
    std::string error;  // why not, for the message box
};

// The page as text: UTF-8, declared in the page; every cell text is escaped.
std::string RenderReportHtml(const ReportSheet& sheet, const std::string& title);

ReportExportResult WriteReportHtml(const ReportSheet& sheet, const std::string& path,
                                   const std::string& title);
ReportExportResult WriteReportXlsx(const ReportSheet& sheet, const std::string& path);
// Whether this build can write workbooks; when not, `why` says so for the user.
bool CanWriteReportXlsx(std::string* why = nullptr);
ReportExportResult ExportReport(const ReportSheet& sheet, const ReportExportTarget& target,
                                const std::string& title);

// Column widths in pixels at 96 dots per inch (the sheet keeps twips).
int ReportColumnPixels(int column);

}  // namespace korvane
