// Clock on POSIX systems.
#include "platform/Clock.h"

#include <ctime>

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
