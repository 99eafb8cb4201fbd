// Map: construction, destruction and sphere carving.
#include "world/Map.h"

#include <algorithm>
#include <cmath>

#include "world/MapGenerator.h"
#include "world/VoxelBuffer.h"
#include "world/VoxelHash.h"
#include "world/VoxelType.h"

Map::Map(MapGenerator* generator)
    : generator(generator),
      light{{0.5345f, 0.2672f, -0.8017f, 0.0f}, {0.2f, 0.2f, 0.2f, 1.0f}, {1, 1, 1, 1}, {1, 1, 1, 1}, 0}
{
    try {
        voxels = AllocateVoxels(static_cast<std::size_t>(width) * depth * height);
        this->generator->Generate(*this);
    } catch (...) {
        FreeVoxels(voxels);
        delete this->generator;
        throw;
    }
}

Map::~Map()
{
    FreeVoxels(voxels);
    voxels = nullptr;
    delete generator;
    generator = nullptr;
}

void Map::CarveSphere(int x, int y, int z, float radius)
{
    const double ceiling = std::ceil(static_cast<double>(radius));
    // A NaN radius covers nothing; an absurd one cannot reach past the map anyway.
    if (!(ceiling >= 0.0))
        return;
    const long long R = static_cast<long long>(std::min(ceiling, 1.0e6));
    const float r2 = radius * radius;

    // 64-bit bounds: a centre near INT_MAX must not overflow c + R.
    auto lowBound = [R](int c) { return std::max<long long>(static_cast<long long>(c) - R, 0); };
    auto highBound = [R](int c, int n) { return std::min<long long>(static_cast<long long>(c) + R, n - 1); };
    const long long x0 = lowBound(x), x1 = highBound(x, width);
    const long long y0 = lowBound(y), y1 = highBound(y, depth);
    const long long z0 = lowBound(z), z1 = highBound(z, height);

    for (long long vz = z0; vz <= z1; ++vz)
        for (long long vy = y0; vy <= y1; ++vy)
            for (long long vx = x0; vx <= x1; ++vx) {
                const long long dx = x - vx, dy = y - vy, dz = z - vz;
                const long long d2 = dx * dx + dy * dy + dz * dz;
                if (static_cast<double>(d2) <= static_cast<double>(r2)) {
                    voxels[Index(static_cast<int>(vx), static_cast<int>(vy), static_cast<int>(vz))] = Air;
                    for (MapChangeObserver* observer : observers)
                        observer->VoxelChanged(static_cast<int>(vx), static_cast<int>(vy), static_cast<int>(vz));
                }
            }
}

bool Map::SetVoxel(int x, int y, int z, std::uint8_t type)
{
    if (!Contains(x, y, z) || voxels[Index(x, y, z)] == type)
        return false;
    voxels[Index(x, y, z)] = type;
    for (MapChangeObserver* observer : observers)
        observer->VoxelChanged(x, y, z);
    return true;
}

std::uint64_t VoxelChecksum(const Map& map)
{
    const std::size_t size = static_cast<std::size_t>(map.width) * map.depth * map.height;
    const std::uint8_t* bytes = map.voxels;
    std::uint64_t h = HashWords(0xCBF29CE484222325ull ^ size, bytes, size);
    for (std::size_t i = size - size % 8; i < size; ++i)
        h = (h ^ bytes[i]) * 0x100000001B3ull;
    return h ^ (h >> 31);
}
