// Fatal: early exit with one line naming the cause.
#include "core/Fatal.h"

#include <iostream>

#include "core/Platform.h"

void FatalExit(int status, const std::string& reason)
{
    std::cerr << "Veldmarrow: " << reason << std::endl;
    ExitProcessWithStatus(status);
}
