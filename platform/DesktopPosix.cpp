// Desktop on POSIX systems.
#include "platform/Desktop.h"

#include <cstdlib>

bool DisplayVariableMatters()
{
    return true;
}

void ShowErrorMessage(const char*)
{
    // The terminal and error.txt already hold the reason.
}

bool ProgramClosesOnAltF4()
{
    return false;
}

bool WindowPositionThatFits(int, int, int&, int&)
{
    // The window manager keeps the title bar on screen.
    return false;
}
