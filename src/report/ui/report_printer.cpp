#include "report/ui/report_printer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <vector>

#include "host/ui/qt_text.h"
#include "report/report_settings.h"
#include "report/report_sheet.h"

namespace korvane {
namespace {

// A spreadsheet's default row: 15 points.
constexpr int kRowTwips = 300;
constexpr double kTwipsPerPoint = 20.0;

struct PageGeometry {
    double scale = 1.0;  // device pixels per twip
    QRectF body;         // where rows go, in device pixels relative to the printable area
    double rowHeight = 0;
    int rowsPerPage = 1;
    QRectF footer;
};

PageGeometry Geometry(QPrinter& printer) {
    PageGeometry g;
    const QRectF area = printer.pageLayout().paintRectPixels(printer.resolution());
    g.scale = printer.resolution() / 1440.0;
    double sheetWidth = 0;
    for (int c = 1; c <= ReportSheet::columnCount(); ++c) sheetWidth += ReportSheet::columnWidth(c);
    // A page narrower than the sheet gets the whole sheet, smaller.
    g.scale = std::min(g.scale, area.width() / sheetWidth);
    g.rowHeight = kRowTwips * g.scale;
    g.footer = QRectF(0, area.height() - g.rowHeight, area.width(), g.rowHeight);
    g.body = QRectF(0, 0, sheetWidth * g.scale, area.height() - g.rowHeight);
    g.rowsPerPage = std::max(1, static_cast<int>(g.body.height() / g.rowHeight));
    return g;
}

void PaintBlock(QPainter& p, const ReportSheet& sheet, const ReportJoin& block, QRectF rect) {
    const ReportCell& cell = sheet.cell(block.column, block.row);
    if (cell.background) {
        const ReportColour& b = *cell.background;
        p.fillRect(rect, QColor(b.red, b.green, b.blue));
    }
    if (!cell.text.empty()) {
        QFont font = p.font();
        font.setBold(cell.bold);
        p.setFont(font);
        p.setPen(QColor(cell.foreground.red, cell.foreground.green, cell.foreground.blue));
        const double pad = rect.height() * 0.15;
        const QRectF box = rect.adjusted(pad, 0, -pad, 0);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                   FittedCellText(QFontMetricsF(font, p.device()), cell.text, box.width()));
    }
    const std::uint8_t edges = sheet.blockEdges(block);
    p.setPen(QPen(Qt::black, 0));
    if (edges & kReportEdgeTop) p.drawLine(rect.topLeft(), rect.topRight());
    if (edges & kReportEdgeBottom) p.drawLine(rect.bottomLeft(), rect.bottomRight());
    if (edges & kReportEdgeLeft) p.drawLine(rect.topLeft(), rect.bottomLeft());
    if (edges & kReportEdgeRight) p.drawLine(rect.topRight(), rect.bottomRight());
}

void PaintRow(QPainter& p, const ReportSheet& sheet, int row, double top, const PageGeometry& g) {
    double x = 0;
    for (int c = 1; c <= ReportSheet::columnCount();) {
        const ReportJoin block = sheet.blockAt(c, row);
        double width = 0;
        for (int k = c; k <= block.lastColumn(); ++k)
            width += ReportSheet::columnWidth(k) * g.scale;
        if (block.row == row) PaintBlock(p, sheet, block, QRectF(x, top, width, g.rowHeight));
        x += width;
        c = block.lastColumn() + 1;
    }
}

}  // namespace

void SetUpReportPrinter(QPrinter& printer) {
    const double margin = kReportPrintMargin / kTwipsPerPoint;
    printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Point);
}

int ReportRowsPerPage(QPrinter& printer) {
    return Geometry(printer).rowsPerPage;
}

int ReportPageCount(const ReportSheet& sheet, QPrinter& printer) {
    return static_cast<int>(PaginateReport(sheet, ReportRowsPerPage(printer)).size());
}

QString FittedCellText(const QFontMetricsF& metrics, const std::string& text, double width) {
    return metrics.elidedText(qtText(text), Qt::ElideRight, width);
}

bool PrintReportSheet(const ReportSheet& sheet, QPrinter& printer, std::string* error) {
    const PageGeometry g = Geometry(printer);
    const std::vector<ReportPageRows> layout = PaginateReport(sheet, g.rowsPerPage);
    const int pages = static_cast<int>(layout.size());
    QPainter p;
    if (!p.begin(&printer)) {
        if (error)
            *error = "cannot print to " + printer.printerName().toStdString() +
                     printer.outputFileName().toStdString();
        return false;
    }
    QFont font(qtText(ReportSheet::kFontName));
    font.setPointSizeF(ReportSheet::kFontPoints);
    p.setFont(font);
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            if (error) *error = "the printer refused a new page";
            p.end();
            return false;
        }
        const ReportPageRows& rows = layout[static_cast<std::size_t>(page)];
        double top = 0;
        if (rows.repeatedHeading > 0) {
            PaintRow(p, sheet, rows.repeatedHeading, top, g);
            top += g.rowHeight;
        }
        for (int row = rows.first; row <= rows.last; ++row, top += g.rowHeight)
            PaintRow(p, sheet, row, top, g);
        QFont plain = font;
        p.setFont(plain);
        p.setPen(Qt::black);
        p.drawText(g.footer, Qt::AlignCenter, qtText(ReportPageFooter(page + 1, pages)));
    }
    return p.end();
}

}  // namespace korvane
