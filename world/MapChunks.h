// MapChunks: a map seen as its 16^3 chunks, numbered as the world file
// numbers them: chunk (cx, cy, cz) is (cz * rows + cy) * columns + cx, and
// its voxels are taken x fastest, then y, then z.
#pragma once
#include <cstdint>

#include "world/Map.h"

namespace MapChunks {

// How many chunks `map` holds.
int Count(const Map& map);

// The number of the chunk holding voxel (x, y, z), which is inside the map.
int NumberOf(const Map& map, int x, int y, int z);

// Copies chunk `number` out of `map` into `out` (ChunkVoxels bytes).
void CopyOut(const Map& map, int number, std::uint8_t* out);

// Puts `voxels` (ChunkVoxels bytes) over chunk `number` of `map`.
void CopyIn(Map& map, int number, const std::uint8_t* voxels);

} // namespace MapChunks
