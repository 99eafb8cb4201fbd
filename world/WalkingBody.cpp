// WalkingBody: box against voxels, one axis at a time, in short steps.
#include "world/WalkingBody.h"

#include <cmath>

#include "world/Map.h"

namespace {

// Moves are taken in steps no longer than this, so no step can pass a voxel.
constexpr float LongestStep = 0.25f;
// How far from a face the body stops: a clear gap at every float precision
// the map's coordinates (below 512) need.
constexpr float Gap = 1.0f / 512;

bool SolidCell(const Map& map, int x, int y, int z)
{
    if (x < 0 || y < 0 || x >= map.width || y >= map.depth || z < 0)
        return true;
    return z < map.height && map.At(x, y, z) != 0;
}

// The box's extent from the feet along axis a: below and above.
float Low(int a) { return a == 2 ? 0.0f : -BodyHalfWidth; }
float High(int a) { return a == 2 ? BodyHeight : BodyHalfWidth; }

// Moves the feet along axis a by `distance`; true when something stopped it.
bool MoveAxis(const Map& map, float feet[3], int a, float distance)
{
    while (distance != 0) {
        const float step = std::fabs(distance) > LongestStep ? std::copysign(LongestStep, distance) : distance;
        float trial[3] = {feet[0], feet[1], feet[2]};
        trial[a] += step;
        if (!BodyBlocked(map, trial)) {
            feet[a] = trial[a];
            distance -= step;
            continue;
        }
        // Stopped at the face of the layer of cells the step would enter
        // (a step enters at most one), never moving back.
        if (step > 0) {
            const float face = std::floor(trial[a] + High(a));
            feet[a] = std::fmax(feet[a], face - High(a) - Gap);
        } else {
            const float face = std::floor(trial[a] + Low(a)) + 1;
            feet[a] = std::fmin(feet[a], face - Low(a) + Gap);
        }
        return true;
    }
    return false;
}

} // namespace

bool BodyBlocked(const Map& map, const float feet[3])
{
    int lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = static_cast<int>(std::floor(feet[a] + Low(a)));
        hi[a] = static_cast<int>(std::floor(feet[a] + High(a)));
    }
    for (int z = lo[2]; z <= hi[2]; ++z)
        for (int y = lo[1]; y <= hi[1]; ++y)
            for (int x = lo[0]; x <= hi[0]; ++x)
                if (SolidCell(map, x, y, z))
                    return true;
    return false;
}

void LiftClear(WalkingBody& body, const Map& map)
{
    const float most[2] = {static_cast<float>(map.width), static_cast<float>(map.depth)};
    for (int a = 0; a < 2; ++a)
        body.feet[a] = std::fmin(std::fmax(body.feet[a], BodyHalfWidth + Gap), most[a] - BodyHalfWidth - Gap);
    body.feet[2] = std::fmax(body.feet[2], Gap);
    // The nearest free place straight up: on top of the next voxel, and so on
    // (above the map everything is air).
    while (BodyBlocked(map, body.feet) && body.feet[2] < map.height)
        body.feet[2] = std::floor(body.feet[2]) + 1 + Gap;
    body.upSpeed = 0;
    body.standing = false;
}

void StepBody(WalkingBody& body, const Map& map, float dx, float dy, bool jump)
{
    if (jump && body.standing)
        body.upSpeed = JumpSpeed;
    body.upSpeed = std::fmax(body.upSpeed - BodyGravity, -FastestFall);
    MoveAxis(map, body.feet, 0, dx);
    MoveAxis(map, body.feet, 1, dy);
    const bool stopped = MoveAxis(map, body.feet, 2, body.upSpeed);
    body.standing = stopped && body.upSpeed < 0;
    if (stopped)
        body.upSpeed = 0;
}
