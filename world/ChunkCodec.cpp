// ChunkCodec: zlib both ways.
#include "world/ChunkCodec.h"

#include <zlib.h>

namespace ChunkCodec {

namespace {

// Level 6 is zlib's default: a chunk in about 0.1 ms, and the file stays
// within a few percent of what level 9 gives.
const int Level = 6;

} // namespace

std::vector<std::uint8_t> Compress(const std::uint8_t* voxels)
{
    uLongf size = compressBound(ChunkVoxels);
    std::vector<std::uint8_t> stored(size);
    compress2(stored.data(), &size, voxels, ChunkVoxels, Level);
    stored.resize(size);
    return stored;
}

bool Inflate(const void* stored, std::size_t size, std::uint8_t highest, std::uint8_t* voxels, std::string& reason)
{
    if (size == 0 || size > MostStored) {
        reason = "is stored in " + std::to_string(size) + " bytes, more than a chunk can take";
        return false;
    }
    uLongf inflated = ChunkVoxels;
    const int z = uncompress(voxels, &inflated, static_cast<const Bytef*>(stored), static_cast<uLong>(size));
    if (z == Z_BUF_ERROR && inflated == static_cast<uLongf>(ChunkVoxels)) {
        reason = "inflates to more than " + std::to_string(ChunkVoxels) + " bytes";
        return false;
    }
    if (z != Z_OK) {
        reason = "does not inflate (zlib error " + std::to_string(z) + ")";
        return false;
    }
    if (inflated != static_cast<uLongf>(ChunkVoxels)) {
        reason = "inflates to " + std::to_string(inflated) + " bytes, not " + std::to_string(ChunkVoxels);
        return false;
    }
    for (int i = 0; i < ChunkVoxels; ++i)
        if (voxels[i] > highest) {
            reason = "holds a voxel of unknown type " + std::to_string(voxels[i]);
            return false;
        }
    return true;
}

} // namespace ChunkCodec
