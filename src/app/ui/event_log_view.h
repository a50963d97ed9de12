#pragma once
// The event-log pane: its own tool bar (start and stop logging, the main window's actions) and
// the newest lines.
#include <QWidget>

class QListWidget;
class QToolBar;

namespace korvane {

class EventLogPane;

class EventLogView : public QWidget {
    Q_OBJECT
public:
    EventLogView(const EventLogPane& pane, const QList<QAction*>& actions,
                 QWidget* parent = nullptr);

    void render();
    QListWidget* list() const { return list_; }

private:
    const EventLogPane& pane_;
    QToolBar* toolBar_;
    QListWidget* list_;
};

}  // namespace korvane
