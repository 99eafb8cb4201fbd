// Console: the process's arguments, console streams, environment and exit, as
// each system has them.
// One small function each; CMake compiles exactly one of ConsolePosix.cpp
// and ConsoleWindows.cpp.
#pragma once
#include <string>
#include <vector>


// Sets the environment variable `name` to `value` for this process, replacing any value.
void SetProcessEnvironment(const char* name, const char* value);

// Ends the process with `status`, its output streams flushed: exit() where
// that reports the status reliably; on Windows at once, without the C
// runtime's exit actions (see ConsoleWindows.cpp).
[[noreturn]] void ExitProcessWithStatus(int status);

// The program's arguments as UTF-8, argv[0] included: on Windows read afresh
// as UTF-16 from the system, since `argv` there holds them in the ANSI code
// page (a name outside it arrives as "????"); elsewhere `argv` itself.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// A program without a console of its own (a Windows GUI program started from
// cmd or PowerShell) writes its standard output and error to the console it
// was started from, as UTF-8; streams already redirected stay as they are.
// Does nothing elsewhere.
void AttachParentConsole();
