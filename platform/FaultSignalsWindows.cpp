// FaultSignals on Windows: the C runtime's signals for faults. There is no
// hang-up signal and no X server; SDL watches the window itself.
#include "platform/FaultSignals.h"
#include "platform/Utf8Path.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <signal.h>
#include <stdlib.h>

namespace {

int lastWordsFd = 2;
FatalSignalHook fatalSignalHook = nullptr;

const SignalName FatalSignals[] = {
    {SIGSEGV, "SIGSEGV, invalid memory access"},
    {SIGFPE, "SIGFPE, arithmetic fault"},
    {SIGILL, "SIGILL, illegal instruction"},
    {SIGABRT, "SIGABRT, aborted"},
};

// Not a signal of the runtime's: the console window closed, or the user
// logging off or the system shutting down, told through the console.
constexpr int ConsoleEnding = 1000;

const SignalName QuitSignals[] = {
    {SIGINT, "SIGINT"},
    {SIGTERM, "SIGTERM"},
    {SIGBREAK, "SIGBREAK"},
    {ConsoleEnding, "the console closing"},
};

void (*quitHandler)(int) = nullptr;

// Windows ends a console's program once this returns: the request is noted
// as a signal's would be, and the thread then waits while the main thread
// saves and ends the process, within the seconds Windows allows for it.
BOOL WINAPI OnConsoleEnding(DWORD event)
{
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
        return FALSE; // Ctrl+C and Ctrl+Break reach the runtime's signals
    quitHandler(ConsoleEnding);
    Sleep(INFINITE);
    return TRUE;
}

void OnFatalSignal(int number)
{
    if (fatalSignalHook != nullptr)
        fatalSignalHook(number, SignalText(number, FatalSignals, "unknown"));
    EndNow(FatalSignalStatusBase + number);
}

} // namespace

void WriteLastWordsLine(const char* line, unsigned n)
{
    _write(lastWordsFd, line, n);
}

void EndNow(int status)
{
    // As ExitProcessWithStatus: at once, every thread with it, so that no
    // thread's own exit code can take the status's place under Wine.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    _exit(status);
}

void InstallFatalSignalHandlers(const char* errorFileName, FatalSignalHook hook)
{
    fatalSignalHook = hook;
    // Text mode, as error.txt's other lines: "\r\n" line ends.
    const int fd = _wopen(Utf8Path(errorFileName).c_str(), _O_WRONLY | _O_APPEND | _O_TEXT | _O_NOINHERIT);
    if (fd >= 0)
        lastWordsFd = fd;
    for (const SignalName& s : FatalSignals)
        signal(s.number, OnFatalSignal);
}

void InstallQuitSignalHandlers(void (*handler)(int))
{
    // Ctrl+C and Ctrl+Break in the console; the runtime calls the handler on
    // a thread of its own, and it only notes the request.
    quitHandler = handler;
    signal(SIGINT, handler);
    signal(SIGTERM, handler);
    signal(SIGBREAK, handler);
    SetConsoleCtrlHandler(OnConsoleEnding, TRUE);
}

const char* QuitSignalName(int number)
{
    return SignalText(number, QuitSignals, "a signal");
}

void WatchDisplayConnection(DisplayLostHook)
{
}

void SetFullScreenRestore(void (*)())
{
}
