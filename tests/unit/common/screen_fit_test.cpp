#include "common/screen_fit.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(ScreenFit, AWindowIsMovedAndShrunkIntoTheAvailableArea) {
    // A 1280 x 1000 screen with a 40-pixel panel at the top.
    const ScreenRect screen{0, 40, 1280, 960};
    const struct Case {
        const char* what;
        ScreenRect frame;
        ScreenRect expected;
    } cases[] = {
        {"inside stays", {100, 100, 760, 480}, {100, 100, 760, 480}},
        {"touching the edges stays", {0, 40, 1280, 960}, {0, 40, 1280, 960}},
        {"below the bottom moves up", {100, 700, 820, 600}, {100, 400, 820, 600}},
        {"right of the edge moves left", {900, 100, 760, 480}, {520, 100, 760, 480}},
        {"under the panel moves down", {-50, 0, 300, 200}, {0, 40, 300, 200}},
        {"taller than the screen shrinks", {10, 200, 1100, 1200}, {10, 40, 1100, 960}},
        {"wider and taller shrinks to it", {-10, -10, 2000, 2000}, {0, 40, 1280, 960}},
        {"entirely off screen comes back", {5000, 5000, 200, 100}, {1080, 900, 200, 100}},
    };
    for (const Case& c : cases) {
        const ScreenRect got = FitInside(c.frame, screen);
        EXPECT_EQ(got, c.expected)
            << c.what << ": " << got.x << "," << got.y << " " << got.width << "x" << got.height;
    }
    // No screen known: nothing to fit into.
    EXPECT_EQ(FitInside({5, 6, 7, 8}, {}), (ScreenRect{5, 6, 7, 8}));
}

// A second screen to the left and above the first: negative coordinates are screen space too.
TEST(ScreenFit, ScreensAtNegativeCoordinatesAreHonoured) {
    const ScreenRect left{-1920, -200, 1920, 1080};
    EXPECT_EQ(FitInside({-400, 700, 600, 400}, left), (ScreenRect{-600, 480, 600, 400}));
}

}  // namespace
}  // namespace korvane
