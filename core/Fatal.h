// Fatal: the one way the program ends early, with a reason for the user.
#pragma once
#include <string>

// Writes "Veldmarrow: <reason>" as one line to the error stream (error.txt),
// then ends the process with `status`.
[[noreturn]] void FatalExit(int status, const std::string& reason);
