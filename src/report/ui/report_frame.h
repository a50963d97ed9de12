#pragma once
// The parameter report window: one per parameter editor, owned by it. It shows the sheet of the
// node the editor chose, refreshes it on demand, edits the header texts, exports and prints.
#include <QMainWindow>
#include <memory>

#include "host/tool_frames.h"
#include "host/tool_services.h"
#include "host/ui/qt_prompter.h"
#include "report/report_session.h"

class QPrinter;

namespace korvane {

class CReportView;

class CReportFrame : public QMainWindow, public ToolFrame {
    Q_OBJECT
public:
    CReportFrame(ToolServices& services, ReportHost& editor, QWidget* owner = nullptr);
    ~CReportFrame() override;

    // A node newly chosen in the editor: shown and refreshed at once.
    void showNode(const ReportNode& node);
    void refresh();
    // The header texts changed in the settings (this window's dialog or the editor's).
    void headerChanged();
    void editHeader();
    // The export and print commands, with their dialogs.
    void exportReport();
    void print();
    // The export once a file is chosen; a failure is shown in a message box.
    bool exportTo(const std::string& chosen, int filterIndex);
    // Paints the sheet for a printer set up by the caller; a failure is shown in a message box.
    bool printTo(QPrinter& printer);

    const ReportSession& session() const { return session_; }
    CReportView* view() const { return view_; }

    // ToolFrame
    void activate() override;
    void requestClose() override;
    std::vector<std::uint8_t> savePlacement() const override;
    void restorePlacement(const std::vector<std::uint8_t>& placement) override;
    void onDriveEvent(const DriveEvent& event) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void redraw();
    void showFailure(const std::string& text);

    ToolServices services_;
    WindowPrompter prompter_;
    ReportSession session_;
    CReportView* view_;
    bool closed_ = false;
};

}  // namespace korvane
