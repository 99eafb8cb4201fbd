// WorldLock: one program per world, from a new world's first byte.
//
// The lock is the system's, taken on the world file itself (see
// OpenLocked), so every name of the file shares it and the system drops it
// when the process ends, however it ends. A new world is built in a file of
// its own beside the world's name, locked before anything is written, under
// a name only this program uses; it is moved to the world's name only where
// nothing is there yet, so the world file appears complete and already held.
// Of two programs creating one world at once, the one that moves second
// finds the name taken, and the world in it held by the first.
#pragma once
#include <string>

#include "platform/Files.h"

// The file a world's name means: symbolic links (and, on Windows,
// junctions) followed to the end, a dangling one to the file it names, so
// that the world is read and written there and the link stays a link.
std::string WorldTarget(const std::string& path);

// The folder holding `file`, as a name for messages ("." for a bare name).
std::string FolderOf(const std::string& file);

// 0 when a new file can be created in the folder of `file` (one is created
// there and removed again), otherwise the errno value of the failure.
int FolderWritable(const std::string& file);

// Removes what programs stopped while building a new world for `file` left
// beside it: only files under the names this program builds in, only those
// nothing holds, and only those with bytes in them (a builder takes its
// lock between creating its file and writing to it). Anything else is left
// alone.
void RemoveBuildingLeftovers(const std::string& file);

class WorldLock {
public:
    enum class Taken { Yes, Held, Failed };

    WorldLock() = default;
    ~WorldLock() { Release(); }
    WorldLock(const WorldLock&) = delete;
    WorldLock& operator=(const WorldLock&) = delete;

    // Takes the lock on the existing file `file`: Held when another program
    // holds it, Failed with the errno value in `error` when the file cannot
    // be opened (for writing too, with an exclusive lock).
    Taken TakeExisting(const std::string& file, FileLock kind, int& error);
    // Creates a new, locked, empty file beside `file` to build a world in;
    // its name in Building(). False with the errno value otherwise.
    bool CreateBeside(const std::string& file, int& error);
    const std::string& Building() const { return building; }
    // Moves the file being built to `file`, only where nothing is there yet
    // (EEXIST when something is). The lock stays with the file.
    bool MoveIntoPlace(const std::string& file, int& error);
    // Removes `file` if it is still the locked file, and releases the lock.
    void RemoveAndRelease(const std::string& file);
    // Releases the lock. The caller closes its own uses of the file first:
    // on POSIX systems, SQLite's locks are the process's.
    void Release();
    bool Holding() const { return held != NoLockedFile; }
    // The held file's size in bytes (-1 when unknown or nothing is held).
    std::int64_t HeldSize() const { return LockedFileSize(held); }

private:
    LockedFile held = NoLockedFile;
    std::string building;
};
