// WindowPlacement: where a window goes when it is larger than the desktop's
// work area, so that its title bar (with the close button) stays reachable.
#pragma once

struct ScreenBox {
    int x, y, width, height;
};

struct WindowPlacement {
    bool moved; // false: the window fits and is centred as usual
    int x, y;   // the drawing area's top-left corner, when moved
};

// `work`: the desktop's work area. `frame`: the window's outer frame around
// a drawing area whose top-left corner is at (0, 0), so frame.x and frame.y
// are minus the left border and the title bar's height. Along an axis where
// the frame fits it is centred in the work area; where it does not, its
// left or top edge is put at the work area's.
WindowPlacement PlaceInWorkArea(const ScreenBox& work, const ScreenBox& frame);
