#include "host/ui/window_placement.h"

#include <QApplication>
#include <QByteArray>
#include <QEvent>
#include <QScreen>

#include "common/screen_fit.h"

namespace korvane {
namespace {

ScreenRect toScreenRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

class ScreenKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow()) KeepInsideScreen(*widget);
        }
        return false;
    }
};

}  // namespace

std::vector<std::uint8_t> PlacementBytes(const QWidget& window) {
    const QByteArray bytes = window.saveGeometry();
    return {bytes.begin(), bytes.end()};
}

void RestorePlacementBytes(QWidget& window, const std::vector<std::uint8_t>& placement) {
    if (placement.empty()) return;
    window.restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement.data()),
                                      static_cast<qsizetype>(placement.size())));
    KeepInsideScreen(window);
}

void KeepInsideScreen(QWidget& window) {
    if (!window.isWindow()) return;
    const QRect frame = window.frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = window.screen();
    if (!screen) return;
    const ScreenRect fitted =
        FitInside(toScreenRect(frame), toScreenRect(screen->availableGeometry()));
    if (fitted == toScreenRect(frame)) return;
    if (fitted.width != frame.width() || fitted.height != frame.height()) {
        // The decorations keep their size: the client area gives up what the frame must lose.
        const QSize client =
            window.size() - QSize(frame.width() - fitted.width, frame.height() - fitted.height);
        window.resize(client.expandedTo(window.minimumSize()));
    }
    window.move(fitted.x, fitted.y);  // a window's position is its frame's
}

void KeepWindowsInsideScreen(QApplication& app) {
    app.installEventFilter(new ScreenKeeper(&app));
}

void BringToTop(QWidget& window) {
    if (window.isMinimized()) window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace korvane
