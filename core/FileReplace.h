// FileReplace: replacing a file whole or not at all. The new content goes to
// a new file beside it, is put on disk, and only then is renamed over the
// old one, so a crash, a kill or a full disk at any moment leaves either the
// old file or the new one, never a mix and never nothing.
#pragma once
#include <cstddef>
#include <string>

// Checks, before the work whose result will go to `path`, that it can be
// replaced: whatever exists there must be a regular file (a directory, a
// device, a FIFO or a socket is refused without being opened), and a new
// file must be creatable in its folder (one is created and removed again).
// False, with the cause in `reason` (without the file's name), otherwise.
// Nothing at `path` is opened, changed or removed.
bool CheckReplaceable(const std::string& path, std::string& reason);

// Replaces the file at `path` (or creates it) with `size` bytes at `data`.
// A symbolic link is followed: the file it points to is replaced. Only files
// this call created are ever removed. False, with the cause in `reason`,
// when it could not be done; `path` is then as it was.
bool ReplaceFileWhole(const std::string& path, const void* data, std::size_t size, std::string& reason);

// True when `a` and `b` name the same file: the same file on disk when both
// exist, otherwise the same absolute path.
bool SameFile(const std::string& a, const std::string& b);
