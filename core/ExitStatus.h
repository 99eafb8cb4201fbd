// ExitStatus: every status the process can end with, in one table.
#pragma once

namespace ExitStatus {
constexpr int Normal = 0;         // Escape, the window closed, SIGTERM, SIGINT or SIGHUP
constexpr int NoSdl = 1;          // SDL could not start, or an image could not be loaded
constexpr int CannotAnswer = 1;   // --help or --version could not write their text
constexpr int NoVideoInfo = 2;    // no video information available
constexpr int NoVideoMode = 3;    // the video mode could not be set
constexpr int Usage = 4;          // a command-line argument not understood
constexpr int BadDemo = 5;        // a demo file unreadable, corrupt, or not reproducible here
constexpr int OutOfMemory = 6;    // the program's own allocation failed
constexpr int DisplayLost = 7;    // the display or the window went away
constexpr int Interrupted = 8;    // a replay ended before its last pass
constexpr int SignalBase = 128;   // a fatal signal N ends with 128 + N, as shells report it
} // namespace ExitStatus
