// ListMemory: the display lists' memory need, from the vertex count.
#include "render/ListMemory.h"

#include "render/ChunkMesher.h"
#include "world/Map.h"

namespace {

ListMemoryNeed NeedWith(std::uint64_t vertices, const ListMemoryNeed& headroom)
{
    return {vertices * ListAddressPerVertex + headroom.addressSpace,
            vertices * ListMemoryPerVertex + headroom.memory};
}

std::string Shortage(std::uint64_t need, std::uint64_t available)
{
    const std::uint64_t mib = 1ull << 20;
    return "about " + std::to_string((need + mib - 1) / mib) + " MiB needed, " + std::to_string(available / mib) +
           " MiB available";
}

} // namespace

ListMemoryNeed TerrainListNeed(std::uint64_t vertices)
{
    return NeedWith(vertices, TerrainListHeadroom);
}

ListMemoryNeed RebuildListNeed(std::uint64_t vertices)
{
    return NeedWith(vertices, RebuildListHeadroom);
}

std::uint64_t CountMapVertices(const Map& map)
{
    std::uint64_t vertices = 0;
    // The renderer's grid: whole chunks only.
    for (int cz = 0; cz < map.height / ChunkSize; ++cz)
        for (int cy = 0; cy < map.depth / ChunkSize; ++cy)
            for (int cx = 0; cx < map.width / ChunkSize; ++cx)
                vertices += CountChunkVertices(map, cx, cy, cz);
    return vertices;
}

std::string ListMemoryShortage(const ListMemoryNeed& need, const MemoryRoom& room)
{
    if (need.addressSpace > room.addressSpace)
        return Shortage(need.addressSpace, room.addressSpace);
    if (need.memory > room.memory)
        return Shortage(need.memory, room.memory);
    return std::string();
}
