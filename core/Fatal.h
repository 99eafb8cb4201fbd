// Fatal: the one way the program ends early, with a reason for the user.
#pragma once
#include <string>

// Writes "Veldmarrow: <reason>" as one line to the error stream (error.txt),
// tells the user (see TellUser), then ends the process with `status`.
[[noreturn]] void FatalExit(int status, const std::string& reason);

// An action FatalExit runs once the line is written, before the process
// ends (what the program must undo when it ends early); null for none.
void SetEarlyEndingAction(void (*action)());

// Shows `message` where a user who started the program by double-click sees
// it (a message box on Windows; elsewhere the terminal and error.txt already
// hold it), and waits until it is acknowledged. Nothing when unattended.
void TellUser(const std::string& message);

// True when nobody is there to acknowledge a message: VELDMARROW_UNATTENDED=1
// in the environment, or a run marked so (--timedemo). Decided at the first
// call; main calls it before the fault handlers go in, which then only read it.
bool Unattended();
void MarkUnattended();
