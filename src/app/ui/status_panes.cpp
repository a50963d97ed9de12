#include "app/ui/status_panes.h"

#include <QProgressBar>
#include <QStatusBar>

#include "app/main_controller.h"
#include "app/ui/painted_icons.h"
#include "host/ui/qt_text.h"

namespace korvane {

namespace {
void shape(QWidget* widget, const StatusPane& pane) {
    widget->setMinimumWidth(pane.width);
    widget->setToolTip(qtTr(pane.toolTip));
}
}  // namespace

PaneLabel::PaneLabel(const StatusPane& pane, QWidget* parent) : QLabel(parent) {
    shape(this, pane);
    setAlignment(Qt::AlignCenter);
}

void PaneLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit activated();
}

StatusPanes::StatusPanes(QStatusBar* bar)
    : QObject(bar),
      message_(new QLabel(bar)),
      progress_(new QProgressBar(bar)),
      graphWatch_(new QLabel(bar)),
      commMode_(new PaneLabel(kCommModePane, bar)),
      port_(new PaneLabel(kPortPane, bar)),
      baud_(new PaneLabel(kBaudPane, bar)),
      indicator_(new QLabel(bar)) {
    progress_->setFixedWidth(kScanProgressPane.width);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(message_->sizeHint().height());
    progress_->hide();
    shape(graphWatch_, kGraphWatchPane);
    graphWatch_->setAlignment(Qt::AlignCenter);
    graphWatch_->setStyleSheet(QStringLiteral("color: red;"));
    shape(indicator_, kIndicatorPane);
    indicator_->setAlignment(Qt::AlignCenter);

    bar->addWidget(message_, 1);
    bar->addPermanentWidget(progress_);
    bar->addPermanentWidget(graphWatch_);
    bar->addPermanentWidget(commMode_);
    bar->addPermanentWidget(port_);
    bar->addPermanentWidget(baud_);
    bar->addPermanentWidget(indicator_);
    for (PaneLabel* pane : {commMode_, port_, baud_})
        connect(pane, &PaneLabel::activated, this, &StatusPanes::portSetupRequested);
}

void StatusPanes::setMessage(const QString& text) {
    message_->setText(text);
}

void StatusPanes::setScanProgress(bool visible, int position, int range) {
    progress_->setRange(0, std::max(range, 1));
    progress_->setValue(std::clamp(position, 0, std::max(range, 1)));
    progress_->setVisible(visible);
}

void StatusPanes::setGraphWatch(bool active) {
    graphWatch_->setText(active ? qtTr(kGraphWatchPaneText) : QString());
}

void StatusPanes::setLine(const LineStatusTexts& texts) {
    commMode_->setText(qtText(texts.commMode));
    port_->setText(qtText(texts.port));
    baud_->setText(qtText(texts.baudRate));
}

void StatusPanes::setIndicator(int icon) {
    if (icon == indicatorIcon_) return;
    indicatorIcon_ = icon;
    indicator_->setPixmap(CommIndicatorPixmap(icon));
}

}  // namespace korvane
