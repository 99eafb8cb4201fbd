// Fatal: early exit with one line naming the cause.
#include "core/Fatal.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/Console.h"
#include "platform/Desktop.h"

namespace {

// -1 until decided; a plain int, read from the fault handlers.
volatile int unattended = -1;

void (*earlyEndingAction)() = nullptr;

} // namespace

bool Unattended()
{
    if (unattended < 0) {
        const char* value = std::getenv("VELDMARROW_UNATTENDED");
        unattended = value != nullptr && std::strcmp(value, "1") == 0 ? 1 : 0;
    }
    return unattended == 1;
}

void MarkUnattended()
{
    unattended = 1;
}

void TellUser(const std::string& message)
{
    if (!Unattended())
        ShowErrorMessage(message.c_str());
}

void SetEarlyEndingAction(void (*action)())
{
    earlyEndingAction = action;
}

void FatalExit(int status, const std::string& reason)
{
    const std::string line = "Veldmarrow: " + reason;
    std::cerr << line << std::endl;
    // Once: the action may itself end early.
    void (*action)() = earlyEndingAction;
    earlyEndingAction = nullptr;
    if (action != nullptr)
        action();
    TellUser(line);
    ExitProcessWithStatus(status);
}
