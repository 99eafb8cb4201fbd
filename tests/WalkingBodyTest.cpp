// The walking body: landing, walls, steps, long falls, and walking begun
// inside the terrain.
#include <gtest/gtest.h>

#include <memory>

#include "support/TestWorld.h"
#include "world/VoxelType.h"
#include "world/WalkingBody.h"

namespace {

// Flat ground: solid up to and including z = 99, so standing feet are at 100.
std::unique_ptr<Map> Ground()
{
    return std::unique_ptr<Map>(new Map(new RuleGenerator([](int, int, int z) { return z < 100 ? Stone : Air; })));
}

WalkingBody BodyAt(float x, float y, float z)
{
    WalkingBody body;
    body.feet[0] = x;
    body.feet[1] = y;
    body.feet[2] = z;
    return body;
}

// Passes until the body stands (at most `most`).
int Settle(WalkingBody& body, const Map& map, int most = 2000)
{
    int passes = 0;
    while (!body.standing && passes < most) {
        StepBody(body, map, 0, 0, false);
        ++passes;
    }
    return passes;
}

} // namespace

TEST(WalkingBody, FallsOntoTheGroundFromTheTopOfTheMapAndStaysThere)
{
    std::unique_ptr<Map> map = Ground();
    WalkingBody body = BodyAt(200.5f, 200.5f, 255.0f);
    Settle(body, *map);
    ASSERT_TRUE(body.standing);
    EXPECT_NEAR(body.feet[2], 100.0f, 0.01f);
    for (int i = 0; i < 600; ++i)
        StepBody(body, *map, 0, 0, false);
    EXPECT_TRUE(body.standing);
    EXPECT_NEAR(body.feet[2], 100.0f, 0.01f);
    EXPECT_FALSE(BodyBlocked(*map, body.feet));
    // Through a one-voxel floor at full speed too: it never falls through.
    map->voxels[map->Index(50, 50, 180)] = Dirt;
    for (int x = 49; x <= 51; ++x)
        for (int y = 49; y <= 51; ++y)
            map->voxels[map->Index(x, y, 180)] = Dirt;
    body = BodyAt(50.5f, 50.5f, 255.0f);
    Settle(body, *map);
    EXPECT_NEAR(body.feet[2], 181.0f, 0.01f);
    // Digging it away: the body falls again.
    for (int x = 49; x <= 51; ++x)
        for (int y = 49; y <= 51; ++y)
            map->voxels[map->Index(x, y, 180)] = Air;
    StepBody(body, *map, 0, 0, false);
    EXPECT_FALSE(body.standing);
    Settle(body, *map);
    EXPECT_NEAR(body.feet[2], 100.0f, 0.01f);
}

TEST(WalkingBody, WallsStopAndSlideAndTheMapsEdgesAreWalls)
{
    std::unique_ptr<Map> map = Ground();
    for (int y = 0; y < 512; ++y)
        for (int z = 100; z < 103; ++z)
            map->voxels[map->Index(60, y, z)] = Stone;
    WalkingBody body = BodyAt(55.5f, 100.5f, 100.01f);
    Settle(body, *map);
    // Diagonally into the wall: x stops at its face, y goes on.
    for (int i = 0; i < 200; ++i)
        StepBody(body, *map, 0.075f, 0.075f, false);
    EXPECT_NEAR(body.feet[0], 60.0f - BodyHalfWidth, 0.01f);
    EXPECT_NEAR(body.feet[1], 100.5f + 200 * 0.075f, 0.01f);
    EXPECT_FALSE(BodyBlocked(*map, body.feet));
    // The map's side edge stops the body as a wall does.
    for (int i = 0; i < 1000; ++i)
        StepBody(body, *map, -0.075f, 0, false);
    EXPECT_NEAR(body.feet[0], BodyHalfWidth, 0.01f);
}

TEST(WalkingBody, AJumpClearsOneVoxelButNotTwo)
{
    for (int height : {1, 2}) {
        std::unique_ptr<Map> map = Ground();
        for (int y = 0; y < 512; ++y)
            for (int z = 100; z < 100 + height; ++z)
                for (int x = 60; x < 100; ++x)
                    map->voxels[map->Index(x, y, z)] = Stone;
        WalkingBody body = BodyAt(58.5f, 100.5f, 100.01f);
        Settle(body, *map);
        StepBody(body, *map, 0, 0, true);
        for (int i = 0; i < 200; ++i)
            StepBody(body, *map, 0.075f, 0, false);
        Settle(body, *map);
        if (height == 1) {
            EXPECT_GT(body.feet[0], 60.0f) << "onto a one-voxel step";
            EXPECT_NEAR(body.feet[2], 101.0f, 0.01f);
        } else {
            EXPECT_LT(body.feet[0], 60.0f) << "onto a two-voxel step";
            EXPECT_NEAR(body.feet[2], 100.0f, 0.01f);
        }
    }
}

TEST(WalkingBody, WalkingBegunInsideTheTerrainLiftsTheBodyOut)
{
    std::unique_ptr<Map> map = Ground();
    WalkingBody body = BodyAt(-40.0f, 300.5f, 42.3f);
    LiftClear(body, *map);
    EXPECT_FALSE(BodyBlocked(*map, body.feet));
    EXPECT_NEAR(body.feet[0], BodyHalfWidth, 0.01f);
    EXPECT_NEAR(body.feet[2], 100.0f, 0.01f);
}
