#include "app/ui/event_log_view.h"

#include <QListWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "host/ui/qt_text.h"
#include "monitor/event_log.h"

namespace korvane {

EventLogView::EventLogView(const EventLogPane& pane, const QList<QAction*>& actions,
                           QWidget* parent)
    : QWidget(parent), pane_(pane), toolBar_(new QToolBar(this)), list_(new QListWidget(this)) {
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->addActions(actions);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(list_);
    setFocusProxy(list_);
}

void EventLogView::render() {
    // Events come a few a second at most; refilling 200 lines is cheaper than being clever
    // about repeated texts.
    const auto& lines = pane_.lines();
    list_->setUpdatesEnabled(false);
    list_->clear();
    for (const std::string& line : lines) list_->addItem(qtText(line));
    const int selected = pane_.selected();
    if (selected >= 0) {
        list_->setCurrentRow(selected);
        list_->scrollToItem(list_->item(selected));
    }
    list_->setUpdatesEnabled(true);
}

}  // namespace korvane
