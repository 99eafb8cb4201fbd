// FrameTimer: the per-frame clock arithmetic, independent of any window.
#include "core/FrameTimer.h"

#include <limits>

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
    BeginMillisecondTimer();
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
    EndMillisecondTimer();
}
