// The workbook library has no Windows build yet: reports are written as web pages there, and a
// workbook asked for is refused with a message instead of an empty or broken file.
#include "report/report_writers.h"

namespace korvane {
namespace {

constexpr char kNoWorkbooks[] =
    "this Windows build cannot write .xlsx workbooks yet; write the report as .htm instead";

}  // namespace

bool CanWriteReportXlsx(std::string* why) {
    if (why) *why = kNoWorkbooks;
    return false;
}

ReportExportResult WriteReportXlsx(const ReportSheet&, const std::string&) {
    return {false, kNoWorkbooks};
}

}  // namespace korvane
