// LiveChecksum: the world checksum of a map that changes (the sum of each
// chunk's ChunkHash, as a kept world's checksum is), kept up to date by
// rehashing only the chunks that changed since it was last asked for.
#pragma once
#include <cstdint>
#include <vector>

#include "world/Map.h"

class LiveChecksum final : private MapChangeObserver {
public:
    // Follows `map` from now on (it must outlive this); hashes every chunk.
    explicit LiveChecksum(Map& map);
    ~LiveChecksum();
    LiveChecksum(const LiveChecksum&) = delete;
    LiveChecksum& operator=(const LiveChecksum&) = delete;

    // The checksum of the map as it is now.
    std::uint64_t Value();
    // Whether chunk `number` changed since this began following the map.
    bool Touched(int number) const { return touched[number] != 0; }

private:
    Map& map;
    std::vector<std::uint64_t> hashes;
    std::vector<std::uint8_t> stale;   // per chunk: changed since hashed
    std::vector<std::uint8_t> touched; // per chunk: changed at all
    std::vector<int> staleList;
    std::uint64_t sum = 0;

    void VoxelChanged(int x, int y, int z) override;
};
