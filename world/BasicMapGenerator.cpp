// BasicMapGenerator: height grid, interpolation and the column fill, done
// slice by slice so the 64 MiB volume is written in long runs.
#include "world/BasicMapGenerator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "world/Map.h"
#include "world/PortableRandom.h"
#include "world/VoxelType.h"

RandomSource StandardRandom()
{
    // Draws reach 2^31 - 1; keep the low 15 bits, which are as uniform as
    // the whole since 2^31 is a multiple of 32768.
    auto generator = std::make_shared<PortableRandom>();
    return {[generator](unsigned s) { generator->Seed(s); }, [generator] { return generator->Next() % 32768; }};
}

RandomSource FixedSeedRandom(unsigned seed)
{
    RandomSource random = StandardRandom();
    random.seed = [seed, seedWith = random.seed](unsigned) { seedWith(seed); };
    return random;
}

unsigned WorldSeed()
{
    if (const char* text = std::getenv("VELDMARROW_SEED")) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (end != text && *end == '\0' && errno == 0)
            return static_cast<unsigned>(value);
    }
    return static_cast<unsigned>(static_cast<std::uint64_t>(std::time(nullptr)));
}

void ComputeSurface(int width, int depth, RandomSource& random, unsigned seed, std::int16_t* surface)
{
    random.seed(seed);
    const int gridW = width / 16 + 1;
    const int gridD = depth / 16 + 1;
    std::vector<float> grid(static_cast<std::size_t>(gridW) * gridD);
    for (float& h : grid) {
        // A source that strays out of range must not push columns out of the volume.
        const int r = std::min(std::max(random.draw(), 0), 32767);
        h = static_cast<float>((r + 1) / 32767.0 * 30.0 + 115.0);
    }

    for (int y = 0; y < depth; ++y) {
        const int gy = y >> 4;
        const float wy = static_cast<float>(((y & 15) + 1) * 0.0625);
        for (int x = 0; x < width; ++x) {
            const int gx = x >> 4;
            const float wx = static_cast<float>(((x & 15) + 1) * 0.0625);
            const float h00 = grid[gy * gridW + gx];
            const float h10 = grid[gy * gridW + gx + 1];
            const float h01 = grid[(gy + 1) * gridW + gx];
            const float h11 = grid[(gy + 1) * gridW + gx + 1];
            // Each intermediate is a float, as the terrain has always been built.
            const float a = h00 + (h01 - h00) * wy;
            const float b = h10 + (h11 - h10) * wy;
            const float h = a + (b - a) * wx;
            const float rounded = h + 0.5f;
            surface[static_cast<std::size_t>(y) * width + x] = static_cast<std::int16_t>(std::floor(rounded));
        }
    }
}

void BasicMapGenerator::Generate(Map& map)
{
    const int W = map.width, D = map.depth, Z = map.height;
    const std::size_t sliceSize = static_cast<std::size_t>(W) * D;
    std::vector<std::int16_t> surface(sliceSize);
    ComputeSurface(W, D, random, seed, surface.data());

    const auto [lowest, highest] = std::minmax_element(surface.begin(), surface.end());
    const int minS = *lowest, maxS = *highest;
    // Levels are 115 to 145, so bytes hold them and the per-column slices
    // below compare 16 or 32 columns at a time.
    std::vector<std::uint8_t> level(sliceSize);
    for (std::size_t i = 0; i < sliceSize; ++i)
        level[i] = static_cast<std::uint8_t>(std::min<int>(std::max<int>(surface[i], 0), 255));

    // Below every column's dirt the slice is all Stone, above every grass
    // voxel it is all Air; only the slices in between depend on the column.
    for (int z = 0; z < Z; ++z) {
        std::uint8_t* slice = map.voxels + static_cast<std::size_t>(z) * sliceSize;
        if (z < minS - 5) {
            std::memset(slice, Stone, sliceSize);
        } else if (z > maxS) {
            std::memset(slice, Air, sliceSize);
        } else {
            const std::uint8_t* s = level.data();
            const std::uint8_t zz = static_cast<std::uint8_t>(z), stoneBelow = static_cast<std::uint8_t>(z + 5);
            for (std::size_t i = 0; i < sliceSize; ++i) {
                const std::uint8_t l = s[i];
                slice[i] = l > stoneBelow ? Stone : l > zz ? Dirt : l == zz ? Grass : Air;
            }
        }
    }
}
