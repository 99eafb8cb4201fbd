// Ray picking: worked cases and properties over many random rays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <utility>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "support/TestWorld.h"
#include "world/PickVoxel.h"
#include "world/VoxelType.h"

namespace {

VoxelHit Pick(const Map& map, float ox, float oy, float oz, float dx, float dy, float dz)
{
    const float o[3] = {ox, oy, oz}, d[3] = {dx, dy, dz};
    return PickVoxel(o, d, map.width - 1, map.depth - 1, map.height - 1, map);
}

bool IsNoHit(const VoxelHit& h) { return h.x == -1 && h.y == -1 && h.z == -1; }

// One shared generated world for the property tests.
const Map& World()
{
    static std::unique_ptr<Map> map(new Map(new BasicMapGenerator(SeededDraws(3))));
    return *map;
}

} // namespace

TEST(PickVoxel, WorkedCases)
{
    std::unique_ptr<Map> map(EmptyMap());
    map->voxels[map->Index(10, 10, 130)] = Grass;
    VoxelHit h = Pick(*map, 10.5f, 10.5f, 200.5f, 0, 0, -1);
    EXPECT_EQ(h.x, 10);
    EXPECT_EQ(h.y, 10);
    EXPECT_EQ(h.z, 130);

    // Starting inside a solid voxel returns it at once.
    h = Pick(*map, 10.2f, 10.9f, 130.5f, 1, 0, 0);
    EXPECT_EQ(h.z, 130);

    // Truncation toward zero: -0.5 starts in cell 0.
    map->voxels[map->Index(0, 5, 5)] = Stone;
    h = Pick(*map, -0.5f, 5.5f, 5.5f, 0, 0, 1);
    EXPECT_EQ(h.x, 0);
    EXPECT_EQ(h.z, 5);

    // Outside the volume: no hit even if the ray would enter it.
    EXPECT_TRUE(IsNoHit(Pick(*map, 10.5f, 10.5f, 300.0f, 0, 0, -1)));
    EXPECT_TRUE(IsNoHit(Pick(*map, -1.5f, 5.5f, 5.5f, 1, 0, 0)));

    // Zero direction rises straight up from the start.
    map->voxels[map->Index(20, 20, 200)] = Dirt;
    h = Pick(*map, 20.5f, 20.5f, 100.5f, 0, 0, 0);
    EXPECT_EQ(h.z, 200);
    EXPECT_TRUE(IsNoHit(Pick(*map, 21.5f, 20.5f, 100.5f, 0, 0, 0)));
    // A long empty walk along +x ends with no hit.
    EXPECT_TRUE(IsNoHit(Pick(*map, 0.5f, 300.5f, 250.5f, 1, 0, 0)));
}

TEST(PickVoxel, PlacementCellIsInFrontOfTheFaceLookedAt)
{
    std::unique_ptr<Map> map(EmptyMap());
    const auto before = [&](float ox, float oy, float oz, float dx, float dy, float dz) {
        const float o[3] = {ox, oy, oz}, d[3] = {dx, dy, dz};
        VoxelHit cell;
        const VoxelHit hit = PickVoxel(o, d, map->width - 1, map->depth - 1, map->height - 1, *map, &cell);
        return std::make_pair(hit, cell);
    };
    // Looking down on a voxel: the cell above it. Across a chunk border
    // (x 15 to 16) from the side: the cell on the side looked from.
    map->voxels[map->Index(16, 40, 100)] = Stone;
    auto [hit, cell] = before(16.5f, 40.5f, 120.5f, 0, 0, -1);
    EXPECT_EQ(hit.z, 100);
    EXPECT_EQ(cell.x, 16);
    EXPECT_EQ(cell.z, 101);
    std::tie(hit, cell) = before(10.5f, 40.5f, 100.5f, 1, 0, 0);
    EXPECT_EQ(hit.x, 16);
    EXPECT_EQ(cell.x, 15);
    EXPECT_EQ(cell.z, 100);
    // A slanting ray enters by the face it crosses last, not the nearest one.
    std::tie(hit, cell) = before(13.9f, 40.5f, 103.9f, 1, 0, -1.2f);
    EXPECT_EQ(hit.x, 16);
    EXPECT_EQ(hit.z, 100);
    EXPECT_EQ(std::abs(cell.x - 16) + std::abs(cell.z - 100), 1);
    // No hit, or a walk begun inside the voxel it hits: no cell to place in.
    std::tie(hit, cell) = before(16.5f, 40.5f, 100.5f, 0, 0, 1);
    EXPECT_EQ(hit.z, 100);
    EXPECT_TRUE(IsNoHit(cell));
    std::tie(hit, cell) = before(100.5f, 40.5f, 120.5f, 0, 0, 1);
    EXPECT_TRUE(IsNoHit(hit));
    EXPECT_TRUE(IsNoHit(cell));
}

