// Platform on Linux and other POSIX systems.
#include "core/Platform.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

void SetProcessEnvironment(const char* name, const char* value)
{
    setenv(name, value, 1);
}

bool DisplayVariableMatters()
{
    return true;
}

void* AllocateAligned(std::size_t alignment, std::size_t size)
{
    void* block = nullptr;
    return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void FreeAligned(void* block)
{
    std::free(block);
}

void AdviseLargePages(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    madvise(data, bytes, MADV_HUGEPAGE); // a refusal just means small pages
#else
    (void)data;
    (void)bytes;
#endif
}

std::size_t PageSize()
{
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

void PopulatePageRange(void* data, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    madvise(data, bytes, MADV_POPULATE_WRITE); // before Linux 5.14: pages come as they are touched
#else
    (void)data;
    (void)bytes;
#endif
}

void ReleasePageRange(void* data, std::size_t bytes)
{
    madvise(data, bytes, MADV_DONTNEED);
}

void ExitProcessWithStatus(int status)
{
    std::exit(status);
}

double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void BeginMillisecondTimer()
{
    // The monotonic clock already has millisecond resolution.
}

void EndMillisecondTimer()
{
}

std::uint32_t SystemMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic: the reading wraps exactly like a 32-bit tick counter.
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

const char* SystemHeapName()
{
#ifdef __GLIBC__
    return "glibc";
#else
    return "the C library's malloc";
#endif
}

std::uint64_t PeakResidentBytes()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024; // Linux counts KiB
}

std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}

void AttachParentConsole()
{
    // The terminal's streams are the program's own.
}

void ShowErrorMessage(const char*)
{
    // The terminal and error.txt already hold the reason.
}

bool ProgramClosesOnAltF4()
{
    return false;
}

bool WindowPositionThatFits(int, int, int&, int&)
{
    // The window manager keeps the title bar on screen.
    return false;
}
