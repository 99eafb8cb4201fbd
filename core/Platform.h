// Platform: the few operations whose implementation differs between
// operating systems, one small function each. CMake compiles exactly one of
// PlatformPosix.cpp and PlatformWindows.cpp; nothing else tests the platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Sets the environment variable `name` to `value` for this process, replacing any value.
void SetProcessEnvironment(const char* name, const char* value);

// True where the windowing system is found through a display variable
// (DISPLAY, WAYLAND_DISPLAY), so that its absence means there is no display.
bool DisplayVariableMatters();

// `size` uninitialised bytes aligned to `alignment` (a power of two, a
// multiple of the pointer size); null when the memory cannot be had.
void* AllocateAligned(std::size_t alignment, std::size_t size);
// Frees what AllocateAligned returned; null is ignored.
void FreeAligned(void* block);

// Asks for large pages under [data, data + bytes) where the system offers them
// on request; a refusal, or a system without them, leaves small pages.
void AdviseLargePages(void* data, std::size_t bytes);

// The size of a memory page in bytes.
std::size_t PageSize();
// Has the system supply every page of the page-aligned range [data, data + bytes)
// now, in one call; does nothing where the system cannot.
void PopulatePageRange(void* data, std::size_t bytes);
// Gives the page-aligned range [data, data + bytes) back to the system; it
// stays allocated and its contents are lost (zeros on Linux, undefined on Windows).
void ReleasePageRange(void* data, std::size_t bytes);

// Raises the system timer resolution to 1 ms where it must be asked for.
void BeginMillisecondTimer();
// Gives back what BeginMillisecondTimer raised.
void EndMillisecondTimer();
// Milliseconds of a monotonic clock as an unsigned 32-bit count that wraps
// after 2^32 ms: timeGetTime on Windows, the monotonic clock elsewhere.
std::uint32_t SystemMilliseconds();

// Ends the process with `status`, its output streams flushed: exit() where
// that reports the status reliably; on Windows at once, without the C
// runtime's exit actions (see PlatformWindows.cpp).
[[noreturn]] void ExitProcessWithStatus(int status);

// Processor time the calling thread has used, in milliseconds: its own work,
// not the software renderer's threads. Where thread times are too coarse to
// time a millisecond (Windows counts them in 15.6 ms steps), a monotonic
// clock instead.
double ThreadCpuMilliseconds();

// The name of the C library's own heap allocator: "glibc", "msvcrt", ...
const char* SystemHeapName();

// The most memory the process has held resident so far, in bytes (0 where
// the system does not say).
std::uint64_t PeakResidentBytes();

// What the process may still take, in bytes; UINT64_MAX where there is no
// limit or the system does not say.
struct MemoryRoom {
    std::uint64_t addressSpace; // under the process's address-space limit
    std::uint64_t memory;       // the system's: memory not in use and free swap (Windows: the commit limit's rest)
};
MemoryRoom AvailableMemory();

// The program's arguments as UTF-8, argv[0] included: on Windows read afresh
// as UTF-16 from the system, since `argv` there holds them in the ANSI code
// page (a name outside it arrives as "????"); elsewhere `argv` itself.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);

// A program without a console of its own (a Windows GUI program started from
// cmd or PowerShell) writes its standard output and error to the console it
// was started from, as UTF-8; streams already redirected stay as they are.
// Does nothing elsewhere.
void AttachParentConsole();

// Shows the UTF-8 `text` in a message box and waits until it is dismissed,
// where a program started by double-click has no other way to be heard
// (Windows); does nothing elsewhere. Uses no heap of its own.
void ShowErrorMessage(const char* text);

// True where the program itself must treat Alt+F4 as the close request
// (Windows, where SDL 1.2 swallows the key before the system sees it);
// elsewhere the desktop turns it into the close request.
bool ProgramClosesOnAltF4();

// Where to put the top-left corner of a window's width x height drawing area
// so that its frame's title bar is on the desktop's work area, when the
// window with its frame is larger than that area; false when it fits (or
// the system does not say), and the window is simply centred.
bool WindowPositionThatFits(int width, int height, int& x, int& y);

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
