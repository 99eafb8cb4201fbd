// The renderer's rebuild queue: which chunks a changed voxel queues.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <tuple>

#include "render/ChunkGrid.h"
#include "support/TestWorld.h"

namespace {

using Coords = std::tuple<int, int, int>;

std::vector<Coords> Queued(const ChunkGrid& grid)
{
    std::vector<Coords> out;
    for (const DirtyChunk& d : grid.dirtyChunks)
        out.emplace_back(d.cx, d.cy, d.cz);
    return out;
}

std::vector<Coords> QueueOne(int x, int y, int z)
{
    ChunkGrid grid(512, 512, 256);
    grid.QueueVoxel(x, y, z);
    return Queued(grid);
}

} // namespace

TEST(ChunkGrid, FaceVoxelsQueueTheChunkAcrossTheFaceOnly)
{
    const int mid = 100; // local offset 4: no neighbour on that axis
    EXPECT_EQ(QueueOne(0, mid, mid), (std::vector<Coords>{{0, 6, 6}}));
    EXPECT_EQ(QueueOne(15, mid, mid), (std::vector<Coords>{{0, 6, 6}, {1, 6, 6}}));
    EXPECT_EQ(QueueOne(16, mid, mid), (std::vector<Coords>{{1, 6, 6}, {0, 6, 6}}));
    EXPECT_EQ(QueueOne(31, mid, mid), (std::vector<Coords>{{1, 6, 6}, {2, 6, 6}}));
    EXPECT_EQ(QueueOne(32, mid, mid), (std::vector<Coords>{{2, 6, 6}, {1, 6, 6}}));
    EXPECT_EQ(QueueOne(47, mid, mid), (std::vector<Coords>{{2, 6, 6}, {3, 6, 6}}));
    EXPECT_EQ(QueueOne(511, mid, mid), (std::vector<Coords>{{31, 6, 6}}));
    EXPECT_EQ(QueueOne(mid, 32, mid), (std::vector<Coords>{{6, 2, 6}, {6, 1, 6}}));
    EXPECT_EQ(QueueOne(mid, 511, mid), (std::vector<Coords>{{6, 31, 6}}));
    EXPECT_EQ(QueueOne(mid, mid, 47), (std::vector<Coords>{{6, 6, 2}, {6, 6, 3}}));
    EXPECT_EQ(QueueOne(mid, mid, 255), (std::vector<Coords>{{6, 6, 15}}));
    EXPECT_EQ(QueueOne(mid, mid, 0), (std::vector<Coords>{{6, 6, 0}}));
    EXPECT_EQ(QueueOne(16, 16, 16), (std::vector<Coords>{{1, 1, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}}));
}

TEST(ChunkGrid, SameRulesOnEveryAxis)
{
    // Voxel coordinate -> chunks queued along that axis, in order.
    const int extents[3] = {512, 512, 256};
    for (int axis = 0; axis < 3; ++axis) {
        const int last = extents[axis] - 1, lastChunk = last / 16;
        const std::vector<std::pair<int, std::vector<int>>> cases = {
            {0, {0}}, {15, {0, 1}}, {16, {1, 0}}, {31, {1, 2}}, {32, {2, 1}}, {47, {2, 3}}, {last, {lastChunk}},
        };
        for (const auto& [v, chunks] : cases) {
            int voxel[3] = {100, 100, 100}; // chunk 6, away from its faces
            voxel[axis] = v;
            std::vector<Coords> expected;
            for (int c : chunks) {
                int chunk[3] = {6, 6, 6};
                chunk[axis] = c;
                expected.emplace_back(chunk[0], chunk[1], chunk[2]);
            }
            EXPECT_EQ(QueueOne(voxel[0], voxel[1], voxel[2]), expected) << "axis " << axis << " at " << v;
        }
    }
}

TEST(ChunkGrid, EachChunkQueuedOnceUntilRebuilt)
{
    ChunkGrid grid(512, 512, 256);
    for (int z = 100; z < 110; ++z)
        for (int x = 100; x < 110; ++x)
            grid.QueueVoxel(x, 100, z);
    EXPECT_EQ(Queued(grid), (std::vector<Coords>{{6, 6, 6}}));
    grid.QueueVoxel(96, 100, 100); // already queued chunk, new neighbour
    EXPECT_EQ(Queued(grid), (std::vector<Coords>{{6, 6, 6}, {5, 6, 6}}));
    EXPECT_TRUE(grid.At(5, 6, 6).queued);
    EXPECT_EQ(grid.dirtyChunks[1].chunk, &grid.At(5, 6, 6));
    EXPECT_EQ(&grid.At(5, 6, 6), &grid.chunks[5 + 32 * (6 + 32 * 6)]);
}

TEST(ChunkGrid, CarvingQueuesEveryChunkWhoseFacesChanged)
{
    std::unique_ptr<Map> map(new Map(new BasicMapGenerator(SeededDraws(5))));
    struct Forward : MapChangeObserver {
        ChunkGrid grid{512, 512, 256};
        void VoxelChanged(int x, int y, int z) override { grid.QueueVoxel(x, y, z); }
    } observer;
    map->observers.push_back(&observer);

    std::mt19937 rng(2);
    std::uniform_int_distribution<int> near(-2, 2);
    for (int trial = 0; trial < 6; ++trial) {
        // Centres near a chunk corner so each sphere spans eight chunks.
        const int cx = 32 * (2 + trial) + near(rng), cy = 64 + near(rng), cz = 128 + near(rng);
        std::vector<VertexArray> before;
        for (int z = 6; z <= 9; ++z)
            for (int y = 2; y <= 5; ++y)
                for (int x = cx / 16 - 2; x <= cx / 16 + 1; ++x) {
                    before.emplace_back();
                    MeshChunk(*map, x, y, z, before.back());
                }
        observer.grid.dirtyChunks.clear();
        for (int i = 0; i < observer.grid.chunkCount; ++i)
            observer.grid.chunks[i].queued = false;
        map->CarveSphere(cx, cy, cz, 4.0f);
        std::set<Coords> queued;
        for (const auto& c : Queued(observer.grid))
            queued.insert(c);
        std::size_t i = 0;
        for (int z = 6; z <= 9; ++z)
            for (int y = 2; y <= 5; ++y)
                for (int x = cx / 16 - 2; x <= cx / 16 + 1; ++x) {
                    VertexArray after;
                    MeshChunk(*map, x, y, z, after);
                    const bool changed = !SameVertices(after, before[i]);
                    if (changed) {
                        EXPECT_TRUE(queued.count({x, y, z})) << x << "," << y << "," << z;
                    }
                    ++i;
                }
    }
}