TEST(PickVoxel, TiesGoToTheLaterAxis)
{
    std::unique_ptr<Map> map(EmptyMap());
    // Direction (1, 1, 0) from (0.5, 0.5): y steps first, then x.
    map->voxels[map->Index(0, 1, 7)] = Stone;
    VoxelHit h = Pick(*map, 0.5f, 0.5f, 7.5f, 1, 1, 0);
    EXPECT_EQ(h.x, 0);
    EXPECT_EQ(h.y, 1);
    map->voxels[map->Index(0, 1, 7)] = Air;
    map->voxels[map->Index(1, 0, 7)] = Stone; // would be reached only by an x-first tie break
    map->voxels[map->Index(1, 1, 7)] = Stone;
    h = Pick(*map, 0.5f, 0.5f, 7.5f, 1, 1, 0);
    EXPECT_EQ(h.x, 1);
    EXPECT_EQ(h.y, 1);
    // x/z tie: z advances, reaching (4, 5, 6) before (5, 5, 5).
    map->voxels[map->Index(4, 5, 6)] = Stone;
    map->voxels[map->Index(5, 5, 5)] = Stone;
    h = Pick(*map, 4.5f, 5.5f, 5.5f, 1, 0, 1);
    EXPECT_EQ(h.x, 4);
    EXPECT_EQ(h.z, 6) << "tie between x and z must advance z first";
}

TEST(PickVoxel, NonFiniteAndHugeInputsGiveNoHit)
{
    std::unique_ptr<Map> map(new Map(new FillGenerator(Stone)));
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    for (float bad : {nan, inf, -inf, 3e9f, -3e9f, 2147483648.0f}) {
        EXPECT_TRUE(IsNoHit(Pick(*map, bad, 5, 5, 0, 0, 1)));
        EXPECT_TRUE(IsNoHit(Pick(*map, 5, bad, 5, 0, 0, 1)));
        EXPECT_TRUE(IsNoHit(Pick(*map, 5, 5, bad, 0, 0, 1)));
    }
    for (float bad : {nan, inf, -inf}) {
        EXPECT_TRUE(IsNoHit(Pick(*map, 5, 5, 5, bad, 0, 1)));
        EXPECT_TRUE(IsNoHit(Pick(*map, 5, 5, 5, 0, 1, bad)));
    }
    // Negative zero means no motion along that axis, like zero.
    std::unique_ptr<Map> empty(EmptyMap());
    empty->voxels[empty->Index(3, 3, 9)] = Stone;
    VoxelHit h = Pick(*empty, 3.5f, 3.5f, 3.5f, -0.0f, -0.0f, 1);
    EXPECT_EQ(h.x, 3);
    EXPECT_EQ(h.z, 9);
}

TEST(PickVoxel, RandomRaysStopAtTheFirstSolidCellOnTheLine)
{
    const Map& map = World();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> pos(0.0f, 511.99f), height(100.0f, 255.99f), dir(-1.0f, 1.0f);
    int hits = 0;
    for (int i = 0; i < 3000; ++i) {
        const float o[3] = {pos(rng), pos(rng), height(rng)};
        const float d[3] = {dir(rng), dir(rng), dir(rng)};
        const VoxelHit h = PickVoxel(o, d, 511, 511, 255, map);
        if (IsNoHit(h))
            continue;
        ++hits;
        ASSERT_TRUE(h.x >= 0 && h.x < 512 && h.y >= 0 && h.y < 512 && h.z >= 0 && h.z < 256);
        ASSERT_NE(map.At(h.x, h.y, h.z), Air);
        // The ray meets the hit cell: its slab interval is not empty.
        const int cell[3] = {h.x, h.y, h.z};
        double enter = 0, leave = 1e30;
        for (int a = 0; a < 3; ++a) {
            if (d[a] == 0) {
                ASSERT_TRUE(o[a] >= cell[a] && o[a] < cell[a] + 1);
                continue;
            }
            double t0 = (cell[a] - static_cast<double>(o[a])) / d[a];
            double t1 = (cell[a] + 1 - static_cast<double>(o[a])) / d[a];
            if (t0 > t1)
                std::swap(t0, t1);
            enter = std::max(enter, t0);
            leave = std::min(leave, t1);
        }
        ASSERT_LE(enter, leave + 1e-4) << "hit cell is not on the ray";
        // Every point of the ray before it enters the hit cell lies in Air:
        // no solid cell was skipped. Points within a hair of a cell boundary
        // are left out, where float and double may disagree.
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        for (double t = 0; t < enter - 1e-3; t += 0.05 / length) {
            double p[3];
            bool nearBoundary = false;
            for (int a = 0; a < 3; ++a) {
                p[a] = o[a] + t * d[a];
                nearBoundary |= std::fabs(p[a] - std::round(p[a])) < 1e-3;
            }
            if (nearBoundary)
                continue;
            const int c[3] = {static_cast<int>(p[0]), static_cast<int>(p[1]), static_cast<int>(p[2])};
            ASSERT_EQ(map.At(c[0], c[1], c[2]), Air) << "solid cell skipped before the hit, ray " << i;
        }
    }
    EXPECT_GT(hits, 1000);
}

TEST(PickVoxel, RaysFromOutsideNeverHit)
{
    const Map& map = World();
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> any(-2000.0f, 2000.0f), dir(-1.0f, 1.0f);
    for (int i = 0; i < 2000; ++i) {
        float o[3] = {any(rng), any(rng), any(rng)};
        if (o[0] > -1 && o[0] < 512 && o[1] > -1 && o[1] < 512 && o[2] > -1 && o[2] < 256)
            continue;
        const float d[3] = {dir(rng), dir(rng), dir(rng)};
        EXPECT_TRUE(IsNoHit(PickVoxel(o, d, 511, 511, 255, map)));
    }
}
