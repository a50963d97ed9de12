#include "report/report_settings.h"

#include <algorithm>

#include "common/file_path.h"
#include "common/format.h"
#include "common/settings_store.h"
#include "common/text.h"
#include "common/translation.h"

namespace korvane {

std::string ClipChars(const std::string& text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) continue;  // continuation bytes belong to the last character
        if (chars++ == limit) return text.substr(0, i);
    }
    return text;
}

ReportHeaderTexts LoadReportHeader(const SettingsStore& settings) {
    return {settings.getString(kReportSettingsSection, kReportCompanyKey, ""),
            settings.getString(kReportSettingsSection, kReportDivisionKey, ""),
            settings.getString(kReportSettingsSection, kReportAuthorKey, "")};
}

void SaveReportHeader(SettingsStore& settings, const ReportHeaderTexts& header) {
    settings.setString(kReportSettingsSection, kReportCompanyKey,
                       ClipChars(header.company, kReportHeaderTextLimit));
    settings.setString(kReportSettingsSection, kReportDivisionKey,
                       ClipChars(header.division, kReportHeaderTextLimit));
    settings.setString(kReportSettingsSection, kReportAuthorKey,
                       ClipChars(header.author, kReportHeaderTextLimit));
}

int LoadReportFilterIndex(const SettingsStore& settings) {
    const int index = settings.getInt(kReportSettingsSection, kReportFilterIndexKey, 1);
    return index == 2 ? 2 : 1;
}

std::string LoadReportExportDir(const SettingsStore& settings) {
    return settings.getString(kReportSettingsSection, kReportExportDirKey, "");
}

void SaveReportExportChoice(SettingsStore& settings, const std::string& dir, int filterIndex) {
    settings.setString(kReportSettingsSection, kReportExportDirKey, dir);
    settings.setInt(kReportSettingsSection, kReportFilterIndexKey, filterIndex == 2 ? 2 : 1);
}

bool ReportFormatOfPath(const std::string& path, ReportFormat& format) {
    const std::string ext = AsciiLower(Utf8FromPath(PathFromUtf8(path).extension()));
    if (ext == ".xlsx") {
        format = ReportFormat::kXlsx;
        return true;
    }
    if (ext == ".htm" || ext == ".html") {
        format = ReportFormat::kHtml;
        return true;
    }
    return false;
}

ReportExportTarget ResolveReportExportTarget(const std::string& chosen, int filterIndex) {
    ReportExportTarget target{chosen, filterIndex == 2 ? ReportFormat::kHtml : ReportFormat::kXlsx};
    if (ReportFormatOfPath(chosen, target.format)) return target;
    if (!PathFromUtf8(chosen).has_extension())
        target.path += target.format == ReportFormat::kHtml ? ".htm" : ".xlsx";
    return target;
}

std::string ReportJobCounter::next() {
    return strprintf("KVNE Report%d", next_++);
}

ReportJobCounter& ReportJobCounter::Process() {
    static ReportJobCounter counter;
    return counter;
}

std::string ReportPageFooter(int page, int pageCount) {
    return strprintf(Tr("%d / %d ページ"), page, pageCount);
}

}  // namespace korvane
