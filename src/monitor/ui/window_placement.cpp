#include "monitor/ui/window_placement.h"

#include <QByteArray>

namespace korvane {

std::vector<std::uint8_t> PlacementBytes(const QWidget& window) {
    const QByteArray bytes = window.saveGeometry();
    return {bytes.begin(), bytes.end()};
}

void RestorePlacementBytes(QWidget& window, const std::vector<std::uint8_t>& placement) {
    if (placement.empty()) return;
    window.restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement.data()),
                                      static_cast<qsizetype>(placement.size())));
}

void BringToTop(QWidget& window) {
    if (window.isMinimized()) window.showNormal();
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace korvane
