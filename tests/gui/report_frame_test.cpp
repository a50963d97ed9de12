// The report window offscreen: the sheet drawn as a table with spans, the header dialog, the
// export and print failures shown in message boxes, and a print to PDF read back as text.
#include "report/ui/report_frame.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include "../unit/report/report_test_data.h"
#include "app/ui/qt_executor.h"
#include "comm/drive_link.h"
#include "common/prompter.h"
#include "common/settings_store.h"
#include "gui_rig.h"
#include "host/tool_services.h"
#include "host/ui/file_dialogs.h"
#include "report/report_settings.h"
#include "report/ui/report_header_dialog.h"
#include "report/ui/report_printer.h"
#include "report/ui/report_view.h"

namespace korvane::gui {
namespace {

class NoHost : public ToolHost {
public:
    bool graphWatchActive() const override { return false; }
    void setGraphWatchActive(bool) override {}
    void deviceNameChanged(int) override {}
    void openToolWindow(int, int) override {}
    int freeOfflineKey() const override { return -1; }
    void toolFrameClosing(const ToolFrame* frame) override { closing.push_back(frame); }

    std::vector<const ToolFrame*> closing;
};

class FakeEditor : public ReportHost {
public:
    explicit FakeEditor(std::vector<int> groups) : drive(std::move(groups)) {}
    ReportSource reportSource() const override {
        ReportSource s = drive.source();
        s.deviceName = deviceName;
        return s;
    }
    void reportClosed() override { ++closedCount; }

    testing::ReportDrive drive;
    std::string deviceName = "Pump";
    int closedCount = 0;
};

struct FrameRig {
    explicit FrameRig(std::vector<int> groups) : editor(std::move(groups)) {
        TestApp();
        SaveReportHeader(settings, {"ACME", "Works", "Ito"});
        frame = std::make_unique<CReportFrame>(services, editor);
    }

    QtExecutor executor;
    CDriveLink link{executor, [] { return std::unique_ptr<Port>(); }};
    DriveRecords records;
    MemorySettingsStore settings;
    RecordingPrompter prompter;
    FixedClock clock{LocalTime{2009, 3, 5, 14, 7, 9, 0}};
    NoHost host;
    ToolServices services{link, records, settings, prompter, clock, executor, host, {}};
    FakeEditor editor;
    std::unique_ptr<CReportFrame> frame;
};

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST(ReportFrame, DrawsTheSheetWithSpansAndRewritesHeaderAndName) {
    FrameRig rig({3, 4});
    rig.frame->showNode({3, ReportKind::kAllGroups, ""});
    CReportView& view = *rig.frame->view();
    ASSERT_EQ(view.rowCount(), 20);
    ASSERT_EQ(view.columnCount(), 12);
    EXPECT_EQ(view.columnSpan(14, 1), 10);
    EXPECT_EQ(view.item(14, 1)->text(), QStringLiteral("[ パラメータグループ名 : G2 ]"));
    EXPECT_EQ(view.columnSpan(15, 2), 3);
    EXPECT_EQ(view.item(2, 3)->text(), QStringLiteral("2009.03.05  14:07:09"));
    EXPECT_TRUE(view.item(1, 1)->font().bold());
    EXPECT_EQ(view.item(1, 1)->background().color(), QColor(189, 255, 148));

    CReportHeaderDlg dialog(rig.settings);
    EXPECT_EQ(dialog.companyEdit()->text(), QStringLiteral("ACME"));
    EXPECT_EQ(dialog.companyEdit()->maxLength(), 20);
    dialog.authorEdit()->setText(QStringLiteral("Mori"));
    dialog.accept();
    rig.frame->headerChanged();
    EXPECT_EQ(view.item(2, 8)->text(), QStringLiteral("Mori"));

    rig.editor.deviceName = "Blower";
    rig.frame->onDriveEvent(DriveEvent(DriveEventKind::kNameChanged, 3));
    EXPECT_EQ(view.item(4, 3)->text(), QStringLiteral("Blower"));
    rig.frame->onDriveEvent(DriveEvent(DriveEventKind::kNameChanged, 4));
    EXPECT_EQ(view.item(4, 3)->text(), QStringLiteral("Blower"));

    rig.frame->close();
    EXPECT_EQ(rig.editor.closedCount, 1);
    EXPECT_EQ(rig.host.closing, (std::vector<const ToolFrame*>{rig.frame.get()}));
}

TEST(ReportFrame, PrintsNumberedPagesToPdf) {
    FrameRig rig({30, 40, 25});
    rig.frame->showNode({3, ReportKind::kAllGroups, ""});
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    SetUpReportPrinter(printer);
    const int pages = ReportPageCount(rig.frame->session().document().sheet(), printer);
    ASSERT_GT(pages, 1);
    ASSERT_TRUE(rig.frame->printTo(printer));
    EXPECT_TRUE(rig.prompter.entries().empty());

    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))))
        << info.toStdString();
    const QString text =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("1 / %1 ページ").arg(pages))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("%1 / %1 ページ").arg(pages)));
    EXPECT_TRUE(text.contains(QStringLiteral("[ パラメータグループ名 : G3 ]")));
    EXPECT_TRUE(text.contains(QStringLiteral("P3-24")));  // the last row made it onto paper
    EXPECT_TRUE(text.contains(QStringLiteral("ACME")));
}

