// Settings: the five display settings, read once from "settings.lua".
#pragma once
#include "core/VideoRequest.h"
#include <string>

class ScriptHost;

// The script's values: what the window is opened with.
struct Settings : VideoRequest {};

// What the program holds before the script has run.
constexpr Settings defaultSettings = {true, 800, 600, 0, false};

// The program-wide settings file name and live settings.
extern std::string settingsFileName;
extern Settings settings;

// Runs the script `fileName` in `host` and reads the five globals into `out`.
// Every value comes from the script or is 0/false; integers are clamped to
// 32 bits. A script that cannot be loaded, is precompiled, raises an error
// or runs past its instruction budget gets one line on the error stream.
// `instructionBudget` bounds the run time in Lua VM instructions; the default
// is far beyond any real settings file and stops an endless loop in a second.
void LoadSettings(ScriptHost& host, const std::string& fileName, Settings& out,
                  long instructionBudget = 100000000);

// The program's own call: the global host, file name and live settings.
void LoadSettings();

// The world file the settings script named in the global `worldFile`, or
// empty. A value that is not a string is ignored with one line on the error
// stream.
std::string WorldFileSetting(ScriptHost& host);

// The global `name` when it is a string, else empty; a value of another
// type is ignored with one line on the error stream, saying it should be
// `what`.
std::string TextSetting(ScriptHost& host, const char* name, const char* what);

// The global `name` when it is a whole number from `low` (at least 1) to
// `high`, else 0; any other value is ignored with one line on the error
// stream.
int WholeSetting(ScriptHost& host, const char* name, int low, int high);
