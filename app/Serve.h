// Serve: the --serve run. No window, no SDL video, no OpenGL: the world kept
// in its file as a player's is (the same format, the same paced saving),
// served to the players that join over UDP. Ends on SIGTERM, SIGINT or
// SIGHUP after saving.
#pragma once
#include <streambuf>

#include "app/CommandLine.h"

// Serves until a quit signal; returns the status to end with (Normal, or
// WorldNotSaved when the final save failed). A world that cannot be used or
// a port that cannot be had ends the process where it is found.
int Serve(const CommandLine& command, std::streambuf* terminal);
