// Memory and frame time of a long dig through the renderer, with a real
// OpenGL context (run under a virtual X display). Usage:
//   veldmarrow-dig-bench [carves | --demo FILE]
// runs one process per variant in turn on the same world and the same
// digging: without list compaction (how the renderer behaved before it),
// compaction with a fixed share of each frame (before it was paced), paced
// compaction (the program), and a fresh start on the already dug terrain;
// then prints the growth per minute of digging, dug-versus-fresh memory and
// frame time, and what compaction cost frame by frame. The digging is a
// spiral of carves, or the passes of a recorded demo replayed through the
// play state's own logic in the demo's window size. Every pass is drawn as
// the program draws its frames, so the memory figures are the program's;
// frame times are taken at a fixed pose only after them.
// `--variants a,b,...` chooses the variants (default plain,fixed,paced,fresh):
//   plain   no compaction
//   kept    fixed share, and what rebuilds free kept for the heap's delay
//   fixed   fixed share (1.5 ms a frame)
//   paced   the share follows the backlog (the program)
//   paced-N as paced, with a ceiling of N ms
//   fresh   the renderer built on the dug terrain
// `--side-by-side` runs the variants at once instead of in turn, so that a
// loaded machine's ups and downs meet them alike (their memory figures are
// their own either way). `--variant NAME [carves | --demo FILE]` runs one
// and prints raw figures.
#include <GL/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "render/Camera.h"
#include "render/MapRenderer.h"
#include "script/Settings.h"
#include "demo/DemoReplay.h"
#include "states/FreeLookController.h"
#include "states/PlayState.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// A field of /proc/self/status in MiB ("VmRSS", "VmHWM"); -1 where there is none.
double StatusMiB(const char* field)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr)
        return -1;
    char line[256];
    double kib = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f) != nullptr)
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            kib = std::atof(line + n + 1);
    std::fclose(f);
    return kib < 0 ? -1 : kib / 1024;
}

struct Carve {
    int x, y, z;
};

int SurfaceZ(const Map& map, int x, int y)
{
    for (int z = map.height - 1; z > 0; --z)
        if (map.At(x, y, z) != 0)
            return z;
    return 0;
}

// The next carve of a dig along a spiral round the map's centre, 1.5 voxels
// on from the last, at the surface as it is now: the trench a player leaves
// holding the button while turning.
Carve NextCarve(const Map& map, int i)
{
    const double turns = std::sqrt(i * 1.5 / 3.14159 + 100.0);
    const double angle = turns;
    const double radius = 4.0 * turns;
    const int x = static_cast<int>(map.width / 2 + radius * std::cos(angle));
    const int y = static_cast<int>(map.depth / 2 + radius * std::sin(angle));
    return {x, y, SurfaceZ(map, x, y)};
}

constexpr VoxelHit NoHit = {-1, -1, -1};

// The program's first frames of play, before the memory is read.
void FirstFrames(MapRenderer& renderer, const Camera& camera, const VoxelHit& hit)
{
    for (int i = 0; i < 5; ++i)
        DrawPlayFrame(renderer, camera, hit);
}

// A frame at the fixed pose, finished so that its time is the drawing's.
void TimedFrame(MapRenderer& renderer, const Camera& camera)
{
    DrawPlayFrame(renderer, camera, NoHit);
    glFinish();
}

void SetPose(Camera& camera)
{
    // Above the terrain, 20 degrees down, the dug spiral in view.
    camera.position[0] = 256;
    camera.position[1] = 100;
    camera.position[2] = 170;
    camera.yaw = 0;
    camera.pitch = -20;
    camera.UpdateFrustum();
}

