// FaultSignals: the system's half of fault handling (core/FaultHandler): the
// handlers for fatal signals and for a lost display, which hand each fault
// to the program's hook, and the async-signal-safe means to write a last
// line and end. CMake compiles exactly one of FaultSignalsPosix.cpp and
// FaultSignalsWindows.cpp.
#pragma once
#include <cstddef>

// A process ended by fatal signal N ends with status FatalSignalStatusBase + N.
constexpr int FatalSignalStatusBase = 128;

// Called in the handler of fatal signal `number`, named by `text` ("SIGSEGV,
// invalid memory access"); the process then ends with status
// FatalSignalStatusBase + number. Must be async-signal-safe; may end the
// process itself.
using FatalSignalHook = void (*)(int number, const char* text);
// Called when the display or the window is gone, with the words that say
// which; must end the process.
using DisplayLostHook = void (*)(const char* words);

// Opens `errorFileName` (already created) for WriteLastWordsLine and
// installs the handlers for fatal signals, which call `hook`. Also keeps a
// closed connection or a full file-size limit from killing the process
// without a word (SIGPIPE, SIGXFSZ ignored where they exist).
void InstallFatalSignalHandlers(const char* errorFileName, FatalSignalHook hook);
// Has `handler` called for each signal that asks the program to quit.
void InstallQuitSignalHandlers(void (*handler)(int));
// The name of a signal that asks to quit ("SIGTERM").
const char* QuitSignalName(int number);
// Once the window is open: the X connection closing, or the window being
// destroyed by another program, calls `hook` (nothing to watch on Windows).
void WatchDisplayConnection(DisplayLostHook hook);
// `leave` is tried (for at most a second) after a fatal signal, to give the
// desktop its video mode back; null when there is nothing to restore.
void SetFullScreenRestore(void (*leave)());

// Both sides: a signal and the words that name it.
struct SignalName {
    int number;
    const char* text;
};
// The words for `number` in `names`, `otherwise` when it is not there;
// async-signal-safe.
template <std::size_t N>
const char* SignalText(int number, const SignalName (&names)[N], const char* otherwise)
{
    for (const SignalName& s : names)
        if (s.number == number)
            return s.text;
    return otherwise;
}

// Writes `n` bytes of `line` to error.txt (the standard error until it is
// opened) in one call; async-signal-safe.
void WriteLastWordsLine(const char* line, unsigned n);
// Ends the process at once with `status`: no exit actions, no destructors.
[[noreturn]] void EndNow(int status);
