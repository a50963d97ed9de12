#pragma once
// Every picture the main window shows is drawn here, so the program ships no image files.
#include <QIcon>
#include <QPixmap>

namespace korvane {

// The drive list's row icons 0..5 (stopped, forward, reverse, fault, lost, no data files).
QIcon DriveStateIcon(int icon);
// The TX/RX lamp of the status bar for indicator icon ids 138..141.
QPixmap CommIndicatorPixmap(int icon);
// Tool-bar pictures of the main window's commands; a null icon for commands without one.
QIcon CommandIcon(int command);

}  // namespace korvane
