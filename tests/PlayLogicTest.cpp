// The free-look controller and the play state's dig and outline logic.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "render/Camera.h"
#include "states/FreeLookController.h"
#include "states/PlayState.h"
#include "world/WalkingBody.h"
#include "support/TestWorld.h"
#include "world/VoxelType.h"

namespace {

struct Rig {
    Camera camera{256, 256, 128, 80, 0.1f, 10000, 4.0f / 3};
    FreeLookController controller;
    std::uint8_t keys = 0;
    Rig() : controller(&camera, camera.position, 0, 0) {}
    void Step(int dx = 0, int dy = 0)
    {
        PassInput input;
        input.dx = dx;
        input.dy = dy;
        input.keys = keys;
        controller.Update(0.015f, input);
    }
    float Moved(int axis) const { return camera.position[axis] - (axis == 2 ? 128.0f : 256.0f); }
};

} // namespace

TEST(FreeLookController, KeysMoveAlongTheHeading)
{
    {
        Rig r;
        r.keys = MoveForward;
        r.Step();
        EXPECT_NEAR(r.Moved(1), 0.075f, 1e-4);
        EXPECT_NEAR(r.Moved(0), 0.0f, 1e-4);
        EXPECT_EQ(r.controller.position[1], r.camera.position[1]);
    }
    {
        Rig r;
        r.keys = MoveRight;
        r.Step();
        EXPECT_NEAR(r.Moved(0), 0.075f, 1e-4);
        r.keys = MoveUp;
        r.Step();
        EXPECT_NEAR(r.Moved(2), 0.075f, 1e-5);
    }
    {
        Rig r;
        r.keys = MoveForward | MoveBack;
        r.Step();
        EXPECT_NEAR(r.Moved(0), 0.0f, 1e-5);
        EXPECT_NEAR(r.Moved(1), 0.0f, 1e-5);
    }
    {
        Rig r;
        r.keys = MoveForward | MoveRight;
        r.Step();
        EXPECT_NEAR(std::hypot(r.Moved(0), r.Moved(1)), 0.075 * std::sqrt(2.0), 1e-4);
    }
    {
        Rig r; // looking straight down, W still moves horizontally
        r.Step(0, 2000);
        EXPECT_EQ(r.camera.pitch, -90.0f);
        r.keys = MoveForward;
        r.Step();
        EXPECT_NEAR(r.Moved(1), 0.075f, 1e-4);
        EXPECT_NEAR(r.Moved(2), 0.0f, 1e-5);
    }
}

TEST(FreeLookController, MouseTurnsAndCameraGetsWrappedClampedCopies)
{
    Rig r;
    r.Step(10, 0);
    EXPECT_NEAR(r.controller.yaw, -0.75f, 1e-5);
    const float cases[][2] = {{-10, 350}, {370, 10}, {730, 370}, {0, 0}, {360, 360}};
    for (const auto& c : cases) {
        r.controller.yaw = c[0];
        r.Step();
        EXPECT_FLOAT_EQ(r.camera.yaw, c[1]) << c[0];
        EXPECT_FLOAT_EQ(r.controller.yaw, c[0]);
    }
    r.controller.yaw = 0;
    r.Step(0, -1600); // pitch 120
    EXPECT_NEAR(r.controller.pitch, 120.0f, 1e-3);
    EXPECT_EQ(r.camera.pitch, 90.0f);
    EXPECT_NEAR(r.camera.direction[2], 1.0f, 1e-6);
    r.Step(0, 300); // back to ~97.5: still held at the limit
    EXPECT_EQ(r.camera.pitch, 90.0f);
    r.Step(0, 200); // ~82.5
    EXPECT_NEAR(r.camera.pitch, 82.5f, 1e-3);
}

TEST(PlayLogic, DigWaitsForAHitAndCarvesOncePerRequest)
{
    std::unique_ptr<Map> map(new Map(new FillGenerator(Stone)));
    bool requested = true;
    EXPECT_FALSE(DigIfRequested(requested, {-1, -1, -1}, *map));
    EXPECT_FALSE(DigIfRequested(requested, {-1, -1, -1}, *map));
    EXPECT_TRUE(requested); // survives passes without a hit, button up or down
    EXPECT_TRUE(DigIfRequested(requested, {0, 100, 100}, *map)); // x = 0 digs like any other
    EXPECT_FALSE(requested);
    EXPECT_EQ(map->At(0, 100, 100), Air);
    EXPECT_EQ(map->At(4, 100, 100), Air);
    EXPECT_EQ(map->At(5, 100, 100), Stone);
    EXPECT_FALSE(DigIfRequested(requested, {50, 50, 50}, *map));
    EXPECT_EQ(map->At(50, 50, 50), Stone);
}

