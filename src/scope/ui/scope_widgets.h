#pragma once
// What the graph monitor's window and its panels share: the lamps, and the texts and colours
// between the monitor's words and Qt's.
#include <QColor>
#include <QPainter>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "scope/scope_tables.h"

namespace korvane::scope {

// The record and trigger lamps, painted as the main window paints its lamp.
class ScopeLed : public QWidget {
public:
    ScopeLed(QColor on, QWidget* parent) : QWidget(parent), on_(on) { setFixedSize(16, 16); }
    void setLit(bool lit) {
        if (lit == lit_) return;
        lit_ = lit;
        update();
    }
    bool lit() const { return lit_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(lit_ ? on_ : on_.darker(400));
        p.drawEllipse(rect().adjusted(1, 1, -2, -2));
    }

private:
    QColor on_;
    bool lit_ = false;
};

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}
inline QString q(const char* s) {
    return QString::fromUtf8(s);
}

inline QColor colourOf(std::uint32_t c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}
inline std::uint32_t wordOf(const QColor& c) {
    return Rgb(c.red(), c.green(), c.blue());
}

}  // namespace korvane::scope
