#pragma once
// "接続情報": renders the drive list's rows and hands clicks back to the controller.
#include <QTableWidget>
#include <array>

#include "app/drive_list_model.h"

class QMenu;

namespace korvane {

class MainController;

class DriveListView : public QTableWidget {
    Q_OBJECT
public:
    explicit DriveListView(MainController& controller, QWidget* parent = nullptr);

    // Brings the table in line with the controller's rows and selection.
    void render();

    std::array<int, kDriveListColumns> columnWidths() const;
    void setColumnWidths(const std::array<int, kDriveListColumns>& widths);

    // The right-click menu of a row; the caller shows it and owns it.
    QMenu* buildContextMenu(int row, QWidget* parent);

signals:
    // A command chosen from the row's menu or by a double-click.
    void commandTriggered(int command);
    void selectionChanged();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void onCurrentRowChanged();
    void setCell(int row, int column, const std::string& text, bool stale);

    MainController& controller_;
    bool rendering_ = false;
};

}  // namespace korvane
