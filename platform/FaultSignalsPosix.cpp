// FaultSignals on POSIX systems with X11: signal handlers and Xlib's error
// handlers. Everything a signal handler calls here is async-signal-safe,
// except the bounded attempt to leave full screen.
#include "platform/FaultSignals.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

int lastWordsFd = STDERR_FILENO;
FatalSignalHook fatalSignalHook = nullptr;
DisplayLostHook displayLostHook = nullptr;
volatile sig_atomic_t endingSignal = 0; // the first fatal signal
void (*leaveFullScreen)() = nullptr;
int (*previousXErrorHandler)(Display*, XErrorEvent*) = nullptr;

// Room for a handler on a blown stack.
alignas(16) char alternateStack[64 * 1024];

const SignalName FatalSignals[] = {
    {SIGSEGV, "SIGSEGV, invalid memory access"},
    {SIGBUS, "SIGBUS, bus error"},
    {SIGFPE, "SIGFPE, arithmetic fault"},
    {SIGILL, "SIGILL, illegal instruction"},
    {SIGABRT, "SIGABRT, aborted"},
    {SIGTRAP, "SIGTRAP, trap"},
    {SIGSYS, "SIGSYS, bad system call"},
    {SIGQUIT, "SIGQUIT, quit requested"},
};

const SignalName QuitSignals[] = {
    {SIGTERM, "SIGTERM"},
    {SIGINT, "SIGINT"},
    {SIGHUP, "SIGHUP"},
};

void OnRestoreTimeout(int)
{
    EndNow(FatalSignalStatusBase + endingSignal);
}

void OnFatalSignal(int number)
{
    if (endingSignal == 0)
        endingSignal = number;
    if (fatalSignalHook != nullptr)
        fatalSignalHook(number, SignalText(number, FatalSignals, "unknown"));
    if (leaveFullScreen != nullptr) {
        // The driver may hold a lock the fault left taken; a second is all
        // this attempt gets.
        signal(SIGALRM, OnRestoreTimeout);
        alarm(1);
        leaveFullScreen();
    }
    EndNow(FatalSignalStatusBase + number);
}

int OnDisplayLost(Display*)
{
    displayLostHook("lost the display: the connection to the X server was closed");
    return 0;
}

int OnXError(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow || error->error_code == BadDrawable) {
        displayLostHook("lost the window: it was destroyed by another program");
    }
    return previousXErrorHandler != nullptr ? previousXErrorHandler(display, error) : 0;
}

} // namespace

void WriteLastWordsLine(const char* line, unsigned n)
{
    const ssize_t written = write(lastWordsFd, line, n);
    (void)written;
}

void EndNow(int status)
{
    _exit(status);
}

void InstallFatalSignalHandlers(const char* errorFileName, FatalSignalHook hook)
{
    fatalSignalHook = hook;
    const int fd = open(errorFileName, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0)
        lastWordsFd = fd;

    stack_t stack = {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnFatalSignal;
    action.sa_flags = SA_ONSTACK | SA_NODEFER;
    for (const SignalName& s : FatalSignals)
        sigaction(s.number, &action, nullptr);

    // A closed X connection and a full file-size limit then show up as
    // errors of the write that met them, which are handled, instead of
    // killing the process without a word.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void InstallQuitSignalHandlers(void (*handler)(int))
{
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = handler;
    // Noting the request is all the handler does: interrupted calls go on.
    action.sa_flags = SA_RESTART;
    // SIGHUP: the terminal went away, which ends play as SIGTERM does.
    for (const SignalName& s : QuitSignals)
        sigaction(s.number, &action, nullptr);
}

const char* QuitSignalName(int number)
{
    return SignalText(number, QuitSignals, "a signal");
}

void WatchDisplayConnection(DisplayLostHook hook)
{
    displayLostHook = hook;
    XSetIOErrorHandler(OnDisplayLost);
    previousXErrorHandler = XSetErrorHandler(OnXError);
}

void SetFullScreenRestore(void (*leave)())
{
    leaveFullScreen = leave;
}
