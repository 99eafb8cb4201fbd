// FrameTimer: the per-frame clock arithmetic, independent of any window.
#include "core/FrameTimer.h"

#include <ctime>
#include <limits>

std::uint32_t MonotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic: the reading wraps exactly like a 32-bit tick counter.
    std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                       static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void FrameTimer::Start()
{
    for (std::uint32_t& t : frameTimes)
        t = 0;
    lastTime = 0;
    averageTime = 0;
    delta = 0.0f;
    frameCount = 0;
    fps = 0.0f;
    wrapped = false;
    lastTime = clock();
}

void FrameTimer::Tick()
{
    const std::uint32_t slot = frameCount % RingSize;
    const std::uint32_t now = clock();
    // A clock that stood still or wrapped around would give 0 or a huge value:
    // repeat the previous average instead.
    const std::uint32_t d = now > lastTime ? now - lastTime : averageTime;
    frameTimes[slot] = d;
    frameCount += 1;
    if (frameCount == 0)
        wrapped = true;
    lastTime = now;
    delta = static_cast<float>(d) / 1000.0f;

    const std::uint32_t n = (wrapped || frameCount >= RingSize) ? RingSize : frameCount;
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        sum += frameTimes[i];
    averageTime = static_cast<std::uint32_t>(sum / n);
    fps = averageTime == 0 ? std::numeric_limits<float>::infinity()
                           : 1000.0f / static_cast<float>(averageTime);
}

void FrameTimer::Stop()
{
    // The monotonic clock already has millisecond resolution; nothing to restore.
}
