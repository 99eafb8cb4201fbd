// VoxelHash: the hash both checksums of voxels are built on, the whole
// map's (VoxelChecksum, which demos carry) and the world file's, chunk by
// chunk. The same figures on every platform.
#pragma once
#include <cstddef>
#include <cstdint>

// Hashes the whole eight-byte words of the `size` bytes at `bytes` into
// `h`, each taken as a little-endian word on every machine:
// h ^= w; h = rotl(h, 27) * 0x9E3779B97F4A7C15. Bytes past the last whole
// word are left to the caller.
std::uint64_t HashWords(std::uint64_t h, const std::uint8_t* bytes, std::size_t size);

// A checksum of a map that can follow edits chunk by chunk: the sum of a
// hash of each 16^3 chunk, mixed with the chunk's number.
std::uint64_t ChunkHash(const std::uint8_t* chunkBytes, int chunkNumber);
