#pragma once
// What the tool windows of the main window do alike: their placement as opaque bytes, kept
// inside the screen, coming to the top, and the drive events they take.
#include <QWidget>
#include <cstdint>
#include <vector>

#include "host/tool_frames.h"

class QApplication;

namespace korvane {

std::vector<std::uint8_t> PlacementBytes(const QWidget& window);
// Restores the placement, then keeps the window inside the screen: a placement stored on a
// larger screen or another layout must not put it out of reach.
void RestorePlacementBytes(QWidget& window, const std::vector<std::uint8_t>& placement);
// Moves the window, and shrinks it where it is larger, into the available area of the screen
// it is on (FitInside).
void KeepInsideScreen(QWidget& window);
// Every window the program shows, tool windows, dialogs and message boxes alike, is kept
// inside the screen as it appears.
void KeepWindowsInsideScreen(QApplication& app);
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
