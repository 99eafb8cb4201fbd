// MapDimensions: the map's fixed size and the chunks it is cut into, shared
// by the map, the world file and the mesher.
#pragma once

// The map's size in voxels.
constexpr int MapWidth = 512;
constexpr int MapDepth = 512;
constexpr int MapHeight = 256;

// The side of the cubic chunks that are meshed and stored one by one.
constexpr int ChunkSize = 16;
constexpr int ChunkVoxels = ChunkSize * ChunkSize * ChunkSize;
constexpr int MapChunkCount = (MapWidth / ChunkSize) * (MapDepth / ChunkSize) * (MapHeight / ChunkSize);

static_assert(MapWidth % ChunkSize == 0 && MapDepth % ChunkSize == 0 && MapHeight % ChunkSize == 0,
              "the map is a whole number of chunks");
