// CommandLine: what the program was asked to do by its arguments.
#pragma once
#include <ostream>
#include <string>

enum class RunMode {
    Normal,   // no arguments: play as usual
    Record,   // --record FILE: play as usual and write the session to FILE
    Play,     // --play FILE: replay FILE at the normal pace
    Timedemo, // --timedemo FILE: replay FILE as fast as possible and report
    Serve,    // --serve FILE: keep the world in FILE and serve it to players, without a window
    Join,     // --join HOST[:PORT]: play in a server's world
    Help,     // --help
    Version,  // --version
    Invalid,  // an argument not understood; `error` says which
};

struct CommandLine {
    RunMode mode = RunMode::Normal;
    std::string demoFile; // for Record, Play and Timedemo
    std::string worldFile; // --world FILE: the world to play in and keep; empty for none
    std::string error;    // for Invalid: one line saying what was wrong
    std::string server;   // for Join: HOST[:PORT] as typed (checked when joining)
    int port = 0;         // --port N with Serve: 1 to 65535; 0 for the default
    std::string password; // --password TEXT with Serve or Join
    bool hasPassword = false;
    std::string name;     // --name NAME with Join: the player's name
    int players = 0;      // --players N with Serve: 1 to 256; 0 for the setting or default
    // --data-dir DIR, with any mode: run in the user's own folder, with DIR's
    // settings.lua and images as the defaults (the installed command's way).
    std::string dataDir;
};

// Reads the arguments after the program name. Touches nothing else.
CommandLine ParseCommandLine(int argc, const char* const argv[]);

// The one-line summary of the arguments, starting "Usage: ".
std::string UsageLine();

// The text --help prints: the usage line and what each argument does.
std::string HelpText();

// Answers --help and --version on `out`, and an argument not understood on
// `err` (the reason, then the usage line). Returns true when the run ends
// there, with the exit status in `status`.
bool AnswerWithoutRunning(const CommandLine& command, std::ostream& out, std::ostream& err, int& status);
