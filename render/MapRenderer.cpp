// MapRenderer: chunk lifetime, rebuilds and the per-frame draw.
#include "render/MapRenderer.h"

#include <GL/gl.h>

#include "render/Camera.h"
#include "render/LightPool.h"

namespace {

void EnableBuildState()
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnable(GL_COLOR_MATERIAL);
}

void DisableBuildState()
{
    glDisable(GL_COLOR_MATERIAL);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace

MapRenderer::MapRenderer(Map* map) : grid(map->width, map->depth, map->height), map(map)
{
    map->observers.push_back(this);
    EnableBuildState();
    for (int cz = 0; cz < grid.chunksZ; ++cz)
        for (int cy = 0; cy < grid.chunksY; ++cy)
            for (int cx = 0; cx < grid.chunksX; ++cx)
                BuildChunk(*map, grid.At(cx, cy, cz), cx, cy, cz);
    DisableBuildState();
}

MapRenderer::~MapRenderer() = default;

void MapRenderer::VoxelChanged(int x, int y, int z)
{
    grid.QueueVoxel(x, y, z);
}

void MapRenderer::RebuildQueued()
{
    if (grid.dirtyChunks.empty())
        return;
    EnableBuildState();
    for (const DirtyChunk& entry : grid.dirtyChunks) {
        entry.chunk->queued = false;
        BuildChunk(*map, *entry.chunk, entry.cx, entry.cy, entry.cz);
    }
    DisableBuildState();
    grid.dirtyChunks.clear();
}

void MapRenderer::Draw(const Camera& camera)
{
    DrawChunks(camera, true);
}

void MapRenderer::DrawUnculled(const Camera& camera)
{
    DrawChunks(camera, false);
}

void MapRenderer::DrawChunks(const Camera& camera, bool cull)
{
    RebuildQueued();
    camera.ApplyView();
    // An empty pool (another user holding every light) draws unlit.
    const int id = lightPool.Acquire();
    map->light.lightId = id;
    if (id != 0) {
        const GLenum light = static_cast<GLenum>(id);
        glEnable(GL_LIGHTING);
        glEnable(light);
        glLightfv(light, GL_AMBIENT, map->light.ambient);
        glLightfv(light, GL_DIFFUSE, map->light.diffuse);
        glLightfv(light, GL_SPECULAR, map->light.specular);
        glLightfv(light, GL_POSITION, map->light.position);
    }
    glEnable(GL_COLOR_MATERIAL);
    for (int i = 0; i < grid.chunkCount; ++i) {
        const Chunk& chunk = grid.chunks[i];
        if (cull && camera.ClassifyBox(chunk.boundsMin[0], chunk.boundsMin[1], chunk.boundsMin[2],
                                       chunk.boundsMax[0], chunk.boundsMax[1], chunk.boundsMax[2]) == Outside)
            continue;
        if (chunk.hasGeometry)
            glCallList(chunk.displayList);
    }
    glDisable(GL_COLOR_MATERIAL);
    if (id != 0) {
        glDisable(static_cast<GLenum>(id));
        lightPool.Release(id);
    }
    map->light.lightId = 0;
    glDisable(GL_LIGHTING);
}
