// MapRenderer: draws the whole map as lit, frustum-culled chunk display
// lists, and rebuilds the chunks that carving touched before each frame.
#pragma once
#include "render/ChunkGrid.h"
#include "render/ListStorage.h"
#include "world/Map.h"

class Camera;

class MapRenderer : public MapChangeObserver {
public:
    ChunkGrid grid;
    Map* map; // not owned; never touched by the destructor
    // Vertices of deleted lists whose driver storage may stay held before
    // compaction starts: about 2.5 MiB.
    static constexpr std::size_t DeadListVertexLimit = 128 * 1024;
    ListStorage listStorage;
    // Recompile the lists that keep old driver storage alive (see
    // ListStorage); off only to measure what happens without it.
    bool compactLists = true;
    // Hand the heap memory that the queued rebuilds free back to the system
    // at once (ImmediateHeapRelease); off only to measure.
    bool releaseFreedAtOnce = true;
    // Compaction's cap in a frame, in processor time.
    static constexpr double CompactionCapMs = 2.0;
    // What compaction cost: lists recompiled, and the longest time spent on
    // it in one frame, on the clock and in processor time (which a loaded
    // machine does not inflate).
    struct CompactionFigures {
        long lists = 0;
        double longestMs = 0;
        double longestCpuMs = 0;
        long framesOverCap = 0; // frames whose compaction took more processor time than the cap
        double msPerVertex = 0; // processor time a recompiled vertex costs, as learnt
    } compaction;

    // Registers with the map and builds every chunk. Needs an OpenGL context.
    explicit MapRenderer(Map* map);
    // Deletes every display list; does not touch the map.
    virtual ~MapRenderer();
    MapRenderer(const MapRenderer&) = delete;
    MapRenderer& operator=(const MapRenderer&) = delete;

    // Queues the chunks the change can alter; builds nothing.
    void VoxelChanged(int x, int y, int z) override;
    // Rebuilds queued chunks, applies the camera, lights the scene and calls
    // every chunk with geometry that is not outside the frustum. Leaves
    // lighting, colour material and the client arrays off.
    virtual void Draw(const Camera& camera);
    // As Draw, but calling every chunk with geometry (no culling).
    void DrawUnculled(const Camera& camera);

private:
    int compactCursor = 0;
    // The generation being compacted, and the chunks visited since it was
    // chosen: a full lap moves everything in it that can be moved.
    int lapGeneration = -1;
    int lapVisited = 0;
    double compileMsPerVertex = 0.0001; // rebuild cost, learnt as chunks are compacted

    // BuildChunk, with the driver storage accounted for.
    void Rebuild(Chunk& chunk, int cx, int cy, int cz);
    void RebuildQueued();
    // Recompiles, for at most about 1.5 ms of processor time, lists of the
    // generation that ListStorage asks to compact; sets it aside once only
    // lists too large to move are left in it.
    void CompactLists();
    void DrawChunks(const Camera& camera, bool cull);
};
