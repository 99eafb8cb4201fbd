// MapGenerator: fills a freshly allocated map; called once by its constructor.
#pragma once

class Map;

class MapGenerator {
public:
    virtual ~MapGenerator() = default;
    // Writes every voxel of `map`, using only its dimensions and voxel array.
    virtual void Generate(Map& map) = 0;
};
