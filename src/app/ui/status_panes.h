#pragma once
// The main window's status bar: message, scan progress, graph watch mode, the line settings
// and the TX/RX lamp. Activating a line-settings pane asks for the port setup.
#include <QLabel>
#include <QObject>

#include "app/main_commands.h"

class QProgressBar;
class QStatusBar;

namespace korvane {

struct LineStatusTexts;

// A pane that reports a double-click.
class PaneLabel : public QLabel {
    Q_OBJECT
public:
    PaneLabel(const StatusPane& pane, QWidget* parent);
signals:
    void activated();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class StatusPanes : public QObject {
    Q_OBJECT
public:
    explicit StatusPanes(QStatusBar* bar);

    void setMessage(const QString& text);
    void setScanProgress(bool visible, int position, int range);
    void setGraphWatch(bool active);
    void setLine(const LineStatusTexts& texts);
    void setIndicator(int icon);

    QLabel* message() const { return message_; }
    QProgressBar* progress() const { return progress_; }
    QLabel* graphWatch() const { return graphWatch_; }
    PaneLabel* commMode() const { return commMode_; }
    PaneLabel* port() const { return port_; }
    PaneLabel* baudRate() const { return baud_; }
    QLabel* indicator() const { return indicator_; }

signals:
    void portSetupRequested();

private:
    QLabel* message_;
    QProgressBar* progress_;
    QLabel* graphWatch_;
    PaneLabel* commMode_;
    PaneLabel* port_;
    PaneLabel* baud_;
    QLabel* indicator_;
    int indicatorIcon_ = -1;
};

}  // namespace korvane
