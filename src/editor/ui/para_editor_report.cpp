#include "editor/ui/para_editor_report.h"

#include <QWidget>

#include "common/format.h"
#include "common/settings_store.h"
#include "host/settings.h"
#include "host/tool_frames.h"
#include "paradb/data_file.h"
#include "paradb/drive_record.h"
#include "paradb/user_group.h"
#include "report/ui/report_frame.h"
#include "report/ui/report_header_dialog.h"

namespace korvane {

ParaEditorReport::ParaEditorReport(ToolServices& services, ParaEditor& frame, QWidget& editor)
    : services_(services), frame_(frame), editor_(editor) {}

ParaEditorReport::~ParaEditorReport() {
    // The editor is going: the report goes with it without calling back.
    if (report_) {
        CReportFrame* report = report_.data();
        report_ = nullptr;
        delete report;
    }
}

CReportFrame* ParaEditorReport::Frame() const {
    return report_.data();
}

void ParaEditorReport::Execute(int command) {
    switch (command) {
        case kCmdReport:
            open();
            break;
        case kCmdReportHeader: {
            // Non-modal like the rest of the editor's dialogs; the report follows on OK.
            auto* dialog = new CReportHeaderDlg(services_.settings, &editor_);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(dialog, &QDialog::accepted, dialog, [this] {
                if (report_) report_->headerChanged();
            });
            dialog->open();
            break;
        }
        case kCmdReportExtra1:
            open();
            report_->exportReport();
            break;
        case kCmdReportExtra2:
            open();
            report_->print();
            break;
        default:
            break;
    }
}

void ParaEditorReport::open() {
    if (report_) {
        if (report_->isMinimized()) report_->showNormal();
        report_->raise();
        report_->activateWindow();
        report_->showNode(selectedNode());
        return;
    }
    auto* report = new CReportFrame(services_, *this, &editor_);
    report->setAttribute(Qt::WA_DeleteOnClose);
    report_ = report;
    std::vector<std::uint8_t> placement;
    if (services_.settings.getBytes(kPlacementSection, placementKey(), placement))
        report->restorePlacement(placement);
    report->showNode(selectedNode());
    report->show();
}

void ParaEditorReport::Close() {
    if (report_) report_->close();
}

void ParaEditorReport::DeviceNameChanged() {
    if (report_) report_->onDriveEvent(DriveEvent(DriveEventKind::kNameChanged, frame_.Key()));
}

ReportNode ParaEditorReport::selectedNode() const {
    const ParaNode node = frame_.Tree().Selected();
    ReportNode out;
    out.station = frame_.Key();
    switch (node.kind) {
        case NodeKind::kGroup:
            out.kind = ReportKind::kGroup;
            out.name = node.group ? node.group->name : std::string();
            break;
        case NodeKind::kUserGroup:
            out.kind = ReportKind::kUserGroup;
            out.name = node.custom ? node.custom->title : std::string();
            break;
        default:
            out.kind = ReportKind::kAllGroups;
            break;
    }
    return out;
}

ReportSource ParaEditorReport::reportSource() const {
    ReportSource source;
    source.drive = &frame_.Record();
    source.dataFile = &frame_.Data();
    for (const auto& group : frame_.Groups().All()) source.userGroups.push_back(group.get());
    if (frame_.IsOnline())
        source.deviceName = services_.settings.getString(kSettingsSectionInvName,
                                                         strprintf("Inv Name%d", frame_.Key()), "");
    return source;
}

void ParaEditorReport::reportClosed() {
    // Called from the report's close: its geometry is still the one the user left.
    if (report_) {
        const auto placement = report_->savePlacement();
        if (!placement.empty())
            services_.settings.setBytes(kPlacementSection, placementKey(), placement);
    }
    report_ = nullptr;
    editor_.raise();
    editor_.activateWindow();
}

std::string ParaEditorReport::placementKey() const {
    return ToolFrameRegistry::placementKey(kKindReport, frame_.Key());
}

}  // namespace korvane
