#pragma once
// The list of parameters whose drive value differs from the file's (or, after a download, the
// writes the drive refused): one row each, six columns, and a Close button.
#include <QDialog>
#include <string>
#include <vector>

#include "editor/compare_result.h"

class QTableWidget;

namespace korvane {

class CompareResultDialog : public QDialog {
    Q_OBJECT
public:
    CompareResultDialog(std::vector<CompareRow> rows, QWidget* parent = nullptr,
                        const std::string& title = CompareResult::kTitle);

    QTableWidget* table() const { return table_; }
    const CompareResult& content() const { return content_; }

private:
    void fill();
    void sizeColumns();

    CompareResult content_;
    QTableWidget* table_;
};

}  // namespace korvane
