#include "app/ui/painted_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "app/comm_indicator.h"
#include "app/drive_list_model.h"
#include "app/main_commands.h"

namespace korvane {

namespace {

using Painter = std::function<void(QPainter&)>;

// Drawn on a 16-unit grid and scaled, so each picture serves every icon size.
QPixmap paint(int size, const Painter& draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pixmap;
}

QIcon iconOf(const Painter& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) icon.addPixmap(paint(size, draw));
    return icon;
}

void disc(QPainter& p, QColor fill, qreal r = 6.5) {
    p.setPen(QPen(fill.darker(150), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QPointF(8, 8), r, r);
}

void triangle(QPainter& p, bool forward) {
    QPainterPath path;
    if (forward) {
        path.moveTo(6, 4.5);
        path.lineTo(12, 8);
        path.lineTo(6, 11.5);
    } else {
        path.moveTo(10, 4.5);
        path.lineTo(4, 8);
        path.lineTo(10, 11.5);
    }
    path.closeSubpath();
    p.fillPath(path, Qt::white);
}

void glyph(QPainter& p, const QString& text, QColor color, qreal pointSize = 9.5) {
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qRound(pointSize));
    p.setFont(font);
    p.setPen(color);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, text);
}

void drawDriveState(QPainter& p, int icon) {
    switch (icon) {
        case kIconForward:
            disc(p, QColor(0x2e, 0xa0, 0x43));
            triangle(p, true);
            break;
        case kIconReverse:
            disc(p, QColor(0x1f, 0x7a, 0xc8));
            triangle(p, false);
            break;
        case kIconFault:
            disc(p, QColor(0xd3, 0x2f, 0x2f));
            glyph(p, "!", Qt::white);
            break;
        case kIconDisconnected:
            disc(p, QColor(0xb0, 0xb0, 0xb0));
            p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
            break;
        case kIconUnsupported:
            disc(p, QColor(0xe8, 0xb4, 0x20));
            glyph(p, "?", Qt::white);
            break;
        default:  // stopped
            disc(p, QColor(0x70, 0x78, 0x80));
            p.fillRect(QRectF(5.5, 5.5, 5, 5), Qt::white);
            break;
    }
}

void document(QPainter& p, QColor badge) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 12));
    for (qreal y : {4.5, 7.0, 9.5}) p.drawLine(QPointF(4.5, y), QPointF(9.5, y));
    p.setBrush(badge);
    p.setPen(QPen(badge.darker(150), 1.0));
    p.drawEllipse(QPointF(12, 12), 3.2, 3.2);
}