// Frame times at the fixed pose, appended to `times`.
void TimeFrames(MapRenderer& renderer, const Camera& camera, int frames, std::vector<double>& times)
{
    for (int i = 0; i < frames; ++i) {
        const auto start = Clock::now();
        TimedFrame(renderer, camera);
        times.push_back(Milliseconds(start, Clock::now()));
    }
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double MedianFrameMs(MapRenderer& renderer, Camera& camera, int frames)
{
    SetPose(camera);
    std::vector<double> warm, times;
    TimeFrames(renderer, camera, 5, warm);
    TimeFrames(renderer, camera, frames, times);
    return Median(times);
}

// What is dug: `carves` spiral carves, or the passes of `demo` when it is set.
struct Digging {
    int carves = 1800;
    const Demo* demo = nullptr;
};

// Replays the digging on `map`, calling `frame` after each pass with the
// camera as it then is and the pass's pick (`hit`, NoHit for the spiral);
// `frame` may be empty (the terrain alone). False when
// a demo's replay did not end on the recorded terrain: figures taken on
// another terrain would be compared with the wrong fresh start.
bool Dig(const Digging& digging, Map& map, Camera& camera, VoxelHit& hit, const std::function<void()>& frame)
{
    if (digging.demo != nullptr) {
        // The controller moves the camera by steps, so the camera must start
        // where the play state's does, or every dig lands elsewhere.
        for (int i = 0; i < 3; ++i)
            camera.position[i] = PlayStartPosition[i];
        camera.yaw = 0;
        camera.pitch = 0;
        camera.UpdateFrustum();
        FreeLookController controller(&camera, PlayStartPosition, 0, 0);
        DemoCursor cursor(*digging.demo);
        PassInput input;
        PlayProgress progress;
        while (cursor.Next(input)) {
            hit = PlayPass(controller, map, input, progress);
            if (frame)
                frame();
        }
        if (VoxelChecksum(map) == digging.demo->finalChecksum)
            return true;
        std::fprintf(stderr, "the replay did not end on the recorded terrain\n");
        return false;
    }
    for (int i = 0; i < digging.carves; ++i) {
        const Carve c = NextCarve(map, i);
        // Looking at the spot being dug, from above and behind, as a player does.
        camera.position[0] = static_cast<float>(c.x);
        camera.position[1] = static_cast<float>(c.y - 30);
        camera.position[2] = static_cast<float>(c.z + 30);
        camera.yaw = 0;
        camera.pitch = -45;
        camera.UpdateFrustum();
        hit = NoHit;
        map.CarveSphere(c.x, c.y, c.z, 4.0f);
        if (frame)
            frame();
    }
    return true;
}

int RunVariant(const std::string& variant, const Digging& digging)
{
    TuneHeap();
    const int width = digging.demo != nullptr ? static_cast<int>(digging.demo->screenWidth) : 640;
    const int height = digging.demo != nullptr ? static_cast<int>(digging.demo->screenHeight) : 480;
    settings = {false, width, height, 0, false};
    GameEngine engine;
    engine.Init(settings);
    SetPlayDrawingState(width, height);

    RandomSource seeded = StandardRandom();
    seeded.seed = [](unsigned) { std::srand(20261207); };
    Map map(digging.demo != nullptr ? new BasicMapGenerator(StandardRandom(), digging.demo->worldSeed)
                                    : new BasicMapGenerator(seeded));
    if (digging.demo != nullptr && VoxelChecksum(map) != digging.demo->worldChecksum) {
        std::fprintf(stderr, "the demo was recorded in another world\n");
        engine.Cleanup();
        return 1;
    }
    Camera camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
    VoxelHit hit = NoHit;
    const int frames = 40;

    if (variant == "fresh") {
        if (!Dig(digging, map, camera, hit, nullptr)) {
            engine.Cleanup();
            return 1;
        }
        // A fresh start on the dug terrain: the renderer built on it and the
        // program's first frames, where the dig ended.
        MapRenderer renderer(&map);
        FirstFrames(renderer, camera, hit);
        const double rss = StatusMiB("VmRSS");
        const double peak = StatusMiB("VmHWM");
        const double frame = MedianFrameMs(renderer, camera, frames);
        std::printf("rss %.1f\npeak %.1f\nframe %.2f\nvertices %zu\n", rss, peak, frame,
                    renderer.listStorage.LiveVertices());
        map.observers.clear();
        engine.Cleanup();
        return 0;
    }

    MapRendererOptions options;
    options.compaction.enabled = variant != "plain";
    options.compaction.paced = variant.rfind("paced", 0) == 0;
    if (variant.rfind("paced-", 0) == 0)
        options.compaction.ceilingMs = std::atof(variant.c_str() + 6);
    options.compaction.recordFrames = true;
    options.releaseFreedAtOnce = variant != "kept";
    MapRenderer renderer(&map, options);
    FirstFrames(renderer, camera, hit); // from where play starts
    const double rssBefore = StatusMiB("VmRSS");
    const std::size_t verticesBefore = renderer.listStorage.LiveVertices();
    std::vector<double> times;
    const auto start = Clock::now();
    auto last = start;
    const bool replayed = Dig(digging, map, camera, hit, [&] {
        DrawPlayFrame(renderer, camera, hit);
        const auto now = Clock::now();
        times.push_back(Milliseconds(last, now));
        last = now;
    });
    if (!replayed) {
        map.observers.clear();
        engine.Cleanup();
        return 1;
    }
    const double digMinutes = Milliseconds(start, Clock::now()) / 60000.0;
    const double rssAfter = StatusMiB("VmRSS");
    const double peak = StatusMiB("VmHWM");
    // The dug renderer against a fresh one on the same terrain, in turns of
    // ten frames, so that both meet the machine's ups and downs alike.
    MapRenderer fresh(&map);
    SetPose(camera);
    std::vector<double> warm, dugTimes, freshTimes;
    TimeFrames(renderer, camera, 5, warm);
    TimeFrames(fresh, camera, 5, warm);
    for (int round = 0; round < frames / 10; ++round) {
        TimeFrames(renderer, camera, 10, dugTimes);
        TimeFrames(fresh, camera, 10, freshTimes);
    }
    const double frameAfter = Median(dugTimes);
    const double frameFresh = Median(freshTimes);
    std::sort(times.begin(), times.end());
    const ListCompactor::Figures& cost = renderer.compactor.figures;
    std::vector<double> compaction = cost.frameCpuMs;
    std::sort(compaction.begin(), compaction.end());
    const auto percentile = [&](double share) {
        return compaction.empty() ? 0.0 : compaction[static_cast<std::size_t>(share * (compaction.size() - 1))];
    };
    std::printf("compaction_frames %ld\ncompaction_median_cpu %.3f\ncompaction_p99_cpu %.3f\n", cost.frames,
                percentile(0.5), percentile(0.99));
    std::printf("rss_before %.1f\nrss %.1f\npeak %.1f\nminutes %.3f\nframe %.2f\nframe_fresh %.2f\n"
                "dig_frame_median %.2f\ndig_frame_max %.2f\nvertices_before %zu\nvertices %zu\n"
                "recompiled %ld\ncompaction_longest %.2f\ncompaction_longest_cpu %.2f\ndig_frame_p99 %.2f\ndead %zu\n"
                "us_per_vertex %.3f\n",
                rssBefore, rssAfter, peak, digMinutes, frameAfter, frameFresh, times[times.size() / 2],
                times.back(), verticesBefore, renderer.listStorage.LiveVertices(), cost.lists, cost.longestMs,
                cost.longestCpuMs, times[times.size() * 99 / 100], renderer.listStorage.DeadVertices(),
                cost.msPerVertex * 1000);
    map.observers.clear();
    engine.Cleanup();
    return 0;
}

// Starts this program with --variant; its "name value" lines are read by ReadChild.
std::FILE* StartChild(const char* self, const std::string& variant, const std::string& digging)
{
    const std::string command = std::string("'") + self + "' --variant " + variant + " " + digging;
    return popen(command.c_str(), "r");
}

std::map<std::string, double> ReadChild(std::FILE* pipe)
{
    std::map<std::string, double> figures;
    if (pipe == nullptr)
        return figures;
    char line[256], name[64];
    double value;
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        if (std::sscanf(line, "%63s %lf", name, &value) == 2)
            figures[name] = value;
    pclose(pipe);
    return figures;
}

// What a variant is called in the printed figures.
std::string VariantLabel(const std::string& variant)
{
    if (variant == "plain")
        return "without compaction";
    if (variant == "kept")
        return "compaction, fixed share, freed memory kept for the heap's delay";
    if (variant == "fixed")
        return "compaction, fixed share of 1.5 ms (before pacing)";
    if (variant == "paced")
        return "compaction paced by the backlog (the program)";
    return "compaction paced by the backlog, ceiling " + variant.substr(6) + " ms";
}

bool KnownVariant(const std::string& v)
{
    return v == "plain" || v == "kept" || v == "fixed" || v == "paced" || v == "fresh" ||
           (v.rfind("paced-", 0) == 0 && std::atof(v.c_str() + 6) > 0);
}

} // namespace

