// Benchmarks of the pure world code: generation, carving, picking, meshing
// and culling, each beside the memory-bound floor it is compared with.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "render/Camera.h"
#include "render/ChunkGrid.h"
#include "render/ChunkMesher.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/MapDimensions.h"
#include "world/PickVoxel.h"
#include "world/VoxelBuffer.h"

namespace {

const std::size_t VolumeBytes = static_cast<std::size_t>(MapWidth) * MapDepth * MapHeight;

RandomSource FixedSeed()
{
    return FixedSeedRandom(20261207);
}

Map& SharedWorld()
{
    static std::unique_ptr<Map> map(new Map(new BasicMapGenerator(FixedSeed())));
    return *map;
}

// A world of its own for the benchmarks that carve.
Map& DiggableWorld()
{
    static std::unique_ptr<Map> map(new Map(new BasicMapGenerator(FixedSeed())));
    return *map;
}

struct CountingObserver : MapChangeObserver {
    long count = 0;
    void VoxelChanged(int, int, int) override { ++count; }
};

std::size_t MeshWorld(const Map& map, VertexArray& scratch)
{
    std::size_t vertices = 0;
    for (int cz = 0; cz < 16; ++cz)
        for (int cy = 0; cy < 32; ++cy)
            for (int cx = 0; cx < 32; ++cx) {
                scratch.clear();
                MeshChunk(map, cx, cy, cz, scratch);
                vertices += scratch.size();
            }
    return vertices;
}

} // namespace

static void BM_Generate(benchmark::State& state)
{
    for (auto _ : state) {
        Map map(new BasicMapGenerator(FixedSeed()));
        benchmark::DoNotOptimize(map.voxels[12345]);
    }
    state.SetBytesProcessed(state.iterations() * VolumeBytes);
}
BENCHMARK(BM_Generate)->Unit(benchmark::kMillisecond)->MinTime(2.0);

static void BM_Memset64MiB(benchmark::State& state)
{
    for (auto _ : state) {
        std::uint8_t* voxels = AllocateVoxels(VolumeBytes);
        std::memset(voxels, 3, VolumeBytes);
        benchmark::DoNotOptimize(voxels[12345]);
        FreeVoxels(voxels);
    }
    state.SetBytesProcessed(state.iterations() * VolumeBytes);
}
BENCHMARK(BM_Memset64MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0);

static void BM_CarveSphere(benchmark::State& state)
{
    Map& map = DiggableWorld();
    CountingObserver observer;
    map.observers.push_back(&observer);
    int i = 0;
    for (auto _ : state) {
        map.CarveSphere(20 + (i * 37) % 470, 20 + (i * 53) % 470, 130, 4.0f);
        ++i;
    }
    map.observers.clear();
    state.counters["notifications"] = static_cast<double>(observer.count) / state.iterations();
}
BENCHMARK(BM_CarveSphere)->Unit(benchmark::kMicrosecond);

static void BM_PickVoxel(benchmark::State& state)
{
    const Map& map = SharedWorld();
    // Typical camera poses: from the start position, from above looking down
    // at 20 to 60 degrees, and rays that leave the map without a hit.
    struct Ray {
        float o[3], d[3];
    };
    std::vector<Ray> rays;
    for (int yaw = 0; yaw < 360; yaw += 15)
        for (int pitch : {0, -20, -40, -60, 10}) {
            Camera c(256, 256, pitch == 0 || pitch == 10 ? 128.0f : 170.0f, 80, 0.1f, 10000, 4.0f / 3);
            c.yaw = static_cast<float>(yaw);
            c.pitch = static_cast<float>(pitch);
            c.UpdateFrustum(4.0f / 3);
            rays.push_back({{c.position[0], c.position[1], c.position[2]},
                            {c.direction[0], c.direction[1], c.direction[2]}});
        }
    std::size_t i = 0;
    for (auto _ : state) {
        const Ray& r = rays[i++ % rays.size()];
        benchmark::DoNotOptimize(PickVoxel(r.o, r.d, 511, 511, 255, map));
    }
}
BENCHMARK(BM_PickVoxel)->Unit(benchmark::kNanosecond);

static void BM_MeshWorld(benchmark::State& state)
{
    const Map& map = SharedWorld();
    VertexArray scratch;
    std::size_t vertices = 0;
    for (auto _ : state)
        vertices = MeshWorld(map, scratch);
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["MiB"] = vertices * sizeof(ChunkVertex) / 1048576.0;
}
BENCHMARK(BM_MeshWorld)->Unit(benchmark::kMillisecond)->MinTime(2.0);

static void BM_MemcpyMeshBytes(benchmark::State& state)
{
    VertexArray scratch;
    const std::size_t bytes = MeshWorld(SharedWorld(), scratch) * sizeof(ChunkVertex);
    std::vector<char> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MemcpyMeshBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

static void BM_ClassifyAllChunks(benchmark::State& state)
{
    const Camera camera(256, 256, 128, 80, 0.1f, 10000, 4.0f / 3);
    int visible = 0;
    for (auto _ : state) {
        visible = 0;
        for (int cz = 0; cz < MapHeight / ChunkSize; ++cz)
            for (int cy = 0; cy < MapDepth / ChunkSize; ++cy)
                for (int cx = 0; cx < MapWidth / ChunkSize; ++cx) {
                    const float x = static_cast<float>(cx * ChunkSize), y = static_cast<float>(cy * ChunkSize),
                                z = static_cast<float>(cz * ChunkSize);
                    visible += camera.ClassifyBox(x, y, z, x + ChunkSize, y + ChunkSize, z + ChunkSize) != Outside;
                }
        benchmark::DoNotOptimize(visible);
    }
    state.counters["ns_per_box"] =
        benchmark::Counter(static_cast<double>(MapChunkCount) * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["visible"] = visible;
}
BENCHMARK(BM_ClassifyAllChunks)->Unit(benchmark::kMicrosecond);

static void BM_DigRemesh(benchmark::State& state)
{
    // A fresh copy of the world per dig would dominate: carve at points
    // spread over the map near chunk corners, each into untouched terrain.
    Map& map = DiggableWorld();
    struct Queue : MapChangeObserver {
        ChunkGrid grid{MapWidth, MapDepth, MapHeight};
        void VoxelChanged(int x, int y, int z) override { grid.QueueVoxel(x, y, z); }
    } queue;
    map.observers.push_back(&queue);
    VertexArray scratch;
    int i = 0;
    double rebuilt = 0;
    for (auto _ : state) {
        const int x = 16 * (1 + (i * 7) % 30), y = 16 * (1 + (i * 11) % 30);
        ++i;
        // The surface voxel of that column, so the sphere cuts terrain.
        int z = 255;
        while (z > 0 && map.At(x, y, z) == 0)
            --z;
        map.CarveSphere(x, y, z, 4.0f);
        for (const DirtyChunk& d : queue.grid.dirtyChunks) {
            d.chunk->queued = false;
            scratch.clear();
            MeshChunk(map, d.cx, d.cy, d.cz, scratch);
        }
        rebuilt += queue.grid.dirtyChunks.size();
        queue.grid.dirtyChunks.clear();
    }
    map.observers.clear();
    state.counters["chunks_per_dig"] = rebuilt / state.iterations();
}
BENCHMARK(BM_DigRemesh)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
