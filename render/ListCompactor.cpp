// ListCompactor: the paced share of a frame, and the lap over the chunks
// that moves a generation's survivors.
#include "render/ListCompactor.h"

#include <algorithm>
#include <chrono>

#include "platform/Clock.h"

double CompactionPacing::BudgetMs(std::size_t backlog, double medianFrameMs, double ceilingMs)
{
    const double ceiling =
        std::max(BaseMs, std::min({ceilingMs, CeilingMs, CeilingFrameShare * medianFrameMs}));
    if (backlog <= BacklogLimit)
        return BaseMs;
    const double rise = static_cast<double>(backlog - BacklogLimit) / (CeilingBacklog - BacklogLimit);
    return BaseMs + (ceiling - BaseMs) * std::min(rise, 1.0);
}

ListCompactor::Clocks ListCompactor::SystemClocks()
{
    // This thread's processor time, not the clock: a loaded machine's
    // preemption is not this work's cost, and would starve it. Nor the
    // process's: the renderer's threads still drawing the last frame would
    // use the share up.
    return {ThreadCpuMilliseconds, [] {
                return std::chrono::duration<double, std::milli>(
                           std::chrono::steady_clock::now().time_since_epoch())
                    .count();
            }};
}

ListCompactor::ListCompactor(const ChunkGrid& grid, ListStorage& storage, std::function<void(int)> rebuild,
                             Options options, Clocks clocks)
    : grid(grid), storage(storage), rebuild(std::move(rebuild)), options(options), clocks(std::move(clocks))
{
    frameMs.reserve(CompactionPacing::FrameWindow);
}

double ListCompactor::MedianFrameMs() const
{
    // Until the window is full, no more than the base share: the first
    // frames (building, loading) say little about play.
    if (static_cast<int>(frameMs.size()) < CompactionPacing::FrameWindow)
        return 0;
    std::vector<double> sorted = frameMs;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return sorted[sorted.size() / 2];
}

double ListCompactor::BudgetMs() const
{
    if (!options.paced)
        return CompactionPacing::BaseMs;
    return CompactionPacing::BudgetMs(storage.CountedDeadVertices(), MedianFrameMs(), options.ceilingMs);
}

void ListCompactor::RunFrame()
{
    const double wallStart = clocks.wallMs();
    if (lastFrameStart >= 0) {
        const double ms = wallStart - lastFrameStart;
        if (static_cast<int>(frameMs.size()) < CompactionPacing::FrameWindow)
            frameMs.push_back(ms);
        else
            frameMs[frameNext] = ms;
        frameNext = (frameNext + 1) % CompactionPacing::FrameWindow;
    }
    lastFrameStart = wallStart;
    if (!options.enabled)
        return;
    int generation = storage.GenerationToCompact();
    if (generation < 0)
        return;
    const double budgetMs = BudgetMs();
    const double cpuStart = clocks.cpuMs();
    double spentMs = 0;
    // One pass over the chunks at most per frame, resumed where the last one
    // stopped. A chunk whose expected cost would overrun what is left of the
    // share waits for the next frame, unless it is the frame's first, so
    // progress never stalls. A list too large to move in one frame stays;
    // once a whole lap over the grid has moved every other list out of the
    // generation, the generation is set aside, its storage held only where
    // those lists pin it.
    int rebuilt = 0;
    for (int visited = 0; visited < grid.chunkCount && generation >= 0; ++visited) {
        if (generation != lapGeneration) {
            lapGeneration = generation;
            lapVisited = 0;
        }
        const int i = cursor;
        const Chunk& chunk = grid.chunks[i];
        const bool movable = chunk.hasGeometry && chunk.storageGeneration == generation &&
                             chunk.listVertices <= MaxCompactedListVertices;
        if (movable) {
            const std::size_t vertices = chunk.listVertices;
            if (rebuilt > 0 && spentMs + static_cast<double>(vertices) * msPerVertex > budgetMs)
                break;
            const double before = clocks.cpuMs();
            rebuild(i);
            const double after = clocks.cpuMs();
            spentMs = after - cpuStart;
            // Follows the machine: an average over the last few dozen chunks.
            msPerVertex += ((after - before) / static_cast<double>(vertices) - msPerVertex) / 32;
            figures.msPerVertex = msPerVertex;
            ++rebuilt;
            ++figures.lists;
            generation = storage.GenerationToCompact();
        }
        cursor = (cursor + 1) % grid.chunkCount;
        if (generation == lapGeneration && ++lapVisited >= grid.chunkCount) {
            // Only lists too large to move are left in it. Should it be
            // chosen again (it lost a list), it gets a lap of its own.
            storage.SetAside(generation);
            lapGeneration = -1;
            generation = storage.GenerationToCompact();
        }
    }
    if (rebuilt == 0)
        return;
    const double cpuMs = clocks.cpuMs() - cpuStart;
    ++figures.frames;
    figures.longestMs = std::max(figures.longestMs, clocks.wallMs() - wallStart);
    figures.longestCpuMs = std::max(figures.longestCpuMs, cpuMs);
    if (options.recordFrames)
        figures.frameCpuMs.push_back(cpuMs);
}
