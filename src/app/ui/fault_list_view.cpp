#include "app/ui/fault_list_view.h"

#include <QHeaderView>

#include "host/ui/qt_text.h"
#include "host/ui/report_table.h"
#include "monitor/alarm_history.h"

namespace korvane {

FaultListView::FaultListView(const CHistory& history, QWidget* parent)
    : QTableWidget(0, static_cast<int>(kFaultListColumnCount), parent), history_(history) {
    QStringList headers;
    for (const FaultListColumn& column : kFaultListColumns) headers << qtTr(column.header);
    SetUpReportTable(*this, headers);
}

void FaultListView::render() {
    const auto& entries = history_.entries();
    setRowCount(static_cast<int>(entries.size()));
    for (std::size_t r = 0; r < entries.size(); ++r) {
        const auto texts = FaultListRow(entries[r], r);
        for (std::size_t c = 0; c < kFaultListColumnCount; ++c) {
            const int row = static_cast<int>(r), column = static_cast<int>(c);
            QTableWidgetItem* cell = item(row, column);
            if (!cell) setItem(row, column, cell = new QTableWidgetItem);
            const QString text = qtText(texts[c]);
            if (cell->text() != text) cell->setText(text);
        }
    }
    if (!entries.empty()) {
        selectRow(0);
        scrollToTop();
    }
}

std::array<int, kFaultListColumnCount> FaultListView::columnWidths() const {
    std::array<int, kFaultListColumnCount> widths{};
    for (std::size_t c = 0; c < kFaultListColumnCount; ++c)
        widths[c] = columnWidth(static_cast<int>(c));
    return widths;
}

void FaultListView::setColumnWidths(const std::array<int, kFaultListColumnCount>& widths) {
    for (std::size_t c = 0; c < kFaultListColumnCount; ++c)
        setColumnWidth(static_cast<int>(c), widths[c]);
}

}  // namespace korvane
