// Display-list build time and frame times at 800 x 600 with a real OpenGL
// context (run under a virtual X display). Usage:
//   veldmarrow-gl-bench [--untuned-heap] [--literal] [frames]
//   veldmarrow-gl-bench --world FILE
// --untuned-heap leaves the allocator's settings at their defaults.
// --literal also times the straightforward column-by-column generator and
// voxel-by-voxel mesher (the test references) feeding the same compile.
// --world builds the renderer on the terrain FILE's seed generates and on
// FILE's world (that terrain with its dug chunks), five times each in turn,
// to tell what resuming costs because of the file from what it costs
// because a dug terrain has more faces to draw.
#include <GL/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "render/Camera.h"
#include "render/Chunk.h"
#include "render/MapRenderer.h"
#include "render/ScratchPages.h"
#include "script/Settings.h"
#include "states/PlayState.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/WorldFile.h"
#include "support/TestWorld.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Median and 90th percentile of per-frame times for one pose.
void MeasurePose(const char* name, MapRenderer& renderer, Camera& camera, float x, float y, float z, float yaw,
                 float pitch, int frames)
{
    camera.position[0] = x;
    camera.position[1] = y;
    camera.position[2] = z;
    camera.yaw = yaw;
    camera.pitch = pitch;
    camera.UpdateFrustum();
    std::vector<double> times;
    for (int i = 0; i < frames + 10; ++i) {
        const auto start = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        renderer.Draw(camera);
        SDL_GL_SwapBuffers();
        glFinish();
        if (i >= 10) // the first frames warm caches up
            times.push_back(Milliseconds(start, Clock::now()));
    }
    std::sort(times.begin(), times.end());
    std::printf("%-28s median %6.2f ms   p90 %6.2f ms   (%d frames)\n", name, times[times.size() / 2],
                times[times.size() * 9 / 10], frames);
}

struct Floors {
    double meshWarm = 0, meshFresh = 0, meshTouched = 0, compile = 0;
    double inOrderMesh = 0, inOrderCompile = 0, inOrderRelease = 0;
    std::size_t vertices = 0, capacityBytes = 0;
};

// Calls visit(cx, cy, cz, i) for every chunk of the map in the renderer's
// order, i counting from 0.
template <typename Visit>
void ForEachChunk(const Map& map, Visit visit)
{
    std::size_t i = 0;
    for (int cz = 0; cz < map.height / ChunkSize; ++cz)
        for (int cy = 0; cy < map.depth / ChunkSize; ++cy)
            for (int cx = 0; cx < map.width / ChunkSize; ++cx)
                visit(cx, cy, cz, i++);
}

