// ListCompactor: which display lists to recompile, and how much of a frame
// to spend on it, so that the storage dead lists hold (see ListStorage) is
// given back about as fast as digging makes it.
//
// It is an incremental collector, paced by its backlog: the more dead
// vertices wait, the larger its share of the frame, up to a ceiling tied to
// the frame time; once the backlog is cleared it falls back to the base
// share. No OpenGL here: it asks the renderer to rebuild a chunk through a
// callback, and reads the chunks' lists from the grid.
#pragma once
#include <cstddef>
#include <functional>
#include <vector>

#include "render/ChunkGrid.h"
#include "render/ListStorage.h"

// The pacing rule's constants, in one place.
struct CompactionPacing {
    // Dead vertices held before compaction starts: about 2.5 MiB of driver
    // storage at 20 bytes a vertex.
    static constexpr std::size_t BacklogLimit = 128 * 1024;
    // The share of a frame at the limit, in processor time: enough for a
    // dig that pauses now and then, and hardly felt in a 40-80 ms frame.
    static constexpr double BaseMs = 1.5;
    // The share never exceeds this, nor CeilingFrameShare of the median
    // frame: a player notices a stall, not a few milliseconds more in every
    // frame, and a fast machine's short frames keep their share small too.
    static constexpr double CeilingMs = 6.0;
    static constexpr double CeilingFrameShare = 0.10;
    // The backlog at which the share reaches the ceiling; between the limit
    // and this it rises in proportion. A held button makes about 8.6 K dead
    // vertices a frame and needs 2-3 ms to keep up, reached a few hundred
    // thousand vertices (under 10 MiB) past the limit.
    static constexpr std::size_t CeilingBacklog = 1024 * 1024;
    // Frames over which the median frame time is taken.
    static constexpr int FrameWindow = 63;

    // The share of a frame, in milliseconds of processor time, for `backlog`
    // dead vertices when frames take `medianFrameMs` (0: not known yet, so
    // no more than the base share).
    static double BudgetMs(std::size_t backlog, double medianFrameMs, double ceilingMs = CeilingMs);
};

class ListCompactor {
public:
    // Switches that exist to measure; the program keeps the defaults.
    struct Options {
        bool enabled = true;        // off: dead storage is never given back
        bool paced = true;          // off: the base share in every frame, whatever the backlog
        double ceilingMs = CompactionPacing::CeilingMs; // another ceiling (never above CeilingMs)
        bool recordFrames = false;  // keep each compacting frame's processor time in figures.frameCpuMs
    };
    // Where time comes from: this thread's processor time and a monotonic
    // clock, both in milliseconds. Replaced in tests.
    struct Clocks {
        std::function<double()> cpuMs;
        std::function<double()> wallMs;
    };
    static Clocks SystemClocks();

    // The largest list recompiled: about 2 ms here (0.25 us a vertex), so
    // that no frame pays much more than its share for one chunk. A count,
    // not a time, so that what is moved does not depend on the load. Larger
    // lists stay where they are; the rest of their generation is moved.
    static constexpr std::size_t MaxCompactedListVertices = 8 * 1024;

    // What compaction cost.
    struct Figures {
        long lists = 0;          // lists recompiled
        long frames = 0;         // frames in which it recompiled
        double longestMs = 0;    // longest in one frame, on the clock
        double longestCpuMs = 0; // and in processor time (which a loaded machine does not inflate)
        double msPerVertex = 0;  // processor time a recompiled vertex costs, as learnt
        std::vector<double> frameCpuMs; // per compacting frame, with Options::recordFrames
    } figures;

    // `rebuild(i)` rebuilds chunk i of `grid` and reports its old and new
    // list to `storage`, as any rebuild does.
    ListCompactor(const ChunkGrid& grid, ListStorage& storage, std::function<void(int)> rebuild, Options options,
                  Clocks clocks = SystemClocks());

    // Once a frame: recompiles lists of the generation the storage asks to
    // compact, within the frame's share (the frame's first list always, so
    // that progress never stalls).
    void RunFrame();
    // The share the next frame gets, in milliseconds of processor time.
    double BudgetMs() const;

private:
    const ChunkGrid& grid;
    ListStorage& storage;
    std::function<void(int)> rebuild;
    Options options;
    Clocks clocks;
    int cursor = 0;
    // The generation being compacted, and the chunks visited since it was
    // chosen: a full lap moves everything in it that can be moved.
    int lapGeneration = -1;
    int lapVisited = 0;
    double msPerVertex = 0.0001; // learnt as chunks are compacted
    double lastFrameStart = -1;
    std::vector<double> frameMs; // the last FrameWindow frame times, oldest overwritten
    int frameNext = 0;

    double MedianFrameMs() const;
};
