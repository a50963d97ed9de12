#pragma once
// The report's settings, export choices and the texts its window shows.
#include <atomic>
#include <string>

#include "report/report_document.h"

namespace korvane {

class SettingsStore;

inline constexpr const char* kReportSettingsSection = "Main";
inline constexpr const char* kReportCompanyKey = "Company Header";
inline constexpr const char* kReportDivisionKey = "Devision Header";
inline constexpr const char* kReportAuthorKey = "Manager Header";
inline constexpr const char* kReportExportDirKey = "ReportExport File Dir";
inline constexpr const char* kReportFilterIndexKey = "ReportFile Filter Index";
// The header dialog's fields take at most this many characters.
constexpr std::size_t kReportHeaderTextLimit = 20;

inline constexpr const char* kReportCaption = "Parameter Report";
inline constexpr const char* kReportRefreshText = "レポートデータを更新してください";
inline constexpr const char* kReportHeaderDialogTitle = "レポートヘッダセットアップ";
inline constexpr const char* kReportCompanyLabel = "企業";
inline constexpr const char* kReportDivisionLabel = "部門";
inline constexpr const char* kReportAuthorLabel = "著者";
inline constexpr const char* kReportExportFilter =
    "Excelファイル (*.xlsx)|*.xlsx|HTML File (*.htm)|*.htm||";
inline constexpr const char* kReportExportTitle = "レポートファイルエクスポート";
inline constexpr const char* kReportPrintingText =
    "印刷中－印刷を取り消す場合には、取り消しボタンをクリックしてください";
// Page margins on all four sides, in twips.
constexpr int kReportPrintMargin = 198;

// The first `limit` characters of UTF-8 text.
std::string ClipChars(const std::string& text, std::size_t limit);

ReportHeaderTexts LoadReportHeader(const SettingsStore& settings);
// Stores the texts as the dialog would accept them: each clipped to the field's limit.
void SaveReportHeader(SettingsStore& settings, const ReportHeaderTexts& header);

enum class ReportFormat : int { kXlsx = 1, kHtml = 2 };

// 1 workbook, 2 web page; anything else read from the store is taken as 1.
int LoadReportFilterIndex(const SettingsStore& settings);
std::string LoadReportExportDir(const SettingsStore& settings);
void SaveReportExportChoice(SettingsStore& settings, const std::string& dir, int filterIndex);

struct ReportExportTarget {
    std::string path;
    ReportFormat format = ReportFormat::kXlsx;
};

// The file the export writes for a name chosen with the given filter: a name without extension
// gets the filter's; a name that already says workbook or web page is written as what it says.
ReportExportTarget ResolveReportExportTarget(const std::string& chosen, int filterIndex);
// The format a file name asks for, by extension; false when it names neither.
bool ReportFormatOfPath(const std::string& path, ReportFormat& format);

// "KVNE Report0", "KVNE Report1", ... over the whole run.
class ReportJobCounter {
public:
    std::string next();
    static ReportJobCounter& Process();

private:
    std::atomic<int> next_{0};
};

// "p / n ページ" at the foot of every printed page.
std::string ReportPageFooter(int page, int pageCount);

}  // namespace korvane
