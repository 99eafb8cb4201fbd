// Fuzzes CarveSphere at arbitrary centres, far outside the map included:
// every notified voxel is inside the map, within the ball and now Air, each
// is notified once, and the count equals the ball's size clipped to the map.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "support/TestWorld.h"
#include "world/MapDimensions.h"
#include "world/VoxelType.h"

namespace {
struct Counter : MapChangeObserver {
    std::vector<std::uint8_t> seen = std::vector<std::uint8_t>(static_cast<std::size_t>(MapWidth) * MapDepth * MapHeight, 0);
    std::vector<std::size_t> touched;
    const Map* map = nullptr;
    void VoxelChanged(int x, int y, int z) override
    {
        if (x < 0 || x >= MapWidth || y < 0 || y >= MapDepth || z < 0 || z >= MapHeight || map->At(x, y, z) != Air)
            std::abort();
        const std::size_t i = map->Index(x, y, z);
        if (seen[i]++)
            std::abort();
        touched.push_back(i);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::unique_ptr<Map> map(new Map(new FillGenerator(Stone)));
    static Counter counter;
    if (size < 16)
        return 0;
    std::int32_t c[3];
    float radius;
    std::memcpy(c, data, sizeof c);
    std::memcpy(&radius, data + 12, sizeof radius);
    // Keep runs short: a radius beyond 40 (or +infinity, which carves the
    // whole map) only makes a bigger ball. NaN and -infinity stay.
    if (std::isfinite(radius))
        radius = std::fmod(radius, 40.0f);
    else if (radius > 0)
        radius = 39.5f;
    counter.map = map.get();
    map->observers = {&counter};
    map->CarveSphere(c[0], c[1], c[2], radius);

    // The ball clipped to the map, counted independently in 64 bits.
    long long expected = 0;
    // A radius in (-1, 0] still rounds up to a box of one voxel; NaN carves nothing.
    if (std::ceil(radius) >= 0) {
        const long long R = static_cast<long long>(std::ceil(radius));
        const double r2 = static_cast<double>(radius * radius);
        for (long long z = std::max<long long>(c[2] - R, 0); z <= std::min<long long>(c[2] + R, MapHeight - 1); ++z)
            for (long long y = std::max<long long>(c[1] - R, 0); y <= std::min<long long>(c[1] + R, MapDepth - 1); ++y)
                for (long long x = std::max<long long>(c[0] - R, 0); x <= std::min<long long>(c[0] + R, MapWidth - 1); ++x) {
                    const long long d2 = (x - c[0]) * (x - c[0]) + (y - c[1]) * (y - c[1]) + (z - c[2]) * (z - c[2]);
                    expected += static_cast<double>(d2) <= r2;
                }
    }
    if (static_cast<long long>(counter.touched.size()) != expected)
        std::abort();
    for (std::size_t i : counter.touched) {
        map->voxels[i] = Stone;
        counter.seen[i] = 0;
    }
    counter.touched.clear();
    return 0;
}
