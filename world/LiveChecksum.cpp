// LiveChecksum: chunk hashes summed, the changed ones rehashed on demand.
#include "world/LiveChecksum.h"

#include <algorithm>

#include "world/MapChunks.h"
#include "world/VoxelHash.h"

LiveChecksum::LiveChecksum(Map& followed) : map(followed)
{
    const int count = MapChunks::Count(map);
    hashes.resize(count);
    stale.assign(count, 0);
    touched.assign(count, 0);
    std::vector<std::uint8_t> bytes(ChunkVoxels);
    for (int i = 0; i < count; ++i) {
        MapChunks::CopyOut(map, i, bytes.data());
        hashes[i] = ChunkHash(bytes.data(), i);
        sum += hashes[i];
    }
    map.observers.push_back(this);
}

LiveChecksum::~LiveChecksum()
{
    auto& list = map.observers;
    list.erase(std::remove(list.begin(), list.end(), static_cast<MapChangeObserver*>(this)), list.end());
}

void LiveChecksum::VoxelChanged(int x, int y, int z)
{
    const int number = MapChunks::NumberOf(map, x, y, z);
    touched[number] = 1;
    if (!stale[number]) {
        stale[number] = 1;
        staleList.push_back(number);
    }
}

std::uint64_t LiveChecksum::Value()
{
    std::vector<std::uint8_t> bytes(ChunkVoxels);
    for (const int number : staleList) {
        MapChunks::CopyOut(map, number, bytes.data());
        const std::uint64_t h = ChunkHash(bytes.data(), number);
        sum += h - hashes[number];
        hashes[number] = h;
        stale[number] = 0;
    }
    staleList.clear();
    return sum;
}
