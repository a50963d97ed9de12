#pragma once
// The look both list panes share: a report-style table with one selected row, grid lines and
// headers on the left, rows as tall as the text.
#include <QStringList>
#include <QTableWidget>

namespace korvane {

void SetUpReportTable(QTableWidget& table, const QStringList& headers);

}  // namespace korvane
