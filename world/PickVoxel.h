// PickVoxel: the first solid voxel along a ray, by a cell-by-cell grid walk.
#pragma once
#include <cstdint>

class Map;

struct VoxelHit {
    std::int32_t x, y, z;
};

// Walks from the cell holding `origin` (truncated toward zero) along
// `direction` until a solid voxel, returned, or until the walk leaves
// [0, maxX] x [0, maxY] x [0, maxZ], giving (-1, -1, -1). An origin outside
// the box, or not representable as a cell (NaN, infinite, beyond 32 bits),
// and a direction with a NaN or infinite component give (-1, -1, -1).
// When `before` is given, it receives the cell the walk was in just before
// the hit: the empty cell in front of the face the ray entered by, where a
// placed voxel goes; (-1, -1, -1) without a hit, or when the walk began
// inside the voxel it hit.
VoxelHit PickVoxel(const float origin[3], const float direction[3], int maxX, int maxY, int maxZ,
                   const Map& map, VoxelHit* before = nullptr);
