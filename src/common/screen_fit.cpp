#include "common/screen_fit.h"

#include <algorithm>

namespace korvane {

ScreenRect FitInside(const ScreenRect& frame, const ScreenRect& available) {
    if (available.width <= 0 || available.height <= 0) return frame;
    ScreenRect fitted = frame;
    fitted.width = std::clamp(frame.width, 0, available.width);
    fitted.height = std::clamp(frame.height, 0, available.height);
    fitted.x = std::clamp(frame.x, available.x, available.x + available.width - fitted.width);
    fitted.y = std::clamp(frame.y, available.y, available.y + available.height - fitted.height);
    return fitted;
}

}  // namespace korvane
