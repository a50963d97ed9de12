#include "editor/ui/compare_result_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "editor/transfer_run.h"
#include "host/ui/qt_text.h"
#include "host/ui/report_table.h"

namespace korvane {
namespace {

// Room for the header's margins and the cell padding of the style.
constexpr int kCellPadding = 14;
constexpr int kFewestRowsShown = 6;
constexpr int kMostRowsShown = 16;
// A long value shows in full in its tool tip rather than stretching the list off the screen.
constexpr int kWidestColumn = 320;

}  // namespace

CompareResultDialog::CompareResultDialog(std::vector<CompareRow> rows, QWidget* parent,
                                         const std::string& title)
    : QDialog(parent), content_(std::move(rows)), table_(new QTableWidget(this)) {
    setWindowTitle(qtText(title));
    QStringList headers;
    for (const CompareColumn& column : CompareResult::kColumns) headers << qtTr(column.heading);
    table_->setColumnCount(static_cast<int>(headers.size()));
    SetUpReportTable(*table_, headers);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    fill();
    sizeColumns();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(qtTr(kCloseLabel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    close->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);

    int width = table_->frameWidth() * 2 + table_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < table_->columnCount(); ++c) width += table_->columnWidth(c);
    table_->setMinimumWidth(width);
    // A short list shows whole; a long one scrolls.
    const int shown = std::clamp(table_->rowCount(), kFewestRowsShown, kMostRowsShown);
    table_->setMinimumHeight(table_->frameWidth() * 2 +
                             table_->horizontalHeader()->sizeHint().height() +
                             table_->verticalHeader()->defaultSectionSize() * shown);

    if (table_->rowCount() > 0) {
        table_->selectRow(0);
        table_->setCurrentCell(0, 0);
    }
    table_->setFocus();
}

void CompareResultDialog::fill() {
    const auto& rows = content_.rows();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const auto cells = CompareResult::Cells(rows[static_cast<std::size_t>(r)]);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(qtText(cells[static_cast<std::size_t>(c)]));
            item->setToolTip(item->text());
            table_->setItem(r, c, item);
        }
    }
}

// The widths are those of the original list, in pixels of its small font; a heading or a value
// that a larger font would cut off widens its column instead.
void CompareResultDialog::sizeColumns() {
    const QFontMetrics header = table_->horizontalHeader()->fontMetrics();
    const QFontMetrics cells = table_->fontMetrics();
    for (int c = 0; c < table_->columnCount(); ++c) {
        const CompareColumn& column = CompareResult::kColumns[static_cast<std::size_t>(c)];
        int width =
            std::max(column.width, header.horizontalAdvance(qtTr(column.heading)) + kCellPadding);
        for (int r = 0; r < table_->rowCount(); ++r)
            width =
                std::max(width, cells.horizontalAdvance(table_->item(r, c)->text()) + kCellPadding);
        table_->setColumnWidth(c, std::min(width, std::max(column.width, kWidestColumn)));
    }
}

}  // namespace korvane
