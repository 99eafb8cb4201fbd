// VoxelHash: the word loop, and a chunk's hash mixed with its number.
#include "world/VoxelHash.h"

#include "world/MapDimensions.h"

namespace {

// MurmurHash3's 64-bit finaliser.
std::uint64_t Mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

} // namespace

std::uint64_t HashWords(std::uint64_t h, const std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | bytes[i + b];
        h ^= w;
        h = (h << 27 | h >> 37) * 0x9E3779B97F4A7C15ull;
    }
    return h;
}

std::uint64_t ChunkHash(const std::uint8_t* bytes, int chunkNumber)
{
    const std::uint64_t h = HashWords(0xCBF29CE484222325ull, bytes, ChunkVoxels);
    return Mix(h ^ (static_cast<std::uint64_t>(chunkNumber) * 0x9E3779B97F4A7C15ull));
}