int main(int argc, char** argv)
{
    // [--side-by-side] [--variant NAME | --variants A,B,...] [carves | --demo FILE]
    int arg = 1;
    std::string variant;
    bool sideBySide = false;
    if (argc >= arg + 1 && std::strcmp(argv[arg], "--side-by-side") == 0) {
        sideBySide = true;
        ++arg;
    }
    std::vector<std::string> variants = {"plain", "fixed", "paced", "fresh"};
    if (argc >= arg + 2 && std::strcmp(argv[arg], "--variant") == 0) {
        variant = argv[arg + 1];
        arg += 2;
    } else if (argc >= arg + 2 && std::strcmp(argv[arg], "--variants") == 0) {
        variants.clear();
        std::string list = argv[arg + 1];
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            variants.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
        arg += 2;
    }
    for (const std::string& v : variant.empty() ? variants : std::vector<std::string>{variant})
        if (!KnownVariant(v)) {
            std::fprintf(stderr, "unknown variant '%s'\n", v.c_str());
            return 2;
        }
    if (std::find(variants.begin(), variants.end(), "fresh") == variants.end())
        variants.push_back("fresh"); // every figure is against it
    Digging digging;
    Demo demo;
    std::string diggingArgs;
    if (argc >= arg + 2 && std::strcmp(argv[arg], "--demo") == 0) {
        std::string reason;
        if (!ReadDemoFile(argv[arg + 1], demo, reason)) {
            std::fprintf(stderr, "%s: %s\n", argv[arg + 1], reason.c_str());
            return 1;
        }
        digging.demo = &demo;
        // Quoted for the shell that runs the variants.
        diggingArgs = std::string("--demo '") + argv[arg + 1] + "'";
    } else if (argc >= arg + 1) {
        digging.carves = std::atoi(argv[arg]);
    }
    if (!variant.empty())
        return RunVariant(variant, digging);
    if (digging.demo == nullptr) {
        diggingArgs = std::to_string(digging.carves);
        std::printf("dig: %d carves of radius 4 along a spiral, each followed by a frame (640 x 480), allocator %s\n",
                    digging.carves, HeapAllocatorName());
    } else {
        std::printf("dig: the %u passes of %s replayed, each followed by a frame (%u x %u), allocator %s\n",
                    demo.passCount, argv[arg + 1], demo.screenWidth, demo.screenHeight, HeapAllocatorName());
    }
    std::fflush(stdout);
    std::vector<std::pair<std::string, std::map<std::string, double>>> runs;
    std::vector<std::FILE*> children;
    if (sideBySide)
        for (const std::string& v : variants)
            children.push_back(StartChild(argv[0], v, diggingArgs));
    for (std::size_t i = 0; i < variants.size(); ++i) {
        const std::string& v = variants[i];
        runs.emplace_back(v, ReadChild(sideBySide ? children[i] : StartChild(argv[0], v, diggingArgs)));
    }
    for (const auto& [name, figures] : runs)
        if (figures.count("rss") == 0) {
            std::fprintf(stderr, "variant %s did not finish\n", name.c_str());
            return 1;
        }
    std::map<std::string, double> fresh;
    for (const auto& [name, figures] : runs)
        if (name == "fresh")
            fresh = figures;
    std::printf("terrain geometry: %.2f M vertices fresh, %.2f M after the dig\n",
                runs.front().second["vertices_before"] / 1e6, fresh["vertices"] / 1e6);
    std::printf("fresh start on the dug terrain, own process: RSS %.1f MiB (peak %.1f)\n", fresh["rss"],
                fresh["peak"]);
    for (auto& [name, f] : runs) {
        if (name == "fresh")
            continue;
        std::printf("%s:\n", VariantLabel(name).c_str());
        std::printf("  RSS %.1f -> %.1f MiB in %.2f min of digging: %.1f MiB/min\n", f["rss_before"], f["rss"],
                    f["minutes"], (f["rss"] - f["rss_before"]) / f["minutes"]);
        std::printf("  against the fresh start: peak %.1f MiB (%+.1f), at the end %.1f MiB (%+.1f)\n", f["peak"],
                    f["peak"] - fresh["peak"], f["rss"], f["rss"] - fresh["rss"]);
        std::printf("  frame at the pose after the dig: %.2f ms dug vs %.2f ms fresh = %.2fx\n", f["frame"],
                    f["frame_fresh"], f["frame"] / f["frame_fresh"]);
        std::printf("  dig frames: median %.1f ms, 99th percentile %.1f ms, longest %.1f ms\n", f["dig_frame_median"],
                    f["dig_frame_p99"], f["dig_frame_max"]);
        std::printf("  compaction: %.0f lists in %.0f frames (%.3f us a vertex); processor time in a frame that "
                    "compacted: median %.2f ms, 99th percentile %.2f ms, longest %.2f ms (%.2f ms on the clock)\n",
                    f["recompiled"], f["compaction_frames"], f["us_per_vertex"], f["compaction_median_cpu"],
                    f["compaction_p99_cpu"], f["compaction_longest_cpu"], f["compaction_longest"]);
        std::printf("  vertices of deleted lists still held at the end: %.2f M\n", f["dead"] / 1e6);
    }
    return 0;
}
