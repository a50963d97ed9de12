#include "app/ui/drive_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QStyledItemDelegate>

#include "app/main_controller.h"
#include "app/ui/painted_icons.h"
#include "host/ui/qt_text.h"
#include "host/ui/report_table.h"
#include "host/ui/stale_look.h"

namespace korvane {

namespace {

bool enabledIn(const DriveMenuState& state, int command) {
    switch (command) {
        case kCmdReconnect:
            return state.reconnect;
        case kCmdDisconnect:
            return state.disconnect;
        case kCmdKeypad:
            return state.keypad;
        case kCmdOnlineEditor:
            return state.onlineEditor;
        case kCmdGraphMonitor:
            return state.graphMonitor;
        default:
            return false;
    }
}

// A selected row is drawn in the highlight's text colour, which would hide the grey of a value
// that is not live: there it is drawn in a paler highlight text instead.
class StaleCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected)) return;
        if (index.data(Qt::ForegroundRole).value<QBrush>().color() != StaleTextColour()) return;
        const QColor text = option->palette.color(QPalette::HighlightedText);
        const QColor back = option->palette.color(QPalette::Highlight);
        option->palette.setColor(
            QPalette::HighlightedText,
            QColor((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                   (text.blue() + back.blue()) / 2));
    }
};

}  // namespace

DriveListView::DriveListView(MainController& controller, QWidget* parent)
    : QTableWidget(0, kDriveListColumns, parent), controller_(controller) {
    QStringList headers;
    for (const DriveListColumn& column : DriveListColumns()) headers << qtTr(column.header);
    SetUpReportTable(*this, headers);
    setIconSize(QSize(16, 16));
    setItemDelegate(new StaleCellDelegate(this));
    setSortingEnabled(false);  // the controller sorts
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    // The selection stays visible while another pane has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { controller_.SortDriveList(column); });
    connect(this, &QTableWidget::itemSelectionChanged, this, &DriveListView::onCurrentRowChanged);
    connect(this, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { emit commandTriggered(kCmdInformation); });
}

void DriveListView::setCell(int row, int column, const std::string& text, bool stale) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
    }
    const QString value = qtText(text);
    // Rewriting an unchanged text makes the live values flicker.
    if (cell->text() != value) cell->setText(value);
    const QVariant colour = stale ? QVariant(StaleTextBrush()) : QVariant();
    if (cell->data(Qt::ForegroundRole) != colour) cell->setData(Qt::ForegroundRole, colour);
}

void DriveListView::render() {
    rendering_ = true;
    const auto& rows = controller_.DriveList().Rows();
    setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const DriveRow& row = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < kDriveListColumns; ++c) {
            const auto column = static_cast<std::size_t>(c);
            setCell(r, c, row.texts[column], row.stale[column]);
        }
        QTableWidgetItem* first = item(r, 0);
        // The icon's key carries its greyed state too.
        const int iconKey = (row.icon + 1) * (row.iconStale ? -1 : 1);
        if (first->data(Qt::UserRole).toInt() != iconKey) {
            first->setIcon(row.iconStale ? StaleIcon(DriveStateIcon(row.icon))
                                         : DriveStateIcon(row.icon));
            first->setData(Qt::UserRole, iconKey);
        }
    }
    const int selected = controller_.DriveList().SelectedRow();
    if (selected >= 0 && selected < rowCount()) {
        if (currentRow() != selected) selectRow(selected);
        scrollToItem(item(selected, 0));
    } else {
        clearSelection();
    }
    rendering_ = false;
}

void DriveListView::onCurrentRowChanged() {
    if (rendering_) return;
    const auto rows = selectionModel()->selectedRows();
    controller_.SelectDriveRow(rows.isEmpty() ? -1 : rows.first().row());
    emit selectionChanged();
}

std::array<int, kDriveListColumns> DriveListView::columnWidths() const {
    std::array<int, kDriveListColumns> widths{};
    for (int c = 0; c < kDriveListColumns; ++c)
        widths[static_cast<std::size_t>(c)] = columnWidth(c);
    return widths;
}

void DriveListView::setColumnWidths(const std::array<int, kDriveListColumns>& widths) {
    for (int c = 0; c < kDriveListColumns; ++c)
        setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

QMenu* DriveListView::buildContextMenu(int row, QWidget* parent) {
    const auto& rows = controller_.DriveList().Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return nullptr;
    const DriveMenuState state =
        controller_.MenuStateFor(rows[static_cast<std::size_t>(row)].station);
    auto* menu = new QMenu(parent);
    for (MainCommand command : DriveContextMenu()) {
        if (command == kCmdNone) {
            menu->addSeparator();
            continue;
        }
        // The text after the tab is shown as the shortcut column of the menu.
        QAction* action = menu->addAction(qtTr(FindMainCommand(command)->menuText));
        action->setData(static_cast<int>(command));
        action->setEnabled(enabledIn(state, command));
        connect(action, &QAction::triggered, this,
                [this, command] { emit commandTriggered(command); });
    }
    return menu;
}

void DriveListView::contextMenuEvent(QContextMenuEvent* event) {
    // Mouse positions arrive in viewport coordinates; the menu key opens it at the current row.
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    const int row = mouse ? rowAt(event->pos().y()) : currentRow();
    if (row < 0) return;
    selectRow(row);
    QMenu* menu = buildContextMenu(row, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint at =
        mouse ? event->globalPos() : viewport()->mapToGlobal(visualItemRect(item(row, 0)).center());
    menu->popup(at);
}

}  // namespace korvane
