// MapChunks: one walk over a chunk's rows, used both ways.
#include "world/MapChunks.h"

#include <cstddef>
#include <cstring>

#include "world/ChunkCodec.h"

namespace MapChunks {

namespace {

const int Side = ChunkCodec::Side;

// Calls `row` with the map index of each of the chunk's rows of Side
// voxels, in the order the chunk's bytes hold them.
template <class Row> void EachRow(const Map& map, int number, Row row)
{
    const int columns = map.width / Side, rows = map.depth / Side;
    const int cx = number % columns, cy = (number / columns) % rows, cz = number / (columns * rows);
    for (int z = 0; z < Side; ++z)
        for (int y = 0; y < Side; ++y)
            row(map.Index(cx * Side, cy * Side + y, cz * Side + z));
}

} // namespace

int Count(const Map& map) { return (map.width / Side) * (map.depth / Side) * (map.height / Side); }

int NumberOf(const Map& map, int x, int y, int z)
{
    return ((z / Side) * (map.depth / Side) + y / Side) * (map.width / Side) + x / Side;
}

void CopyOut(const Map& map, int number, std::uint8_t* out)
{
    EachRow(map, number, [&](std::size_t at) {
        std::memcpy(out, map.voxels + at, Side);
        out += Side;
    });
}

void CopyIn(Map& map, int number, const std::uint8_t* voxels)
{
    EachRow(map, number, [&](std::size_t at) {
        std::memcpy(map.voxels + at, voxels, Side);
        voxels += Side;
    });
}

} // namespace MapChunks
