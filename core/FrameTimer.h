// FrameTimer: measures frame durations in whole milliseconds on an unsigned
// 32-bit clock, keeps the last ten in a ring and derives delta, average and fps.
#pragma once
#include <cstdint>

#include "platform/Clock.h"

// A millisecond clock that wraps after 2^32 ms. Injectable so the arithmetic
// can be tested with a scripted clock.
using MillisecondClock = std::uint32_t (*)();

class FrameTimer {
public:
    static const int RingSize = 10;

    std::uint32_t frameTimes[RingSize] = {};
    std::uint32_t lastTime = 0;
    std::uint32_t averageTime = 0;
    float delta = 0.0f;
    std::uint32_t frameCount = 0;
    float fps = 0.0f;

    explicit FrameTimer(MillisecondClock clock = SystemMilliseconds) : clock(clock) {}

    // Resets every member, raises the timer resolution to 1 ms and takes the first clock reading.
    void Start();
    // Measures one frame: the time since the previous tick (or Start).
    void Tick();
    // Gives back the timer resolution that Start raised.
    void Stop();

private:
    MillisecondClock clock;
    // True once frameCount has wrapped past 2^32: the ring is full for good.
    bool wrapped = false;
};

// The program-wide frame timer, started before the entry routine.
extern FrameTimer frameTimer;
