// FaultHandler on Windows: the C runtime's signals for faults. There is no
// hang-up signal and no X server; SDL watches the window itself.
#include "core/FaultHandler.h"

#include <fcntl.h>
#include <io.h>
#include <signal.h>
#include <stdlib.h>

#include "core/ExitStatus.h"

namespace {

int lastWordsFd = 2;
volatile sig_atomic_t endingSignal = 0;

struct FatalSignal {
    int number;
    const char* text;
};
const FatalSignal FatalSignals[] = {
    {SIGSEGV, "SIGSEGV, invalid memory access"},
    {SIGFPE, "SIGFPE, arithmetic fault"},
    {SIGILL, "SIGILL, illegal instruction"},
    {SIGABRT, "SIGABRT, aborted"},
};

void OnFatalSignal(int number)
{
    if (endingSignal != 0)
        EndNow(ExitStatus::SignalBase + endingSignal);
    endingSignal = number;
    const char* text = "unknown";
    for (const FatalSignal& s : FatalSignals)
        if (s.number == number)
            text = s.text;
    WriteFatalSignalLine(number, text);
    EndNow(ExitStatus::SignalBase + number);
}

} // namespace

void WriteLastWordsLine(const char* line, unsigned n)
{
    _write(lastWordsFd, line, n);
}

void EndNow(int status)
{
    _exit(status);
}

void InstallSignalHandlers(const char* errorFileName)
{
    // Text mode, as error.txt's other lines: "\r\n" line ends.
    const int fd = _open(errorFileName, _O_WRONLY | _O_APPEND | _O_TEXT | _O_NOINHERIT);
    if (fd >= 0)
        lastWordsFd = fd;
    for (const FatalSignal& s : FatalSignals)
        signal(s.number, OnFatalSignal);
}

void WatchDisplay()
{
}

void SetFullScreenRestore(void (*)())
{
}
