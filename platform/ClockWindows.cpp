// Clock on Windows (64-bit, built with MinGW-w64).
#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

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
