// Test worlds: maps filled by a rule, and straightforward reference versions
// of the generator and the mesher to compare the fast ones against.
#pragma once
#include <functional>
#include <vector>

#include "render/ChunkMesher.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/MapGenerator.h"

// Fills every voxel with fill(x, y, z).
class RuleGenerator : public MapGenerator {
public:
    explicit RuleGenerator(std::function<int(int, int, int)> fill) : fill(std::move(fill)) {}
    void Generate(Map& map) override;

private:
    std::function<int(int, int, int)> fill;
};

// Fills every voxel with one value.
class FillGenerator : public MapGenerator {
public:
    explicit FillGenerator(int value) : value(value) {}
    void Generate(Map& map) override;

private:
    int value;
};

// A random source that replays fixed draws (cycling) and records its seed.
RandomSource FixedDraws(std::vector<int> draws, unsigned* seedSeen = nullptr);
// A random source from a small deterministic generator with its own seed.
RandomSource SeededDraws(unsigned seed);

// The terrain algorithm written out column by column, for comparison.
void ReferenceGenerate(Map& map, RandomSource random);

// The chunk scan written out voxel by voxel, with its own face emission.
void ReferenceMeshChunk(const Map& map, int cx, int cy, int cz, VertexArray& out);

// Whether two vertex arrays hold the same bytes.
bool SameVertices(const VertexArray& a, const VertexArray& b);

// A map of all Air.
Map* EmptyMap();