// The parts of building the renderer, each alone: meshing every chunk into
// one warm array, meshing into a new array per chunk as the renderer does,
// and compiling those same arrays into display lists.
Floors MeasureFloors(const Map& map)
{
    const std::size_t chunkCount =
        static_cast<std::size_t>(map.width / ChunkSize) * (map.depth / ChunkSize) * (map.height / ChunkSize);
    Floors f;
    {
        VertexArray warm;
        for (int pass = 0; pass < 2; ++pass) { // the first pass sizes the array
            const auto start = Clock::now();
            ForEachChunk(map, [&](int cx, int cy, int cz, std::size_t) {
                warm.clear();
                MeshChunk(map, cx, cy, cz, warm);
            });
            f.meshWarm = Milliseconds(start, Clock::now());
        }
    }
    std::vector<VertexArray> arrays(chunkCount);
    auto start = Clock::now();
    ForEachChunk(map, [&](int cx, int cy, int cz, std::size_t i) { MeshChunk(map, cx, cy, cz, arrays[i]); });
    f.meshFresh = Milliseconds(start, Clock::now());
    for (const VertexArray& a : arrays) {
        f.vertices += a.size();
        f.capacityBytes += a.capacity() * sizeof(ChunkVertex);
    }
    // Again into the same arrays: the same work without first-touch faults.
    start = Clock::now();
    ForEachChunk(map, [&](int cx, int cy, int cz, std::size_t i) {
        arrays[i].clear();
        MeshChunk(map, cx, cy, cz, arrays[i]);
    });
    f.meshTouched = Milliseconds(start, Clock::now());

    std::vector<GLuint> lists;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    start = Clock::now();
    for (const VertexArray& a : arrays)
        if (!a.empty())
            lists.push_back(CompileDisplayList(a));
    glFinish();
    f.compile = Milliseconds(start, Clock::now());
    for (GLuint list : lists)
        glDeleteLists(list, 1);
    lists.clear();
    std::vector<VertexArray>().swap(arrays);

    // The renderer's own order, chunk by chunk into new arrays: mesh,
    // compile, give the pages back; each part's time summed.
    std::vector<VertexArray> own(chunkCount);
    ForEachChunk(map, [&](int cx, int cy, int cz, std::size_t i) {
        VertexArray& a = own[i];
        const auto t0 = Clock::now();
        MeshChunk(map, cx, cy, cz, a);
        const auto t1 = Clock::now();
        f.inOrderMesh += Milliseconds(t0, t1);
        if (a.empty())
            return;
        lists.push_back(CompileDisplayList(a));
        const auto t2 = Clock::now();
        a.clear();
        ReleasePages(a.data(), a.capacity() * sizeof(ChunkVertex));
        f.inOrderCompile += Milliseconds(t1, t2);
        f.inOrderRelease += Milliseconds(t2, Clock::now());
    });
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    for (GLuint list : lists)
        glDeleteLists(list, 1);
    return f;
}

} // namespace

// The renderer's construction and first frame at the play start, on the
// generated terrain and on the world's, in turn; medians of five.
int CompareWorld(const char* path)
{
    std::vector<double> build[2], frame[2];
    std::size_t vertices[2] = {0, 0}, chunks[2] = {0, 0};
    std::string reason;
    for (int run = 0; run < 5; ++run)
        for (int dug = 0; dug < 2; ++dug) {
            WorldFile world;
            if (world.Open(path, WorldAccess::ReadOnly, 0, reason) != WorldOpened::Ok) {
                std::fprintf(stderr, "%s\n", reason.c_str());
                return 9;
            }
            Map map(new BasicMapGenerator(StandardRandom(), world.Facts().seed));
            if (dug != 0 && !world.Load(map, reason)) {
                std::fprintf(stderr, "%s\n", reason.c_str());
                return 9;
            }
            const auto t0 = Clock::now();
            MapRenderer renderer(&map);
            glFinish();
            const auto t1 = Clock::now();
            Camera camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
            DrawPlayFrame(renderer, camera, VoxelHit{-1, -1, -1});
            glFinish();
            build[dug].push_back(Milliseconds(t0, t1));
            frame[dug].push_back(Milliseconds(t1, Clock::now()));
            vertices[dug] = chunks[dug] = 0;
            for (int i = 0; i < renderer.grid.chunkCount; ++i) {
                vertices[dug] += renderer.grid.chunks[i].listVertices;
                chunks[dug] += renderer.grid.chunks[i].hasGeometry ? 1 : 0;
            }
        }
    const char* names[2] = {"generated terrain", "the world's terrain"};
    for (int dug = 0; dug < 2; ++dug) {
        std::sort(build[dug].begin(), build[dug].end());
        std::sort(frame[dug].begin(), frame[dug].end());
        std::printf("renderer on %-20s build %7.1f ms, first frame %6.1f ms (medians of 5); %.2f M vertices "
                    "in %zu chunks\n",
                    names[dug], build[dug][2], frame[dug][2], vertices[dug] / 1e6, chunks[dug]);
    }
    std::printf("the world's terrain against the generated: build %.2fx, vertices %.2fx\n",
                build[1][2] / build[0][2], static_cast<double>(vertices[1]) / static_cast<double>(vertices[0]));
    return 0;
}

