// LogHandle: the file operations under the whole-line logs (core/LogFile),
// on a file handle >= 0. CMake compiles exactly one of LogHandlePosix.cpp
// and LogHandleWindows.cpp.
#pragma once
#include <cstddef>

// Opens `fileName` for writing as text, created or truncated; -1 with errno
// on failure.
int OpenLogHandle(const char* fileName);
// Writes all `n` bytes and sets `fileSize` to the file's size after them;
// false with errno on failure.
bool WriteLogBytes(int handle, const char* data, std::size_t n, long long& fileSize);
// Cuts the file back to `size` bytes.
void TruncateLog(int handle, long long size);
// Closes the handle.
void CloseLogHandle(int handle);
