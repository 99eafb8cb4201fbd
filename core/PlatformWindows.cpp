// Platform on Windows (64-bit, built with MinGW-w64).
#include "core/Platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <malloc.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <iostream>

void SetProcessEnvironment(const char* name, const char* value)
{
    _putenv_s(name, value);
}

bool DisplayVariableMatters()
{
    // Windows has no DISPLAY: the desktop is always the session's own.
    return false;
}

void* AllocateAligned(std::size_t alignment, std::size_t size)
{
    return _aligned_malloc(size, alignment);
}

void FreeAligned(void* block)
{
    _aligned_free(block);
}

void AdviseLargePages(void*, std::size_t)
{
    // Large pages need a privilege ordinary users lack: small pages it is.
}

std::size_t PageSize()
{
    static const std::size_t page = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return page;
}

void PopulatePageRange(void*, std::size_t)
{
    // No single call supplies committed heap pages ahead of their first touch.
}

void ReleasePageRange(void* data, std::size_t bytes)
{
    // The pages stay committed but need not be kept: the system may reuse them.
    VirtualAlloc(data, bytes, MEM_RESET, PAGE_READWRITE);
}

void ExitProcessWithStatus(int status)
{
    // Under Wine a thread that ends by itself while the process exits can
    // leave its own exit code as the process's: SDL's exit action (SDL_Quit)
    // stops its timer, whose thread then ends, and an exit status of 1 or 3
    // was seen as 0. So the streams are flushed here and the process ends at
    // once, every thread with it; Windows itself releases the window and
    // restores the display mode of a process that ends.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}

double ThreadCpuMilliseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void BeginMillisecondTimer()
{
    timeBeginPeriod(1);
}

void EndMillisecondTimer()
{
    timeEndPeriod(1);
}

std::uint32_t SystemMilliseconds()
{
    return timeGetTime();
}

const char* SystemHeapName()
{
    return "msvcrt";
}

std::uint64_t PeakResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

bool MoveIntoPlace(const char* from, const char* to)
{
    // Write-through: the rename is on disk when this returns, so there is no
    // folder to flush afterwards.
    if (MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH))
        return true;
    errno = EACCES;
    return false;
}

void SyncFolderOf(const char*) {}
