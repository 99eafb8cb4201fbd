// Desktop on Windows (64-bit, built with MinGW-w64).
#include "platform/Desktop.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/WindowPlacement.h"

bool DisplayVariableMatters()
{
    // Windows has no DISPLAY: the desktop is always the session's own.
    return false;
}

void ShowErrorMessage(const char* text)
{
    // A fixed buffer: this also runs from the fault handlers. A text too
    // long for it is cut.
    wchar_t wide[2048];
    int length = static_cast<int>(std::strlen(text));
    if (length > 1500)
        length = 1500;
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, length, wide, 2047);
    wide[n > 0 ? n : 0] = L'\0';
    MessageBoxW(nullptr, wide, L"Veldmarrow", MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

bool ProgramClosesOnAltF4()
{
    return true;
}

bool WindowPositionThatFits(int width, int height, int& x, int& y)
{
    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return false;
    // The frame SDL 1.2 gives a window that is not resizable.
    RECT frame = {0, 0, width, height};
    if (!AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0))
        return false;
    const WindowPlacement placement =
        PlaceInWorkArea({work.left, work.top, work.right - work.left, work.bottom - work.top},
                        {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top});
    x = placement.x;
    y = placement.y;
    return placement.moved;
}
