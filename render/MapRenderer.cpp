// MapRenderer: chunk lifetime, rebuilds and the per-frame draw.
#include "render/MapRenderer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/HeapTuning.h"
#include "render/Camera.h"
#include "render/LightPool.h"

namespace {

// About five of Mesa's 1 MiB buffers per generation (a fresh renderer's
// lists take about 20 bytes a vertex). The account cannot see where one
// buffer ends and the next begins, so the buffers at a generation's two
// ends stay held by its neighbours' lists after it is compacted; the
// larger the generation, the smaller that share.
constexpr std::size_t GenerationVertices = 256 * 1024;

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

MapRenderer::MapRenderer(Map* map, const MapRendererOptions& options)
    : grid(map->width, map->depth, map->height), map(map),
      listStorage(GenerationVertices, CompactionPacing::BacklogLimit),
      compactor(grid, listStorage, [this](int i) { RebuildForCompaction(i); }, options.compaction),
      releaseFreedAtOnce(options.releaseFreedAtOnce)
{
    map->observers.push_back(this);
    EnableBuildState();
    for (int cz = 0; cz < grid.chunksZ; ++cz)
        for (int cy = 0; cy < grid.chunksY; ++cy)
            for (int cx = 0; cx < grid.chunksX; ++cx)
                Rebuild(grid.At(cx, cy, cz), cx, cy, cz);
    DisableBuildState();
}

MapRenderer::~MapRenderer() = default;

void MapRenderer::VoxelChanged(int x, int y, int z)
{
    grid.QueueVoxel(x, y, z);
}

std::uint64_t MapRenderer::VerticesAfterCarve(int x, int y, int z, float radius) const
{
    // A voxel's faces can change with its neighbours': one voxel more around.
    const int reach = static_cast<int>(std::ceil(radius)) + 1;
    const int lo[3] = {x - reach, y - reach, z - reach}, hi[3] = {x + reach, y + reach, z + reach};
    const int count[3] = {grid.chunksX, grid.chunksY, grid.chunksZ};
    int first[3], last[3];
    for (int a = 0; a < 3; ++a) {
        first[a] = std::max(0, lo[a] / ChunkSize);
        last[a] = std::min(count[a] - 1, std::max(0, hi[a]) / ChunkSize);
    }
    std::uint64_t vertices = 0;
    for (int cz = first[2]; cz <= last[2]; ++cz)
        for (int cy = first[1]; cy <= last[1]; ++cy)
            for (int cx = first[0]; cx <= last[0]; ++cx)
                vertices += grid.chunks[cx + grid.chunksX * (cy + grid.chunksY * cz)].listVertices;
    // Each carved voxel can open the faces of its six neighbours.
    const std::uint64_t side = 2 * static_cast<std::uint64_t>(reach) + 1;
    return vertices + side * side * side * 6 * 6;
}

void MapRenderer::Rebuild(Chunk& chunk, int cx, int cy, int cz)
{
    if (chunk.hasGeometry)
        listStorage.Deleted(chunk.storageGeneration, chunk.listVertices);
    chunk.storageGeneration = -1;
    if (BuildChunk(*map, chunk, cx, cy, cz) > 0)
        chunk.storageGeneration = listStorage.Compiled(chunk.listVertices);
}

void MapRenderer::RebuildQueued()
{
    if (grid.dirtyChunks.empty())
        return;
    EnableBuildState();
    for (const DirtyChunk& entry : grid.dirtyChunks) {
        entry.chunk->queued = false;
        Rebuild(*entry.chunk, entry.cx, entry.cy, entry.cz);
    }
    DisableBuildState();
    grid.dirtyChunks.clear();
}

void MapRenderer::RebuildForCompaction(int i)
{
    const int cx = i % grid.chunksX;
    const int cy = i / grid.chunksX % grid.chunksY;
    const int cz = i / (grid.chunksX * grid.chunksY);
    EnableBuildState();
    Rebuild(grid.chunks[i], cx, cy, cz);
    DisableBuildState();
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
    {
        // What a rebuild frees (the old list, and Mesa's buffer once its
        // last list goes) is seldom wanted again soon; the frame's own
        // buffers, freed while drawing, keep the heap's delay.
        std::optional<ImmediateHeapRelease> release;
        if (releaseFreedAtOnce)
            release.emplace();
        RebuildQueued();
    }
    // Compaction keeps the delay: handing back and faulting in again the
    // pages of every list it moves made a moved vertex cost 40% more, so
    // its share moved fewer lists and left more dead storage.
    compactor.RunFrame();
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
