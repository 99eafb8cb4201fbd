// Clock: the millisecond clock and the thread's processor time.
// One small function each; CMake compiles exactly one of ClockPosix.cpp
// and ClockWindows.cpp.
#pragma once
#include <cstdint>

// Raises the system timer resolution to 1 ms where it must be asked for.
void BeginMillisecondTimer();
// Gives back what BeginMillisecondTimer raised.
void EndMillisecondTimer();
// Milliseconds of a monotonic clock as an unsigned 32-bit count that wraps
// after 2^32 ms: timeGetTime on Windows, the monotonic clock elsewhere.
std::uint32_t SystemMilliseconds();

// Processor time the calling thread has used, in milliseconds: its own work,
// not the software renderer's threads. Where thread times are too coarse to
// time a millisecond (Windows counts them in 15.6 ms steps), a monotonic
// clock instead.
double ThreadCpuMilliseconds();
