// ChunkGrid: chunk storage and the de-duplicated rebuild queue.
#include "render/ChunkGrid.h"

ChunkGrid::ChunkGrid(int width, int depth, int height)
    : chunksY(depth / ChunkSize),
      chunksX(width / ChunkSize),
      chunksZ(height / ChunkSize),
      chunkCount(chunksX * chunksY * chunksZ),
      chunks(new Chunk[chunkCount])
{
}

void ChunkGrid::Queue(int cx, int cy, int cz)
{
    Chunk& chunk = At(cx, cy, cz);
    if (chunk.queued)
        return;
    chunk.queued = true;
    dirtyChunks.push_back({&chunk, cx, cy, cz});
}

void ChunkGrid::QueueVoxel(int x, int y, int z)
{
    const int cx = x / ChunkSize, cy = y / ChunkSize, cz = z / ChunkSize;
    Queue(cx, cy, cz);
    const int lx = x % ChunkSize, ly = y % ChunkSize, lz = z % ChunkSize;
    if (lx == 0 && cx > 0)
        Queue(cx - 1, cy, cz);
    else if (lx == ChunkSize - 1 && cx < chunksX - 1)
        Queue(cx + 1, cy, cz);
    if (ly == 0 && cy > 0)
        Queue(cx, cy - 1, cz);
    else if (ly == ChunkSize - 1 && cy < chunksY - 1)
        Queue(cx, cy + 1, cz);
    if (lz == 0 && cz > 0)
        Queue(cx, cy, cz - 1);
    else if (lz == ChunkSize - 1 && cz < chunksZ - 1)
        Queue(cx, cy, cz + 1);
}
