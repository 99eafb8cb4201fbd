// MapRenderer: draws the whole map as lit, frustum-culled chunk display
// lists, and rebuilds the chunks that carving touched before each frame.
#pragma once
#include <cstdint>

#include "render/ChunkGrid.h"
#include "render/ListCompactor.h"
#include "render/ListStorage.h"
#include "world/Map.h"

class Camera;

// How a renderer is built. The program keeps the defaults; the switches
// exist to measure what happens without them.
struct MapRendererOptions {
    ListCompactor::Options compaction;
    // Hand the heap memory that the queued rebuilds free back to the system
    // at once (ImmediateHeapRelease).
    bool releaseFreedAtOnce = true;
};

class MapRenderer : public MapChangeObserver {
public:
    ChunkGrid grid;
    Map* map; // not owned; never touched by the destructor
    ListStorage listStorage;
    // Recompiles the lists that keep old driver storage alive.
    ListCompactor compactor;

    // Registers with the map and builds every chunk. Needs an OpenGL context.
    explicit MapRenderer(Map* map, const MapRendererOptions& options = MapRendererOptions());
    // Deletes every display list; does not touch the map.
    virtual ~MapRenderer();
    MapRenderer(const MapRenderer&) = delete;
    MapRenderer& operator=(const MapRenderer&) = delete;

    // Queues the chunks the change can alter; builds nothing.
    void VoxelChanged(int x, int y, int z) override;
    // At most the vertices the rebuild after map->CarveSphere(x, y, z,
    // radius) compiles: what the chunks it can touch hold now, and every
    // face the carve can open.
    std::uint64_t VerticesAfterCarve(int x, int y, int z, float radius) const;
    // Rebuilds queued chunks, applies the camera, lights the scene and calls
    // every chunk with geometry that is not outside the frustum. Leaves
    // lighting, colour material and the client arrays off.
    virtual void Draw(const Camera& camera);
    // As Draw, but calling every chunk with geometry (no culling).
    void DrawUnculled(const Camera& camera);

private:
    bool releaseFreedAtOnce;

    // BuildChunk, with the driver storage accounted for.
    void Rebuild(Chunk& chunk, int cx, int cy, int cz);
    void RebuildQueued();
    // Rebuilds chunk i for the compactor, with the build state it needs.
    void RebuildForCompaction(int i);
    void DrawChunks(const Camera& camera, bool cull);
};
