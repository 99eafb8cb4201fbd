// FaultHandler: how the program ends when it cannot go on (a fatal signal,
// memory exhausted, the display gone): at once, with one line in error.txt
// and a status from ExitStatus.h, never hanging.
#pragma once

#include <cstddef>

// Opens `errorFileName` (already created) for the last line a fault writes,
// installs the handlers for fatal signals (status 128 + N), and makes a
// failed allocation end with status OutOfMemory.
void InstallFaultHandlers(const char* errorFileName);

// Called first in main: SIGTERM, SIGINT and SIGHUP (where the system has it)
// only note that the program was asked to quit, and the program ends as on
// Escape, status 0. The main loop and the settings script's hook look at
// the note; SDL keeps a handler it finds in place rather than its own.
void CatchQuitSignals();
// The signal that asked the program to quit; 0 while none has.
int QuitSignal();

// Once the window is open: the display going away, or the window being
// destroyed, ends the process with status DisplayLost.
void WatchDisplay();

// `leave` is tried (for at most a second) after a fatal signal, to give the
// desktop its video mode back; null when there is nothing to restore.
void SetFullScreenRestore(void (*leave)());

// Names what the program is building while this object lives, for the
// "out of memory while ..." line. Nests; `what` must outlive the object.
class AllocationPurpose {
public:
    explicit AllocationPurpose(const char* what);
    ~AllocationPurpose();
    AllocationPurpose(const AllocationPurpose&) = delete;
    AllocationPurpose& operator=(const AllocationPurpose&) = delete;

private:
    const char* previous;
};

// Writes "Veldmarrow: " and the parts, as one line, to error.txt (the
// terminal's standard error when it could not be opened); async-signal-safe.
void WriteLastWords(const char* part1, const char* part2 = "", const char* part3 = "");
// Writes the line "fatal signal N (<text>); ending with status 128+N" with
// WriteLastWords; async-signal-safe.
void WriteFatalSignalLine(int number, const char* text);

// A fatal signal and the words that name it in the last line.
struct FatalSignalName {
    int number;
    const char* text;
};
// The first step of a fatal signal's handler: a second fault while ending
// ends at once with the first one's status; otherwise the line naming
// `number` (looked up in `names`) is written. Async-signal-safe.
void BeginFatalEnding(int number, const FatalSignalName* names, std::size_t count);
// The signal the process is ending on, 0 while it is not.
int EndingSignal();

// Platform side (FaultHandlerPosix.cpp, FaultHandlerWindows.cpp).
// Writes `n` bytes of `line` to error.txt in one call; async-signal-safe.
void WriteLastWordsLine(const char* line, unsigned n);
// Ends the process at once with `status`: no exit actions, no destructors.
[[noreturn]] void EndNow(int status);
// Installs the platform's signal handling for InstallFaultHandlers.
void InstallSignalHandlers(const char* errorFileName);
// Has `handler` called for each signal that asks the program to quit.
void InstallQuitSignalHandlers(void (*handler)(int));
// The name of a signal that asks to quit ("SIGTERM").
const char* QuitSignalName(int number);
