// UserFolder: where the installed program works. It keeps reading its files
// from the working folder; the installed command makes that the user's own
// folder, seeded with the packaged defaults.
#pragma once
#include <string>

// The user's folder: $XDG_DATA_HOME/veldmarrow, or $HOME/.local/share/veldmarrow
// when XDG_DATA_HOME is unset, empty or relative (as the XDG base directory
// rules say); empty when neither names an absolute folder.
std::string UserFolderFor(const char* xdgDataHome, const char* home);

// `path` named from `base`: unchanged when it is absolute already.
std::string AbsoluteFrom(const std::string& base, const std::string& path);

// The file `name` in the folder that holds the UTF-8 path `file`; `name`
// alone when `file` names no folder.
std::string BesideFile(const std::string& file, const std::string& name);

// Makes `folder` with its parents, gives it a copy of `defaults`/settings.lua
// when it has no settings.lua (written beside and renamed into place, so a
// failure leaves no half file), and makes it the working folder. A
// settings.lua already there is the user's and is never touched. False with
// the reason when a step fails.
bool EnterUserFolder(const std::string& folder, const std::string& defaults, std::string& reason);

// The folder whose images serve where the working folder has none; empty
// when the working folder holds its own (a checkout's data/, the Windows zip).
extern std::string packagedDataFolder;

// The file `name` to read: the working folder's own, or else the packaged one.
std::string DataFilePath(const std::string& name);
