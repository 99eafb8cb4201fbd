// Memory on Windows (64-bit, built with MinGW-w64).
#include "platform/Memory.h"

#include <windows.h>
#include <psapi.h>

#include <malloc.h>

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

MemoryRoom AvailableMemory()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return {UINT64_MAX, UINT64_MAX};
    // Windows hands out memory against its commit limit (memory and page
    // file together), whatever is resident.
    return {status.ullAvailVirtual, status.ullAvailPageFile};
}
