// Fuzzes PickVoxel with arbitrary origins and directions (NaN, infinities
// and huge values included) over a generated map: the result is no hit or a
// solid voxel inside the map.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/PickVoxel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::unique_ptr<Map> map = [] {
        return std::unique_ptr<Map>(new Map(new BasicMapGenerator(FixedSeedRandom(7))));
    }();
    if (size < 24)
        return 0;
    float values[6];
    std::memcpy(values, data, sizeof values);
    const VoxelHit h = PickVoxel(values, values + 3, 511, 511, 255, *map);
    if (h.x == -1 && h.y == -1 && h.z == -1)
        return 0;
    if (h.x < 0 || h.x > 511 || h.y < 0 || h.y > 511 || h.z < 0 || h.z > 255 || map->At(h.x, h.y, h.z) == 0)
        std::abort();
    return 0;
}
