// ChunkGrid: the renderer's chunks and its rebuild queue. No OpenGL here:
// queueing decides what the next draw rebuilds.
#pragma once
#include <memory>
#include <vector>

#include "render/Chunk.h"

struct DirtyChunk {
    Chunk* chunk;
    int cx, cy, cz;
};

class ChunkGrid {
public:
    int chunksY = 0;
    int chunksX = 0;
    int chunksZ = 0;
    int chunkCount = 0;
    std::unique_ptr<Chunk[]> chunks; // x fastest, then y, then z
    std::vector<DirtyChunk> dirtyChunks;

    // One chunk per 16^3 block of a width x depth x height volume.
    ChunkGrid(int width, int depth, int height);

    Chunk& At(int cx, int cy, int cz) { return chunks[cx + chunksX * (cy + chunksY * cz)]; }
    // Appends the chunk to the queue unless it is queued already.
    void Queue(int cx, int cy, int cz);
    // Queues the chunk of voxel (x, y, z) and, for a voxel on a chunk face,
    // the chunk across that face (never edge or corner neighbours).
    void QueueVoxel(int x, int y, int z);
};
