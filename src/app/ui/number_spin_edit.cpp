#include "app/ui/number_spin_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace korvane {

NumberSpinEdit::NumberSpinEdit(int minimum, int maximum, int maxChars, QWidget* parent)
    : QWidget(parent),
      minimum_(minimum),
      maximum_(maximum),
      edit_(new QLineEdit(this)),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
    edit_->setMaxLength(maxChars);
    // Digits only, as a number edit takes them; the range is checked on OK.
    edit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit_));
    edit_->setAlignment(Qt::AlignRight);
    edit_->installEventFilter(this);
    setFocusProxy(edit_);

    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        b->setIconSize(QSize(8, 5));
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    buttons->addWidget(up_);
    buttons->addWidget(down_);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(edit_);
    row->addLayout(buttons);
    const int digits = edit_->fontMetrics().horizontalAdvance(QString(maxChars + 2, '0'));
    edit_->setFixedWidth(digits + 8);
}

QString NumberSpinEdit::text() const {
    return edit_->text();
}

void NumberSpinEdit::setValue(unsigned value) {
    edit_->setText(QString::number(value));
}

void NumberSpinEdit::focusAndSelect() {
    edit_->setFocus();
    edit_->selectAll();
}

void NumberSpinEdit::step(int delta) {
    bool ok = false;
    int value = edit_->text().toInt(&ok);
    // An empty or out-of-range entry steps from the nearest end, as a spin control does.
    if (!ok) value = delta > 0 ? minimum_ - 1 : maximum_ + 1;
    value = std::clamp(value + delta, minimum_, maximum_);
    edit_->setText(QString::number(value));
    edit_->selectAll();
}

bool NumberSpinEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    if (watched == edit_ && event->type() == QEvent::Wheel && edit_->hasFocus()) {
        step(static_cast<QWheelEvent*>(event)->angleDelta().y() > 0 ? 1 : -1);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace korvane