int main(int argc, char** argv)
{
    bool tune = true, literal = false;
    int frames = 200;
    const char* world = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--world") == 0 && i + 1 < argc)
            world = argv[++i];
        else if (std::strcmp(argv[i], "--untuned-heap") == 0)
            tune = false;
        else if (std::strcmp(argv[i], "--literal") == 0)
            literal = true;
        else
            frames = std::atoi(argv[i]);
    }
    if (tune)
        TuneHeap();
    settings = {false, 800, 600, 0, false};
    GameEngine engine;
    engine.Init(settings);
    std::printf("renderer: %s, allocator %s, %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                HeapAllocatorName(), tune ? "tuned" : "untuned");
    if (world != nullptr) {
        SetPlayDrawingState(800, 600);
        const int status = CompareWorld(world);
        engine.Cleanup();
        return status;
    }

    RandomSource seeded = FixedSeedRandom(20261207);
    const auto t0 = Clock::now();
    Map map(new BasicMapGenerator(seeded));
    const auto t1 = Clock::now();
    const double generate = Milliseconds(t0, t1);
    // The renderer first, in a process as fresh as the program's; the parts
    // alone after it.
    const auto t2 = Clock::now();
    MapRenderer renderer(&map);
    glFinish();
    const double construct = Milliseconds(t2, Clock::now());
    const Floors floors = MeasureFloors(map);
    std::printf("generate map                         %7.1f ms\n", generate);
    std::printf("mesh, one array reused (warm)        %7.1f ms   (%.2f M vertices)\n", floors.meshWarm,
                floors.vertices / 1e6);
    std::printf("mesh, one new array per chunk        %7.1f ms   (%.2fx the warm figure; capacity %.1f MiB for "
                "%.1f MiB of vertices)\n",
                floors.meshFresh, floors.meshFresh / floors.meshWarm, floors.capacityBytes / 1048576.0,
                floors.vertices * sizeof(ChunkVertex) / 1048576.0);
    std::printf("mesh again into those arrays         %7.1f ms   (their pages already touched)\n",
                floors.meshTouched);
    std::printf("compile display lists alone          %7.1f ms\n", floors.compile);
    std::printf("as the renderer, part by part: mesh  %7.1f ms   (%.2fx the warm figure), compile %.1f ms, "
                "give pages back %.1f ms\n",
                floors.inOrderMesh, floors.inOrderMesh / floors.meshWarm, floors.inOrderCompile,
                floors.inOrderRelease);
    std::printf("construct the renderer (mesh+compile)%7.1f ms\n", construct);
    std::printf("floor: generate + warm mesh + compile%7.1f ms; ours (generate + mesh) %.0f%% of generate + "
                "construct\n",
                generate + floors.meshWarm + floors.compile,
                100.0 * (generate + floors.meshFresh) / (generate + construct));

    if (literal) {
        // The same display lists from the reference code, for comparison.
        const auto l0 = Clock::now();
        ReferenceGenerate(map, seeded);
        const auto l1 = Clock::now();
        VertexArray vertices;
        std::vector<GLuint> lists;
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        ForEachChunk(map, [&](int cx, int cy, int cz, std::size_t) {
            vertices.clear();
            ReferenceMeshChunk(map, cx, cy, cz, vertices);
            if (!vertices.empty())
                lists.push_back(CompileDisplayList(vertices));
        });
        glFinish();
        const auto l2 = Clock::now();
        std::printf("literal generate map         %7.1f ms\n", Milliseconds(l0, l1));
        std::printf("literal mesh + compile lists %7.1f ms\n", Milliseconds(l1, l2));
        for (GLuint list : lists)
            glDeleteLists(list, 1);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }

    SetPlayDrawingState(800, 600);
    Camera camera(256, 256, 128, 80, 0.1f, 10000);
    MeasurePose("start pose (256,256,128)", renderer, camera, 256, 256, 128, 0, 0, frames);
    MeasurePose("above terrain, 20 deg down", renderer, camera, 256, 100, 170, 0, -20, frames);
    MeasurePose("above terrain, level", renderer, camera, 256, 100, 170, 0, 0, frames);
    engine.Cleanup();
    return 0;
}
