#pragma once
// What the information sheet and the keypad do alike as tool windows of the main window: their
// placement as opaque bytes, coming to the top, and the drive events they take.
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/tool_frames.h"

namespace korvane {

std::vector<std::uint8_t> PlacementBytes(const QWidget& window);
void RestorePlacementBytes(QWidget& window, const std::vector<std::uint8_t>& placement);
// Restores a minimised window and brings it to the top.
void BringToTop(QWidget& window);

// Hands the event to the window's onDriveConnected, onDriveDisconnected, onNameChanged or
// onGraphWatchChanged.
template <class Window>
void DispatchDriveEvent(Window& window, const DriveEvent& event) {
    switch (event.kind) {
        case DriveEventKind::kConnected:
            window.onDriveConnected(event.station);
            break;
        case DriveEventKind::kDisconnected:
            window.onDriveDisconnected(event.station);
            break;
        case DriveEventKind::kNameChanged:
            window.onNameChanged(event.station);
            break;
        case DriveEventKind::kGraphWatchMode:
            window.onGraphWatchChanged(event.graphWatchActive);
            break;
    }
}

}  // namespace korvane
