// Console on POSIX systems.
#include "platform/Console.h"

#include <cstdlib>

void SetProcessEnvironment(const char* name, const char* value)
{
    setenv(name, value, 1);
}

void ExitProcessWithStatus(int status)
{
    std::exit(status);
}

std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}

void AttachParentConsole()
{
    // The terminal's streams are the program's own.
}
