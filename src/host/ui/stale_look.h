#pragma once
// How every window shows a value that is not live: in grey, and an icon in its disabled look.
#include <QBrush>
#include <QColor>
#include <QIcon>

namespace korvane {

inline QColor StaleTextColour() {
    return QColor(160, 160, 160);
}

inline QBrush StaleTextBrush() {
    return QBrush(StaleTextColour());
}

inline QIcon StaleIcon(const QIcon& icon) {
    QIcon grey;
    for (const QSize& size : icon.availableSizes())
        grey.addPixmap(icon.pixmap(size, QIcon::Disabled));
    if (grey.isNull()) grey.addPixmap(icon.pixmap(QSize(16, 16), QIcon::Disabled));
    return grey;
}

}  // namespace korvane
