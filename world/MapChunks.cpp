// MapChunks: one walk over a chunk's rows, used both ways.
#include "world/MapChunks.h"

#include <cstddef>
#include <cstring>

#include "world/MapDimensions.h"

namespace MapChunks {

namespace {

// Calls `row` with the map index of each of the chunk's rows of ChunkSize
// voxels, in the order the chunk's bytes hold them.
template <class Row> void EachRow(const Map& map, int number, Row row)
{
    const int columns = map.width / ChunkSize, rows = map.depth / ChunkSize;
    const int cx = number % columns, cy = (number / columns) % rows, cz = number / (columns * rows);
    for (int z = 0; z < ChunkSize; ++z)
        for (int y = 0; y < ChunkSize; ++y)
            row(map.Index(cx * ChunkSize, cy * ChunkSize + y, cz * ChunkSize + z));
}

} // namespace

int Count(const Map& map) { return (map.width / ChunkSize) * (map.depth / ChunkSize) * (map.height / ChunkSize); }

int NumberOf(const Map& map, int x, int y, int z)
{
    return ((z / ChunkSize) * (map.depth / ChunkSize) + y / ChunkSize) * (map.width / ChunkSize) + x / ChunkSize;
}

void CopyOut(const Map& map, int number, std::uint8_t* out)
{
    EachRow(map, number, [&](std::size_t at) {
        std::memcpy(out, map.voxels + at, ChunkSize);
        out += ChunkSize;
    });
}

void CopyIn(Map& map, int number, const std::uint8_t* voxels)
{
    EachRow(map, number, [&](std::size_t at) {
        std::memcpy(map.voxels + at, voxels, ChunkSize);
        voxels += ChunkSize;
    });
}

} // namespace MapChunks
