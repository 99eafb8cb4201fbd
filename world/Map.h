// Map: the voxel volume, its light, its generator and its change observers.
#pragma once
#include <cstdint>
#include <vector>

#include "world/MapDimensions.h"

class MapGenerator;

struct MapLight {
    float position[4];
    float ambient[4];
    float diffuse[4];
    float specular[4];
    int lightId;
};

// Told about every voxel that carving writes, after the new value is stored.
class MapChangeObserver {
public:
    virtual void VoxelChanged(int x, int y, int z) = 0;

protected:
    ~MapChangeObserver() = default;
};

// The radius of the sphere the player's dig carves.
constexpr float DigRadius = 4.0f;

class Map {
public:
    std::uint8_t* voxels = nullptr;
    int width = MapWidth;
    int depth = MapDepth;
    int height = MapHeight;
    MapGenerator* generator = nullptr;
    MapLight light;
    std::vector<MapChangeObserver*> observers;

    // Takes ownership of `generator` and fills the volume with it.
    explicit Map(MapGenerator* generator);
    ~Map();
    Map(const Map&) = delete;
    Map& operator=(const Map&) = delete;

    // The byte index of voxel (x, y, z); coordinates must be inside the map.
    std::size_t Index(int x, int y, int z) const
    {
        return (static_cast<std::size_t>(z) * depth + y) * width + x;
    }
    std::uint8_t At(int x, int y, int z) const { return voxels[Index(x, y, z)]; }

    // Sets every voxel within `radius` of (x, y, z) to Air, z then y then x,
    // telling every observer about each one before the next. The box is
    // clipped to the volume, so any centre is safe.
    void CarveSphere(int x, int y, int z, float radius);
    // Sets voxel (x, y, z) to `type` and tells every observer, as carving
    // does; false (nothing changed) outside the map or when it holds
    // `type` already.
    bool SetVoxel(int x, int y, int z, std::uint8_t type);
    // True when (x, y, z) is inside the map.
    bool Contains(int x, int y, int z) const
    {
        return x >= 0 && y >= 0 && z >= 0 && x < width && y < depth && z < height;
    }
};

// A 64-bit checksum of every voxel byte: equal maps give equal checksums on
// every platform, and any change of a voxel changes it in practice.
std::uint64_t VoxelChecksum(const Map& map);
