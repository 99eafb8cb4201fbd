// A window larger than the work area keeps its title bar (and close button)
// on screen; one that fits is left to be centred.
#include <gtest/gtest.h>

#include "platform/WindowPlacement.h"

TEST(WindowPlacement, TitleBarStaysOnTheWorkArea)
{
    // A 1366 x 768 laptop with a 40-pixel taskbar at the bottom; a frame of
    // 8-pixel borders and a 31-pixel title bar around the drawing area.
    const ScreenBox work{0, 0, 1366, 728};
    const auto frameAround = [](int w, int h) { return ScreenBox{-8, -31, w + 16, h + 39}; };

    const WindowPlacement tall = PlaceInWorkArea(work, frameAround(1024, 768));
    EXPECT_TRUE(tall.moved);
    EXPECT_EQ(31, tall.y); // the frame's top at the screen's top
    EXPECT_EQ((1366 - 1040) / 2 + 8, tall.x); // still centred across

    const WindowPlacement huge = PlaceInWorkArea(work, frameAround(1920, 1080));
    EXPECT_TRUE(huge.moved);
    EXPECT_EQ(8, huge.x);
    EXPECT_EQ(31, huge.y);

    // The work area need not start at 0 (a taskbar at the top or left).
    const WindowPlacement shifted = PlaceInWorkArea({0, 40, 1366, 728}, frameAround(1024, 768));
    EXPECT_EQ(71, shifted.y);

    EXPECT_FALSE(PlaceInWorkArea(work, frameAround(800, 600)).moved);
}
