// Fatal: early exit with one line naming the cause.
#include "core/Fatal.h"

#include <cstdlib>
#include <iostream>

void FatalExit(int status, const std::string& reason)
{
    std::cerr << "Veldmarrow: " << reason << std::endl;
    std::exit(status);
}
