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
constexpr int BadWorld = 9;      // the world file cannot be used (refused at start; the file is untouched)
constexpr int WorldHeld = 10;    // the world file is open in another running Veldmarrow
constexpr int WorldNotSaved = 11; // the final save of the world failed
constexpr int NoUserFolder = 12;  // the user's folder (--data-dir) could not be made, seeded or entered
constexpr int NoNetwork = 13;     // --serve: the network could not be used (the port taken, no sockets)
constexpr int NoServer = 14;      // --join: the server unreachable or silent, or the connection lost
constexpr int ServerRefused = 15; // --join: the server refused (full, password, version, name)
constexpr int SignalBase = 128;   // a fatal signal N ends with 128 + N, as shells report it
} // namespace ExitStatus
