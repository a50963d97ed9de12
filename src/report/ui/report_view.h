#pragma once
// The report sheet on screen: a table with the sheet's joins as spans, its column widths, bold,
// colours and cell edges; no grid of its own, so the page looks as it prints.
#include <QTableWidget>

namespace korvane {

class ReportSheet;

class CReportView : public QTableWidget {
    Q_OBJECT
public:
    explicit CReportView(QWidget* parent = nullptr);
    void showSheet(const ReportSheet& sheet);
};

}  // namespace korvane
