// FaultHandler: how the program ends when it cannot go on (a fatal signal,
// memory exhausted, the display gone): at once, with one line in error.txt
// and a status from ExitStatus.h, never hanging.
#pragma once

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

// `action` runs once when the display goes away, before the process ends
// with DisplayLost: what is still in memory (the world) can be saved then.
// Null for nothing.
void SetDisplayLostAction(void (*action)());

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
