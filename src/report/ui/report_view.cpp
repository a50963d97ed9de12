#include "report/ui/report_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include "host/ui/qt_text.h"
#include "report/report_sheet.h"
#include "report/report_writers.h"

namespace korvane {
namespace {

constexpr int kEdgesRole = Qt::UserRole + 1;

// Draws the cell edges the sheet gives, which a table's uniform grid cannot.
class EdgeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(p, option, index);
        const int edges = index.data(kEdgesRole).toInt();
        if (edges == 0) return;
        const QRect r = option.rect.adjusted(0, 0, -1, -1);
        p->save();
        p->setPen(QPen(Qt::black, 1));
        if (edges & kReportEdgeTop) p->drawLine(r.topLeft(), r.topRight());
        if (edges & kReportEdgeBottom) p->drawLine(r.bottomLeft(), r.bottomRight());
        if (edges & kReportEdgeLeft) p->drawLine(r.topLeft(), r.bottomLeft());
        if (edges & kReportEdgeRight) p->drawLine(r.topRight(), r.bottomRight());
        p->restore();
    }
};

QColor ToQColor(ReportColour c) {
    return QColor(c.red, c.green, c.blue);
}

}  // namespace

CReportView::CReportView(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new EdgeDelegate(this));
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    QFont f(qtText(ReportSheet::kFontName));
    f.setPointSizeF(ReportSheet::kFontPoints);
    setFont(f);
}

void CReportView::showSheet(const ReportSheet& sheet) {
    clear();
    clearSpans();
    setColumnCount(ReportSheet::columnCount());
    setRowCount(sheet.rowCount());
    for (int c = 1; c <= ReportSheet::columnCount(); ++c)
        setColumnWidth(c - 1, ReportColumnPixels(c));
    for (const ReportJoin& j : sheet.joins())
        if (j.columnCount > 1 || j.rowCount > 1)
            setSpan(j.row - 1, j.column - 1, j.rowCount, j.columnCount);
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        for (int c = 1; c <= ReportSheet::columnCount(); ++c) {
            const ReportJoin block = sheet.blockAt(c, r);
            if (block.column != c || block.row != r) continue;
            const ReportCell& cell = sheet.cell(c, r);
            auto* item = new QTableWidgetItem(qtText(cell.text));
            QFont f = font();
            f.setBold(cell.bold);
            item->setFont(f);
            item->setForeground(ToQColor(cell.foreground));
            if (cell.background) item->setBackground(ToQColor(*cell.background));
            item->setData(kEdgesRole, sheet.blockEdges(block));
            setItem(r - 1, c - 1, item);
        }
    }
}

}  // namespace korvane
