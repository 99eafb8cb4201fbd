// BasicMapGenerator: rolling terrain from a coarse grid of random heights,
// Stone under five Dirt under one Grass, Air above.
#pragma once
#include <cstdint>
#include <functional>

#include "world/MapGenerator.h"

// Where the generator's randomness comes from: one seeding and a sequence of
// draws, each in [0, 32767].
struct RandomSource {
    std::function<void(unsigned)> seed;
    std::function<int()> draw;
};

// The generator's own sequence (the one glibc's srand/rand give, on every
// platform), each draw brought into [0, 32767].
RandomSource StandardRandom();
// The same sequence, always seeded with `seed` whatever seed it is given.
RandomSource FixedSeedRandom(unsigned seed);

// The seed for a new world: VELDMARROW_SEED when it holds an integer,
// otherwise the low 32 bits of the current time in seconds.
unsigned WorldSeed();

class BasicMapGenerator : public MapGenerator {
public:
    // A generator whose world comes from `random` seeded with `seed` (by
    // default the seed for a new world, taken now).
    explicit BasicMapGenerator(RandomSource random = StandardRandom(), unsigned seed = WorldSeed())
        : random(std::move(random)), seed(seed)
    {
    }
    void Generate(Map& map) override;

private:
    RandomSource random;
    unsigned seed;
};

// The surface level S of every column, row by row (y outer, x inner), for a
// map of `width` x `depth` whose height grid was filled by `random` seeded
// with `seed`.
void ComputeSurface(int width, int depth, RandomSource& random, unsigned seed, std::int16_t* surface);
