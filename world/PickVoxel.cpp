// PickVoxel: 3D digital differential analyser over the voxel grid.
#include "world/PickVoxel.h"

#include <cmath>
#include <limits>

#include "world/Map.h"

namespace {

const VoxelHit NoHit = {-1, -1, -1};

// Truncates toward zero, refusing what an int cannot hold (the cast itself
// would be undefined).
bool ToCell(float v, int& cell)
{
    if (!(v > -2147483648.0f && v < 2147483648.0f))
        return false;
    cell = static_cast<int>(v);
    return true;
}

struct Axis {
    int step;
    float tMax;
    float tDelta;
};

Axis SetUpAxis(float o, float d, int i)
{
    const float inf = std::numeric_limits<float>::infinity();
    Axis a;
    a.step = d >= 0 ? 1 : -1;
    // A zero component never advances. Spelled out so that -0.0 means the
    // same as 0.0 instead of dividing to -infinity.
    if (d == 0) {
        a.tMax = inf;
        a.tDelta = inf;
        return a;
    }
    const float boundary = d >= 0 ? static_cast<float>(i) + 1.0f : static_cast<float>(i);
    a.tMax = (boundary - o) / d;
    a.tDelta = 1.0f / std::fabs(d);
    return a;
}

// Steps one cell along an axis.
inline void Advance(Axis& a, int& index)
{
    index += a.step;
    a.tMax += a.tDelta;
}

} // namespace

VoxelHit PickVoxel(const float origin[3], const float direction[3], int maxX, int maxY, int maxZ,
                   const Map& map, VoxelHit* before)
{
    if (before != nullptr)
        *before = NoHit;
    int ix, iy, iz;
    if (!ToCell(origin[0], ix) || !ToCell(origin[1], iy) || !ToCell(origin[2], iz))
        return NoHit;
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(direction[i]))
            return NoHit;

    Axis ax = SetUpAxis(origin[0], direction[0], ix);
    Axis ay = SetUpAxis(origin[1], direction[1], iy);
    Axis az = SetUpAxis(origin[2], direction[2], iz);

    // Every axis moves one way only, so the walk leaves the box after at most
    // the sum of its extents.
    VoxelHit previous = NoHit;
    for (;;) {
        if (ix > maxX || ix < 0 || iy > maxY || iy < 0 || iz > maxZ || iz < 0)
            return NoHit;
        if (map.At(ix, iy, iz) != 0) {
            if (before != nullptr)
                *before = previous;
            return {ix, iy, iz};
        }
        previous = {ix, iy, iz};
        // Ties go to the later axis: strict comparisons only.
        if (ax.tMax < ay.tMax && ax.tMax < az.tMax)
            Advance(ax, ix);
        else if (!(ax.tMax < ay.tMax) && ay.tMax < az.tMax)
            Advance(ay, iy);
        else
            Advance(az, iz);
    }
}