// Every printed page has its column headings; a name too long for its cell ends in an
// ellipsis; the window says whose report it is.
TEST(ReportFrame, EveryPrintedPageHasHeadingsAndCutNamesEndInAnEllipsis) {
    FrameRig rig({120});
    rig.editor.drive.item(0, 40).displayName = std::string(60, 'W') + "TAIL";
    rig.frame->showNode({3, ReportKind::kAllGroups, ""});
    EXPECT_EQ(rig.frame->windowTitle(), QStringLiteral("Parameter Report - 3 : Kapok"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    SetUpReportPrinter(printer);
    const int pages = ReportPageCount(rig.frame->session().document().sheet(), printer);
    ASSERT_GT(pages, 1);
    ASSERT_TRUE(rig.frame->printTo(printer));
    for (int page = 1; page <= pages; ++page) {
        const QString n = QString::number(page);
        const QString text = RunTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-f"), n, QStringLiteral("-l"), n,
                                      QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.contains(QStringLiteral("パラメータ名"))) << page << text.toStdString();
    }
    const QString all =
        RunTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_FALSE(all.contains(QStringLiteral("TAIL")));
    EXPECT_TRUE(all.contains(QStringLiteral("WWW…"))) << all.toStdString();

    const QFontMetricsF metrics(QFont(QStringLiteral("Sans"), 10));
    EXPECT_EQ(FittedCellText(metrics, "P1-2", 200), QStringLiteral("P1-2"));
    const QString cut = FittedCellText(metrics, std::string(80, 'M'), 200);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
    EXPECT_LE(metrics.horizontalAdvance(cut), 200);
}

TEST(ReportFrame, ExportAndPrintFailuresAreShown) {
    FrameRig rig({2});
    rig.frame->showNode({3, ReportKind::kAllGroups, ""});
    EXPECT_FALSE(rig.frame->exportTo("/nonexistent-dir/report.xlsx", 1));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QStringLiteral("/nonexistent-dir/report.pdf"));
    EXPECT_FALSE(rig.frame->printTo(printer));
    ASSERT_EQ(rig.prompter.entries().size(), 2u);
    for (const auto& e : rig.prompter.entries()) {
        EXPECT_EQ(e.kind, "error");
        EXPECT_EQ(e.caption, "Parameter Report");
        EXPECT_NE(e.text.find("/nonexistent-dir/report."), std::string::npos) << e.text;
    }
}

TEST(ReportFrame, ExportFilterListsBothFormats) {
    EXPECT_EQ(NameFilters(kReportExportFilter),
              (QStringList{QStringLiteral("Excelファイル (*.xlsx)"),
                           QStringLiteral("HTML File (*.htm)")}));
}

}  // namespace
}  // namespace korvane::gui
