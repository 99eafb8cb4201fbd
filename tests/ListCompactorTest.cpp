// Compaction's policy without a window: which lists it moves, and how much
// of a frame it takes while a dig goes on and after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "render/ListCompactor.h"

namespace {

// Lists stand for chunks: a "rebuild" deletes the chunk's list from the
// account and compiles one of `size(i)` vertices, costing `MsPerVertex` of
// processor time on a clock the test owns.
struct Lists {
    static constexpr double MsPerVertex = 0.0003;
    ChunkGrid grid;
    ListStorage storage;
    double cpuMs = 0, wallMs = 0;
    ListCompactor compactor;

    Lists(int chunksX, int chunksY, std::size_t generationVertices, std::size_t deadLimit,
          ListCompactor::Options options = ListCompactor::Options())
        : grid(16 * chunksX, 16 * chunksY, 16), storage(generationVertices, deadLimit),
          compactor(grid, storage, [this](int i) { Rebuild(i, grid.chunks[i].listVertices); }, options,
                    {[this] { return cpuMs; }, [this] { return wallMs; }})
    {
    }
    void Rebuild(int i, std::size_t vertices)
    {
        Chunk& chunk = grid.chunks[i];
        if (chunk.hasGeometry)
            storage.Deleted(chunk.storageGeneration, chunk.listVertices);
        chunk.hasGeometry = true;
        chunk.listVertices = vertices;
        chunk.storageGeneration = storage.Compiled(vertices);
        cpuMs += MsPerVertex * static_cast<double>(vertices);
    }
    // A frame of `frameMs` on the clock: what the dig rebuilt, then compaction.
    void Frame(double frameMs = 50)
    {
        wallMs += frameMs;
        compactor.RunFrame();
    }
};

} // namespace

TEST(ListCompactor, MovesWhatALargeListLeavesAndDoesNotStallOnIt)
{
    // Seven chunks in a row: small lists in 0 and 2, lists too large to
    // recompile in a frame in 1 and 3 to 6. The first generation ends with 5.
    const std::size_t large = ListCompactor::MaxCompactedListVertices + 1;
    Lists lists(7, 1, 4 * large + 24, 1000);
    const std::size_t sizes[] = {12, large, 12, large, large, large, large};
    for (int i = 0; i < 7; ++i)
        lists.Rebuild(i, sizes[i]);
    const auto generation = [&](int i) { return lists.grid.chunks[i].storageGeneration; };
    ASSERT_EQ(generation(5), 0);
    ASSERT_NE(generation(6), 0);
    const auto settle = [&] {
        for (int i = 0; i < 20 && lists.storage.GenerationToCompact() >= 0; ++i)
            lists.Frame();
        return lists.storage.GenerationToCompact();
    };
    // Digging chunks 3 and 4 leaves the first generation mostly dead.
    lists.Rebuild(3, large);
    lists.Rebuild(4, large);
    EXPECT_EQ(settle(), -1);
    EXPECT_NE(generation(0), 0) << "the small lists were moved";
    EXPECT_NE(generation(2), 0);
    EXPECT_EQ(generation(1), 0) << "the large ones stayed";
    EXPECT_EQ(generation(5), 0);
    EXPECT_EQ(lists.compactor.figures.lists, 2);
    // Digging one of the large ones asks again; with nothing left to move,
    // compaction must let the generation go again rather than stay on it.
    lists.Rebuild(5, large);
    EXPECT_EQ(settle(), -1);
    EXPECT_EQ(generation(1), 0);
    EXPECT_EQ(lists.compactor.figures.lists, 2);
}

TEST(ListCompactor, ShareFollowsTheBacklogSoADigThatNeverPausesStaysWithinBounds)
{
    // 1,024 chunks of 1,000 vertices; the dig rebuilds 12 a frame among the
    // 16 it is passing, more than the base share can keep up with, then
    // stops. Its short-lived lists share generations with the moved ones.
    struct Outcome {
        std::size_t peakBacklog = 0, backlogAtTheEnd = 0, backlogAfter = 0;
        double longestMs = 0, shareAfter = 0;
    };
    const auto dig = [](ListCompactor::Options options) {
        Lists lists(32, 32, 64 * 1024, CompactionPacing::BacklogLimit, options);
        for (int i = 0; i < lists.grid.chunkCount; ++i)
            lists.Rebuild(i, 1000);
        std::uint32_t random = 12345;
        Outcome out;
        for (int frame = 0; frame < 3000; ++frame) {
            for (int k = 0; k < 12; ++k) {
                random = random * 1664525u + 1013904223u;
                const int passing = frame / 2 + static_cast<int>((random >> 8) % 16);
                lists.Rebuild(passing % lists.grid.chunkCount, 1000);
            }
            const double before = lists.cpuMs;
            lists.Frame();
            out.longestMs = std::max(out.longestMs, lists.cpuMs - before);
            out.peakBacklog = std::max(out.peakBacklog, lists.storage.CountedDeadVertices());
        }
        out.backlogAtTheEnd = lists.storage.CountedDeadVertices();
        for (int frame = 0; frame < 3000 && lists.storage.GenerationToCompact() >= 0; ++frame)
            lists.Frame();
        out.backlogAfter = lists.storage.CountedDeadVertices();
        out.shareAfter = lists.compactor.BudgetMs();
        return out;
    };
    ListCompactor::Options fixedShare;
    fixedShare.paced = false;
    const Outcome fixed = dig(fixedShare);
    const Outcome paced = dig(ListCompactor::Options());
    EXPECT_GT(fixed.backlogAtTheEnd, 2 * paced.peakBacklog) << "the base share falls behind";
    EXPECT_LE(paced.peakBacklog, CompactionPacing::CeilingBacklog) << "the paced share keeps up";
    // It rose above the base share, but no frame paid more than a tenth of
    // the 50 ms frame, give or take the list that crosses the line (0.3 ms).
    EXPECT_GT(paced.longestMs, CompactionPacing::BaseMs + 0.3);
    EXPECT_LE(paced.longestMs, 5.0 + 0.3);
    // Once the dig stops, the backlog is cleared and the share falls back.
    EXPECT_LE(paced.backlogAfter, CompactionPacing::BacklogLimit);
    EXPECT_EQ(paced.shareAfter, CompactionPacing::BaseMs);
}
