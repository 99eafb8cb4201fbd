// What building and walking cost, with a real OpenGL context (run under a
// virtual X display). Usage:
//   veldmarrow-build-bench [frames]
// Press to frame: the processor time of a pass and its frame that shows a
// voxel just placed, against a plain pass and frame at the same pose, taken
// in turn (and a removal's), through the play state's own logic and drawing,
// finished with glFinish. The walking body: the clock time of one pass of a
// walk over the terrain (turning, jumping now and then) and of a fall from
// above the map to the ground. Medians and 99th percentiles of one run.
#include <GL/gl.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "render/Camera.h"
#include "render/MapRenderer.h"
#include "script/Settings.h"
#include "states/FreeLookController.h"
#include "states/PlayState.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor time of the whole process, in milliseconds: the driver's
// threads (llvmpipe rasterises on several) are counted too.
double ProcessMs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(v.size() * p))];
}

void Print(const char* what, const std::vector<double>& v, const char* unit)
{
    std::printf("%s: median %.3f %s, p99 %.3f %s (%zu)\n", what, Percentile(v, 0.5), unit, Percentile(v, 0.99), unit,
                v.size());
}

// Looks straight down from 6 voxels above the surface at the map's centre.
void LookDown(FreeLookController& controller, const Map& map)
{
    int z = map.height - 1;
    while (z > 0 && map.At(256, 256, z) == Air)
        --z;
    const float at[3] = {256.5f, 256.5f, z + 7.5f};
    PlayerPose pose;
    for (int i = 0; i < 3; ++i)
        pose.position[i] = at[i];
    pose.pitch = -90;
    pose.hud = true;
    PlayProgress progress;
    StartFrom(pose, controller, progress, map);
}

void PressToFrame(int frames)
{
    settings = {false, 800, 600, 0, false};
    GameEngine engine;
    engine.Init(settings);
    SetPlayDrawingState(800, 600);
    Map map(new BasicMapGenerator(StandardRandom(), 20261210));
    MapRenderer renderer(&map);
    Camera camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
    FreeLookController controller(&camera, PlayStartPosition, 0, 0);
    PlayProgress progress;
    LookDown(controller, map);
    progress.hud = true;
    const auto frame = [&](std::uint8_t actions) {
        PassInput input;
        input.actions = actions;
        const double start = ProcessMs();
        const VoxelHit hit = PlayPass(controller, map, input, progress);
        DrawPlayFrame(renderer, camera, hit, &progress.slots);
        glFinish();
        return ProcessMs() - start;
    };
    for (int i = 0; i < 20; ++i)
        frame(0);
    std::vector<double> plain, placed, removed;
    for (int i = 0; i < frames; ++i) {
        plain.push_back(frame(0));
        progress.slots.Select(1 + i % 9);
        placed.push_back(frame(PlaceVoxel));
        removed.push_back(frame(RemoveVoxel));
    }
    std::printf("press to frame, 800 x 600, looking down at the ground from 6 voxels, the overlay shown:\n");
    Print("  plain pass and frame", plain, "ms");
    Print("  pass and frame showing a placed voxel", placed, "ms");
    Print("  pass and frame showing a removed voxel", removed, "ms");
    std::printf("  placed minus plain: median %+.3f ms, p99 %+.3f ms\n",
                Percentile(placed, 0.5) - Percentile(plain, 0.5), Percentile(placed, 0.99) - Percentile(plain, 0.99));
    map.observers.clear();
    engine.Cleanup();
}

void WalkingCost()
{
    Map map(new BasicMapGenerator(StandardRandom(), 20261210));
    Camera camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
    FreeLookController controller(&camera, PlayStartPosition, 0, 0);
    const auto pass = [&](const PassInput& input) {
        const auto start = Clock::now();
        controller.Update(0.015f, input, &map);
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    };
    // A fall from above the map's top through open air to the ground.
    std::vector<double> falling;
    camera.position[2] = controller.position[2] = map.height + 40.0f;
    controller.SetWalking(true, map);
    while (!controller.body.standing && falling.size() < 100000)
        falling.push_back(pass(PassInput()));
    // A walk: forward, turning a little, a jump every 40 passes.
    std::vector<double> walking;
    for (int i = 0; i < 20000; ++i) {
        PassInput input;
        input.keys = MoveForward | (i % 40 == 0 ? MoveUp : 0);
        input.dx = (i / 500) % 2 ? 3 : -3;
        walking.push_back(pass(input));
    }
    std::printf("walking body, one pass of the controller:\n");
    Print("  falling from 40 voxels above the map to the ground", falling, "us");
    Print("  walking over the terrain, jumping every 40 passes", walking, "us");
}

} // namespace

int main(int argc, char** argv)
{
    TuneHeap();
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    WalkingCost();
    PressToFrame(frames);
    return 0;
}