void drawCommand(QPainter& p, int command) {
    const QColor ink(0x30, 0x40, 0x50);
    switch (command) {
        case kCmdConnect:  // a magnifier over the line
            p.setPen(QPen(ink, 1.8));
            p.setBrush(QColor(0xd8, 0xec, 0xff));
            p.drawEllipse(QPointF(6.5, 6.5), 4.2, 4.2);
            p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(9.8, 9.8), QPointF(14, 14));
            break;
        case kCmdStopScan:
            p.setPen(QPen(QColor(0x90, 0x20, 0x20), 1.0));
            p.setBrush(QColor(0xd3, 0x2f, 0x2f));
            p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.5, 1.5);
            break;
        case kCmdRefresh: {
            p.setPen(QPen(QColor(0x2e, 0x80, 0x43), 2.0, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 290 * 16);
            QPainterPath head;
            head.moveTo(9.5, 1.5);
            head.lineTo(13.5, 3.8);
            head.lineTo(9.8, 6.6);
            head.closeSubpath();
            p.fillPath(head, QColor(0x2e, 0x80, 0x43));
            break;
        }
        case kCmdInformation:
            disc(p, QColor(0x1f, 0x6f, 0xc8), 6.8);
            glyph(p, "i", Qt::white, 11);
            break;
        case kCmdKeypad:
            p.setPen(QPen(ink, 1.0));
            p.setBrush(QColor(0xee, 0xee, 0xee));
            p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
            p.fillRect(QRectF(4, 3, 8, 3), QColor(0x40, 0x90, 0x40));
            for (int row = 0; row < 2; ++row)
                for (int col = 0; col < 3; ++col)
                    p.fillRect(QRectF(4 + col * 2.9, 8 + row * 2.9, 2, 2), ink);
            break;
        case kCmdOnlineEditor:
            document(p, QColor(0x2e, 0xa0, 0x43));
            break;
        case kCmdOfflineEditor:
            document(p, QColor(0x90, 0x90, 0x90));
            break;
        case kCmdGraphMonitor: {
            p.setPen(QPen(ink, 1.2));
            p.drawLine(QPointF(2, 2), QPointF(2, 14));
            p.drawLine(QPointF(2, 14), QPointF(14.5, 14));
            QPainterPath wave;
            wave.moveTo(3, 10);
            wave.cubicTo(5, 2, 7, 2, 8.5, 8);
            wave.cubicTo(10, 14, 12, 13, 14.5, 4);
            p.setPen(QPen(QColor(0xd3, 0x2f, 0x2f), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawPath(wave);
            break;
        }
        case kCmdPortSetup: {  // a nine-pin connector
            QPainterPath shell;
            shell.moveTo(1.5, 4.5);
            shell.lineTo(14.5, 4.5);
            shell.lineTo(12.5, 11.5);
            shell.lineTo(3.5, 11.5);
            shell.closeSubpath();
            p.setPen(QPen(ink, 1.0));
            p.setBrush(QColor(0xc0, 0xc8, 0xd0));
            p.drawPath(shell);
            p.setBrush(ink);
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(4 + i * 2, 6.7), 0.8, 0.8);
            for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(5 + i * 2, 9.3), 0.8, 0.8);
            break;
        }
        case kCmdStartLog:
            disc(p, QColor(0xd3, 0x2f, 0x2f), 5);
            break;
        case kCmdStopLog:
            p.setPen(QPen(ink, 1.0));
            p.setBrush(QColor(0x70, 0x78, 0x80));
            p.drawRect(QRectF(4, 4, 8, 8));
            break;
        default:
            break;
    }
}

void lamp(QPainter& p, qreal x, const char* label, bool lit, QColor on) {
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawText(QRectF(x, 0, 14, 16), Qt::AlignVCenter | Qt::AlignRight, label);
    QColor fill = lit ? on : QColor(0x55, 0x5a, 0x5f);
    p.setPen(QPen(fill.darker(160), 0.8));
    p.setBrush(fill);
    p.drawEllipse(QPointF(x + 19.5, 8), 4.2, 4.2);
}

}  // namespace

QIcon DriveStateIcon(int icon) {
    return iconOf([icon](QPainter& p) { drawDriveState(p, icon); });
}

QPixmap CommIndicatorPixmap(int icon) {
    const bool tx = icon == kIndicatorTx || icon == kIndicatorBoth;
    const bool rx = icon == kIndicatorRx || icon == kIndicatorBoth;
    QPixmap pixmap(48, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    lamp(p, 0, "TX", tx, QColor(0x30, 0xd0, 0x50));
    lamp(p, 24, "RX", rx, QColor(0xff, 0xa0, 0x20));
    return pixmap;
}

QIcon CommandIcon(int command) {
    switch (command) {
        case kCmdConnect:
        case kCmdStopScan:
        case kCmdRefresh:
        case kCmdInformation:
        case kCmdKeypad:
        case kCmdOnlineEditor:
        case kCmdOfflineEditor:
        case kCmdGraphMonitor:
        case kCmdPortSetup:
        case kCmdStartLog:
        case kCmdStopLog:
            return iconOf([command](QPainter& p) { drawCommand(p, command); });
        default:
            return {};
    }
}

}  // namespace korvane
