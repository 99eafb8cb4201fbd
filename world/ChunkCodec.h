// ChunkCodec: a chunk's 4,096 voxel bytes as a world file stores them,
// zlib-compressed, and back, with every bound checked on the way in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/MapDimensions.h"
#include "world/VoxelType.h"

namespace ChunkCodec {

// zlib's worst case for 4,096 bytes: anything stored larger is refused
// before it is inflated.
constexpr std::size_t MostStored = ChunkVoxels + ChunkVoxels / 1000 + 64;
// The highest voxel value a chunk of a world of `format` may hold: format 1
// knew the terrain's three types, format 2 knows them all.
constexpr std::uint8_t HighestVoxel(int format) { return format >= 2 ? VoxelTypeCount - 1 : Stone; }

// The compressed form of `voxels` (ChunkVoxels of them).
std::vector<std::uint8_t> Compress(const std::uint8_t* voxels);

// Inflates `size` stored bytes into `voxels` (ChunkVoxels of them) and checks
// every value; false, with what is wrong in `reason`, for anything but
// exactly ChunkVoxels voxels of at most `highest`. Inflation stops at ChunkVoxels, so a
// stored chunk that would inflate further (a decompression bomb) costs
// nothing.
bool Inflate(const void* stored, std::size_t size, std::uint8_t highest, std::uint8_t* voxels, std::string& reason);

} // namespace ChunkCodec
