// FaultHandler: the allocation failure and what was being built.
#include "core/FaultHandler.h"

#include <csignal>
#include <cstring>
#include <initializer_list>
#include <new>

#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "platform/Desktop.h"
#include "platform/FaultSignals.h"

namespace {

const char* purpose = "running";
volatile std::sig_atomic_t endingSignal = 0;
// The last line written, for the user who cannot see error.txt.
char lastWords[512];

// Shows the last line where the user sees it (a message box on Windows)
// unless the run is unattended.
void TellUserLastWords()
{
    if (!Unattended())
        ShowErrorMessage(lastWords);
}

volatile std::sig_atomic_t quitSignal = 0;

void OnQuitSignal(int number)
{
    quitSignal = number;
}

// Called by operator new (and AllocateVoxels) when memory runs out; must
// not allocate, so it writes with the platform's raw call.
void OnOutOfMemory()
{
    WriteLastWords("out of memory while ", purpose);
    TellUserLastWords();
    EndNow(ExitStatus::OutOfMemory);
}

// Appends the decimal digits of `value` (>= 0) at `out`; returns the end.
char* AppendNumber(char* out, int value)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && n < 12);
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

} // namespace

void WriteLastWords(const char* part1, const char* part2, const char* part3)
{
    char line[512] = "Veldmarrow: ";
    std::size_t n = std::strlen(line);
    for (const char* part : {part1, part2, part3})
        for (; *part != '\0' && n < sizeof line - 1; ++part)
            line[n++] = *part;
    std::memcpy(lastWords, line, n);
    lastWords[n] = '\0';
    line[n++] = '\n';
    // One write: the line lands whole or not at all.
    WriteLastWordsLine(line, static_cast<unsigned>(n));
}

void WriteFatalSignalLine(int number, const char* text)
{
    // "fatal signal 11 (SIGSEGV, invalid memory access); ending with status 139"
    char head[32] = "fatal signal ";
    char* end = AppendNumber(head + std::strlen(head), number);
    std::strcpy(end, " (");
    char tail[48] = "); ending with status ";
    end = AppendNumber(tail + std::strlen(tail), ExitStatus::SignalBase + number);
    *end = '\0';
    WriteLastWords(head, text, tail);
}

AllocationPurpose::AllocationPurpose(const char* what) : previous(purpose)
{
    purpose = what;
}

AllocationPurpose::~AllocationPurpose()
{
    purpose = previous;
}

namespace {

static_assert(ExitStatus::SignalBase == FatalSignalStatusBase, "one status for a fatal signal");

// A fault while ending (the handlers run with the signal unblocked) ends
// without another word; otherwise the line, and the user is told.
void OnFatalSignal(int number, const char* text)
{
    if (endingSignal != 0)
        EndNow(ExitStatus::SignalBase + endingSignal);
    endingSignal = number;
    WriteFatalSignalLine(number, text);
    TellUserLastWords();
}

} // namespace

void InstallFaultHandlers(const char* errorFileName)
{
    InstallFatalSignalHandlers(errorFileName, OnFatalSignal);
    std::set_new_handler(OnOutOfMemory);
}

void CatchQuitSignals()
{
    InstallQuitSignalHandlers(OnQuitSignal);
}

int QuitSignal()
{
    return quitSignal;
}

namespace {
void (*displayLostAction)() = nullptr;

// The display or the window is gone: the world is saved if it can be, then the end.
void OnDisplayLost(const char* words)
{
    WriteLastWords(words);
    void (*action)() = displayLostAction;
    displayLostAction = nullptr; // once, even if the action itself loses the display again
    if (action != nullptr)
        action();
    EndNow(ExitStatus::DisplayLost);
}
} // namespace

void SetDisplayLostAction(void (*action)()) { displayLostAction = action; }

void WatchDisplay()
{
    WatchDisplayConnection(OnDisplayLost);
}
