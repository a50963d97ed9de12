#pragma once
// "アラーム来歴": the alarm history, newest first.
#include <QTableWidget>
#include <array>

#include "monitor/fault_list.h"

namespace korvane {

class CHistory;

class FaultListView : public QTableWidget {
    Q_OBJECT
public:
    explicit FaultListView(const CHistory& history, QWidget* parent = nullptr);

    void render();

    std::array<int, kFaultListColumnCount> columnWidths() const;
    void setColumnWidths(const std::array<int, kFaultListColumnCount>& widths);

private:
    const CHistory& history_;
};

}  // namespace korvane
