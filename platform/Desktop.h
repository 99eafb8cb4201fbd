// Desktop: what the desktop around the window differs in: whether a display
// variable matters, the message box, Alt+F4, where a large window goes.
// One small function each; CMake compiles exactly one of DesktopPosix.cpp
// and DesktopWindows.cpp.
#pragma once

// True where the windowing system is found through a display variable
// (DISPLAY, WAYLAND_DISPLAY), so that its absence means there is no display.
bool DisplayVariableMatters();

// Shows the UTF-8 `text` in a message box and waits until it is dismissed,
// where a program started by double-click has no other way to be heard
// (Windows); does nothing elsewhere. Uses no heap of its own.
void ShowErrorMessage(const char* text);

// True where the program itself must treat Alt+F4 as the close request
// (Windows, where SDL 1.2 swallows the key before the system sees it);
// elsewhere the desktop turns it into the close request.
bool ProgramClosesOnAltF4();

// Where to put the top-left corner of a window's width x height drawing area
// so that its frame's title bar is on the desktop's work area, when the
// window with its frame is larger than that area; false when it fits (or
// the system does not say), and the window is simply centred.
bool WindowPositionThatFits(int width, int height, int& x, int& y);