TEST(PlayLogic, SelectionBoxStandsJustOutsideTheVoxel)
{
    float corners[8][3];
    SelectionCorners({0, 7, 255}, corners);
    EXPECT_FLOAT_EQ(corners[0][0], -0.01f);
    EXPECT_FLOAT_EQ(corners[0][1], 6.99f);
    EXPECT_FLOAT_EQ(corners[6][0], 1.01f);
    EXPECT_FLOAT_EQ(corners[6][1], 8.01f);
    EXPECT_FLOAT_EQ(corners[6][2], 256.01f);
    // Each edge joins corners that differ along exactly one axis.
    for (int e = 0; e < 24; e += 2) {
        int differing = 0;
        for (int a = 0; a < 3; ++a)
            differing += corners[SelectionEdges[e]][a] != corners[SelectionEdges[e + 1]][a];
        EXPECT_EQ(differing, 1) << e;
    }
}

namespace {

// A stone floor up to z = 9 and play over it, looking straight down.
struct BuildRig {
    std::unique_ptr<Map> map{new Map(new RuleGenerator([](int, int, int z) { return z < 10 ? Stone : Air; }))};
    Camera camera{100.5f, 100.5f, 20.5f, 80, 0.1f, 10000, 4.0f / 3};
    FreeLookController controller{&camera, camera.position, 0, -90};
    PlayProgress progress;
    BuildRig()
    {
        camera.pitch = -90;
        camera.UpdateFrustum();
    }
    VoxelHit Pass(std::uint8_t actions, std::uint8_t slot = 0, std::int8_t wheel = 0)
    {
        PassInput input;
        input.actions = actions;
        input.slot = slot;
        input.wheel = wheel;
        return PlayPass(controller, *map, input, progress);
    }
};

} // namespace

TEST(PlayLogic, BuildingPlacesOnTheFaceLookedAtButNeverInThePlayer)
{
    BuildRig r;
    VoxelHit hit = r.Pass(0, 5);
    EXPECT_EQ(hit.z, 9);
    // Three presses: a column of three of the slot's type; the outline follows it.
    for (int i = 0; i < 3; ++i)
        hit = r.Pass(PlaceVoxel);
    EXPECT_EQ(hit.z, 12);
    for (int z = 10; z <= 12; ++z)
        EXPECT_EQ(r.map->At(100, 100, z), Planks) << z;
    // Flying, the camera's own cell (z = 20) stays empty however often one presses.
    for (int i = 0; i < 12; ++i)
        r.Pass(PlaceVoxel);
    EXPECT_EQ(r.map->At(100, 100, 19), Planks);
    EXPECT_EQ(r.map->At(100, 100, 20), Air);

    // Ctrl with the left button takes away the outlined voxel alone; the middle button takes its type.
    r.Pass(RemoveVoxel);
    EXPECT_EQ(r.map->At(100, 100, 19), Air);
    EXPECT_EQ(r.map->At(100, 100, 18), Planks);
    r.Pass(0, 1);
    r.Pass(PickType);
    EXPECT_EQ(r.progress.slots.Selected(), 5);

    // Walking, no cell the body overlaps takes a voxel: standing on the column, looking down.
    r.Pass(ToggleWalk);
    EXPECT_TRUE(r.controller.walking);
    for (int i = 0; i < 40; ++i)
        r.Pass(0);
    EXPECT_NEAR(r.camera.position[2], 19 + EyeHeight, 0.01f);
    r.Pass(PlaceVoxel);
    EXPECT_EQ(r.map->At(100, 100, 19), Air);

    // Flown into the stone, the outlined voxel is the camera's own: it has no face in front.
    BuildRig inside;
    inside.camera.position[2] = inside.controller.position[2] = 5.5f;
    EXPECT_EQ(inside.Pass(PlaceVoxel).z, 5);
    EXPECT_EQ(VoxelChecksum(*inside.map), VoxelChecksum(*BuildRig().map));
}

TEST(PlayLogic, OverlayAppearsWithTheFirstNewControlAndSlotsWrap)
{
    BuildRig r;
    r.Pass(MoveDown); // Shift alone is flying's, not building's
    EXPECT_FALSE(r.progress.hud);
    r.Pass(0, 0, -1);
    EXPECT_TRUE(r.progress.hud);
    EXPECT_EQ(r.progress.slots.Selected(), 9);
    r.Pass(0, 0, 3);
    EXPECT_EQ(r.progress.slots.Selected(), 3);
    r.Pass(0, 8, 2); // the number key, then the wheel
    EXPECT_EQ(r.progress.slots.Selected(), 1);
    r.Pass(ToggleHud);
    EXPECT_FALSE(r.progress.hud);
    r.Pass(PlaceVoxel); // hidden stays hidden
    EXPECT_FALSE(r.progress.hud);
    r.Pass(ToggleHud);
    EXPECT_TRUE(r.progress.hud);
}
