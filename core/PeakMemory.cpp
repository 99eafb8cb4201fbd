// PeakMemory: the one system call per platform.
#include "core/PeakMemory.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

std::uint64_t PeakResidentBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
#ifdef __APPLE__
    return static_cast<std::uint64_t>(usage.ru_maxrss); // bytes there
#else
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024; // KiB on Linux
#endif
#endif
}
