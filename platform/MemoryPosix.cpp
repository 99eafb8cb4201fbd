// Memory on POSIX systems.
#include "platform/Memory.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

namespace {

// The value of the "Name:  N kB" line of /proc/meminfo in bytes, or -1.
std::int64_t MemInfoBytes(const char* text, const char* name)
{
    const char* at = std::strstr(text, name);
    if (at == nullptr)
        return -1;
    char* end = nullptr;
    const long long kib = std::strtoll(at + std::strlen(name), &end, 10);
    return end == at + std::strlen(name) || kib < 0 ? -1 : static_cast<std::int64_t>(kib) * 1024;
}

} // namespace

MemoryRoom AvailableMemory()
{
    MemoryRoom room = {UINT64_MAX, UINT64_MAX};
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        // The limit counts every mapping the process has, reserved or used.
        unsigned long long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%llu", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const std::uint64_t mapped = static_cast<std::uint64_t>(pages) * PageSize();
        room.addressSpace = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    }
    if (FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
        char text[4096];
        const std::size_t n = std::fread(text, 1, sizeof text - 1, meminfo);
        std::fclose(meminfo);
        text[n] = '\0';
        const std::int64_t free = MemInfoBytes(text, "MemAvailable:"), swap = MemInfoBytes(text, "SwapFree:");
        if (free >= 0)
            room.memory = static_cast<std::uint64_t>(free) + static_cast<std::uint64_t>(swap > 0 ? swap : 0);
    }
    return room;
}
