#include "report/report_session.h"

#include "common/clock.h"
#include "common/file_path.h"
#include "common/settings_store.h"
#include "report/report_settings.h"

namespace korvane {

ReportSession::ReportSession(ReportHost& host, SettingsStore& settings, const Clock& clock)
    : host_(host), settings_(settings), clock_(clock) {}

void ReportSession::show(ReportNode node) {
    document_.setNode(std::move(node));
    refresh();
}

void ReportSession::refresh() {
    ReportSource source = host_.reportSource();
    source.header = LoadReportHeader(settings_);
    source.now = clock_.now();
    document_.refresh(source);
}

void ReportSession::headerChanged() {
    document_.rewriteHeader(LoadReportHeader(settings_));
}

void ReportSession::deviceNameChanged() {
    document_.rewriteDeviceName(host_.reportSource().deviceName);
}

ReportExportResult ReportSession::exportTo(const std::string& chosen, int filterIndex) {
    const ReportExportTarget target = ResolveReportExportTarget(chosen, filterIndex);
    SaveReportExportChoice(settings_, Utf8FromPath(PathFromUtf8(target.path).parent_path()),
                           filterIndex);
    return ExportReport(document_.sheet(), target, kReportCaption);
}

}  // namespace korvane
