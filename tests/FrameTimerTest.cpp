// The frame timer's arithmetic against a scripted clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/FrameTimer.h"

namespace {
std::vector<std::uint32_t> readings;
std::size_t nextReading = 0;
std::uint32_t ScriptedClock() { return readings.at(nextReading++); }

FrameTimer StartedAt(std::vector<std::uint32_t> script)
{
    readings = std::move(script);
    nextReading = 0;
    FrameTimer timer(ScriptedClock);
    timer.Start();
    return timer;
}
} // namespace

TEST(FrameTimer, AveragesOverTheTicksSoFarThenTheWholeRing)
{
    FrameTimer t = StartedAt({1000, 1010, 1030, 1060});
    t.Tick();
    EXPECT_EQ(t.averageTime, 10u);
    EXPECT_FLOAT_EQ(t.fps, 100.0f);
    EXPECT_FLOAT_EQ(t.delta, 0.010f);
    t.Tick();
    EXPECT_EQ(t.averageTime, 15u);
    EXPECT_NEAR(t.fps, 66.6667f, 1e-3);
    t.Tick();
    EXPECT_EQ(t.averageTime, 20u);
    EXPECT_FLOAT_EQ(t.fps, 50.0f);
    EXPECT_FLOAT_EQ(t.delta, 0.030f);
}

TEST(FrameTimer, TruncatesTheAverage)
{
    FrameTimer t = StartedAt({0, 3, 6, 10});
    t.Tick();
    t.Tick();
    t.Tick();
    EXPECT_EQ(t.averageTime, 3u);
    EXPECT_NEAR(t.fps, 333.333f, 1e-2);
}

TEST(FrameTimer, StandingClockRepeatsTheAverageAndFirstTickCanBeZero)
{
    FrameTimer t = StartedAt({500, 500, 520, 520});
    t.Tick(); // same millisecond as Start: average still 0
    EXPECT_EQ(t.frameTimes[0], 0u);
    EXPECT_EQ(t.delta, 0.0f);
    EXPECT_TRUE(std::isinf(t.fps));
    t.Tick(); // 20 ms; average (0 + 20) / 2 = 10
    EXPECT_EQ(t.averageTime, 10u);
    t.Tick(); // standing clock: the previous average, never 0
    EXPECT_EQ(t.frameTimes[2], 10u);
    EXPECT_FLOAT_EQ(t.delta, 0.010f);
}

TEST(FrameTimer, WrappedClockUsesThePreviousAverage)
{
    FrameTimer t = StartedAt({0xFFFFFFF0u, 0xFFFFFFFAu, 0x00000004u, 0x0000000Eu});
    t.Tick();
    EXPECT_EQ(t.frameTimes[0], 10u);
    t.Tick(); // wrapped: now < lastTime
    EXPECT_EQ(t.frameTimes[1], 10u);
    t.Tick(); // after the wrap, plain differences again
    EXPECT_EQ(t.frameTimes[2], 10u);
    EXPECT_EQ(t.lastTime, 0x0000000Eu);
}

TEST(FrameTimer, RingOverwritesOldestAndFrameCountWrapKeepsFullRing)
{
    std::vector<std::uint32_t> script = {0};
    for (std::uint32_t i = 1; i <= 12; ++i)
        script.push_back(script.back() + (i <= 10 ? 100 : 1));
    script.push_back(script.back() + 7);
    FrameTimer t = StartedAt(script);
    for (int i = 0; i < 12; ++i)
        t.Tick();
    // Ticks 11 and 12 replaced slots 0 and 1: (8 * 100 + 2 * 1) / 10.
    EXPECT_EQ(t.averageTime, 80u);

    t.frameCount = 0xFFFFFFFFu; // next tick wraps the count to 0
    t.Tick();
    EXPECT_EQ(t.frameCount, 0u);
    // Slot 0xFFFFFFFF % 10 = 5 took 7; the average still covers ten slots.
    EXPECT_EQ(t.frameTimes[5], 7u);
    EXPECT_EQ(t.averageTime, (1 + 1 + 100 + 100 + 100 + 7 + 100 + 100 + 100 + 100) / 10u);
}

TEST(FrameTimer, MonotonicClockNeverRunsBackwards)
{
    const std::uint32_t a = SystemMilliseconds();
    const std::uint32_t b = SystemMilliseconds();
    EXPECT_LE(static_cast<std::uint32_t>(b - a), 1000u);
}
