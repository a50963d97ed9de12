#pragma once
// The report window of one parameter editor: opened, re-targeted and closed by the editor, and
// given the editor's data whenever it refreshes.
#include <QPointer>

#include "editor/para_editor.h"
#include "host/tool_services.h"
#include "report/report_session.h"

class QWidget;

namespace korvane {

class CReportFrame;

class ParaEditorReport : public ReportHost {
public:
    ParaEditorReport(ToolServices& services, ParaEditor& frame, QWidget& editor);
    ~ParaEditorReport() override;

    // The editor's report commands (report, header, export, print).
    void Execute(int command);
    CReportFrame* Frame() const;
    void Close();
    void DeviceNameChanged();

    // ReportHost
    ReportSource reportSource() const override;
    void reportClosed() override;

private:
    void open();
    ReportNode selectedNode() const;
    std::string placementKey() const;

    ToolServices services_;
    ParaEditor& frame_;
    QWidget& editor_;
    QPointer<CReportFrame> report_;
};

}  // namespace korvane
