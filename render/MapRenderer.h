// MapRenderer: draws the whole map as lit, frustum-culled chunk display
// lists, and rebuilds the chunks that carving touched before each frame.
#pragma once
#include "render/ChunkGrid.h"
#include "world/Map.h"

class Camera;

class MapRenderer : public MapChangeObserver {
public:
    ChunkGrid grid;
    Map* map; // not owned; never touched by the destructor

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
    void RebuildQueued();
    void DrawChunks(const Camera& camera, bool cull);
};
