#include "report/ui/report_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>

#include "common/prompter.h"
#include "host/tool_services.h"
#include "host/ui/file_dialogs.h"
#include "host/ui/qt_prompter.h"
#include "host/ui/qt_text.h"
#include "host/ui/window_placement.h"
#include "report/report_settings.h"
#include "report/ui/report_header_dialog.h"
#include "report/ui/report_printer.h"
#include "report/ui/report_view.h"

namespace korvane {

CReportFrame::CReportFrame(ToolServices& services, ReportHost& editor, QWidget* owner)
    : QMainWindow(owner, Qt::Window),
      services_(services),
      prompter_(services.prompter, this),
      session_(editor, services.settings, services.clock),
      view_(new CReportView(this)) {
    setWindowTitle(qtTr(kReportCaption));
    setCentralWidget(view_);
    QMenu* menu = menuBar()->addMenu(qtTr("レポート"));
    QAction* refreshAction = menu->addAction(qtTr("更新"), this, &CReportFrame::refresh);
    refreshAction->setShortcut(QKeySequence::Refresh);
    refreshAction->setStatusTip(qtTr(kReportRefreshText));
    menu->addAction(qtTr("レポートヘッダ..."), this, &CReportFrame::editHeader);
    menu->addAction(qtTr("エクスポート..."), this, &CReportFrame::exportReport);
    menu->addAction(qtTr("印刷..."), this, &CReportFrame::print)->setShortcut(QKeySequence::Print);
    menu->addSeparator();
    menu->addAction(qtTr("閉じる"), this, &QWidget::close);
    statusBar();
    resize(820, 600);
}

CReportFrame::~CReportFrame() = default;

void CReportFrame::showNode(const ReportNode& node) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    session_.show(node);
    redraw();
    QApplication::restoreOverrideCursor();
}

void CReportFrame::refresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    session_.refresh();
    redraw();
    QApplication::restoreOverrideCursor();
}

void CReportFrame::headerChanged() {
    session_.headerChanged();
    redraw();
}

void CReportFrame::editHeader() {
    auto* dialog = new CReportHeaderDlg(services_.settings, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] { headerChanged(); });
    dialog->open();
}

void CReportFrame::exportReport() {
    const FileDialogRequest request{.filter = kReportExportFilter,
                                    .title = kReportExportTitle,
                                    .startDir = LoadReportExportDir(services_.settings),
                                    .overwritePrompt = true,
                                    .save = true,
                                    .selectedFilter = LoadReportFilterIndex(services_.settings),
                                    .filterExtensions = {"xlsx", "htm"}};
    OpenFileDialog(this, request, [this](const QString& chosen, int filter) {
        if (chosen.isEmpty()) return;
        exportTo(chosen.toStdString(), filter == 2 ? 2 : 1);
    });
}

bool CReportFrame::exportTo(const std::string& chosen, int filterIndex) {
    const ReportExportResult result = session_.exportTo(chosen, filterIndex);
    if (!result.ok) showFailure(result.error);
    return result.ok;
}

void CReportFrame::print() {
    OpenPrintPreview(
        this,
        [](QPrinter& printer) {
            SetUpReportPrinter(printer);
            printer.setDocName(qtText(ReportJobCounter::Process().next()));
        },
        [this](QPrinter* target) { printTo(*target); });
}

bool CReportFrame::printTo(QPrinter& printer) {
    statusBar()->showMessage(qtTr(kReportPrintingText));
    std::string error;
    const bool ok = PrintReportSheet(session_.document().sheet(), printer, &error);
    statusBar()->clearMessage();
    if (!ok) showFailure(error);
    return ok;
}

void CReportFrame::redraw() {
    setWindowTitle(qtText(session_.document().windowTitle()));
    view_->showSheet(session_.document().sheet());
}

void CReportFrame::showFailure(const std::string& text) {
    prompter_.error(text, Tr(kReportCaption));
}

void CReportFrame::activate() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CReportFrame::requestClose() {
    close();
}

std::vector<std::uint8_t> CReportFrame::savePlacement() const {
    return PlacementBytes(*this);
}

void CReportFrame::restorePlacement(const std::vector<std::uint8_t>& placement) {
    RestorePlacementBytes(*this, placement);
}

void CReportFrame::onDriveEvent(const DriveEvent& event) {
    if (event.kind == DriveEventKind::kNameChanged &&
        event.station == session_.document().node().station) {
        session_.deviceNameChanged();
        redraw();
    }
}

void CReportFrame::closeEvent(QCloseEvent* event) {
    CloseOpenDialogs(this);
    if (!closed_) {
        closed_ = true;
        session_.host().reportClosed();
        services_.host.toolFrameClosing(this);
    }
    event->accept();
}

}  // namespace korvane
