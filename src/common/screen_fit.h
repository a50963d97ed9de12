#pragma once
// Where a window goes on the screen: the one rule every window of the program follows when it
// opens or takes a stored placement.

namespace korvane {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ScreenRect&) const = default;
};

// The frame (decorations included) moved, and shrunk where it is larger, so that it lies
// inside `available` (the screen without task bars and panels). A window that already fits is
// left where it is; an empty `available` (no screen known) leaves the frame as it is.
ScreenRect FitInside(const ScreenRect& frame, const ScreenRect& available);

}  // namespace korvane
