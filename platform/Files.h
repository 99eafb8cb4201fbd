// Files: the few file operations whose guarantees differ between systems:
// a new file on disk, renames that replace or never replace, locks.
// One small function each; CMake compiles exactly one of FilesPosix.cpp
// and FilesWindows.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// File names here are UTF-8, opened by their wide names on Windows.
// Creates `path` as a new file (never opening one that exists), writes the
// `size` bytes at `data`, has the system put them on disk and closes it.
// Returns 0, or the errno value of the failure (EEXIST when something is
// already there), after removing what it created.
int WriteNewFile(const char* path, const void* data, std::size_t size);
// Renames `from` over `to` in one step, replacing `to`, and has the system
// put the change on disk. False, with the cause in `error`, on failure.
bool RenameOver(const char* from, const char* to, std::string& error);
// Removes a file this program created.
void RemoveCreatedFile(const char* path);
// The system's words for an errno value.
std::string ErrorText(int error);
// Moves the complete file `from` to `to` only where nothing is at `to` yet,
// in one step that never replaces anything (renameat2 with RENAME_NOREPLACE,
// or link and unlink, on Linux; MoveFileExW without replacing on Windows),
// and has the system put the change on disk. False with the errno value in
// `error` (EEXIST when something is at `to`).
bool MoveToFreeName(const char* from, const char* to, int& error);

// A file held open for the program's own lock on it: one byte far beyond
// any world's data, apart from SQLite's lock bytes, so that it never stands
// in SQLite's way. The system releases it when the process ends, however it
// ends; every name of the file (hard links, symbolic links) shares it.
using LockedFile = std::intptr_t;
constexpr LockedFile NoLockedFile = -1;
enum class FileLock {
    Shared,    // readers: any number, none while a writer holds it
    Exclusive, // one writer: the file is opened for writing as well
};
// Opens the existing file `path` and takes the lock without waiting. Returns
// NoLockedFile with the errno value in `error` otherwise: EWOULDBLOCK when
// another process holds a conflicting lock, EACCES when the file cannot be
// opened so (for writing, with an exclusive lock).
LockedFile OpenLocked(const char* path, FileLock lock, int& error);
// Creates `path` as a new, empty file (never opening one that exists), for
// reading and writing, with the exclusive lock taken before a byte is written.
LockedFile CreateLocked(const char* path, int& error);
// The size in bytes of the file `file` holds; -1 when the system does not say.
std::int64_t LockedFileSize(LockedFile file);
// True when `path` names the very file `file` holds (not another put there since).
bool IsLockedFile(LockedFile file, const char* path);
// Removes `path` if it still names the file `file` holds, then releases the
// lock and closes it (`file` becomes NoLockedFile); true when removed.
bool RemoveLockedFile(LockedFile& file, const char* path);
// Releases the lock and closes the file; NoLockedFile is ignored.
void CloseLocked(LockedFile& file);
// Makes a rename into the folder holding `path` survive a power cut, where
// the system needs the folder itself flushed for that; best effort.
void SyncFolderOf(const char* path);

