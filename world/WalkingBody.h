// WalkingBody: the walking player's body against the terrain. A box
// 0.6 x 0.6 x 1.8 voxels whose eyes are 1.6 above its feet, pulled down by
// gravity, stopped by every solid voxel, by the map's four side edges and
// by its floor (below z = 0 is solid; above the map is air). Moves are
// resolved one axis at a time, so the body slides along what it walks into
// and never ends inside a voxel. Speeds are per pass, as the flight's are,
// so that replays stay exact. Pure: no SDL, no OpenGL.
#pragma once

class Map;

constexpr float BodyHalfWidth = 0.3f;
constexpr float BodyHeight = 1.8f;
constexpr float EyeHeight = 1.6f;
// Per pass: what gravity takes from the upward speed, the speed a jump
// starts with (about 1.5 voxels high: one voxel cleared, not two), and the
// fastest fall (under one voxel, and moves are taken in smaller steps still).
constexpr float BodyGravity = 0.008f;
constexpr float JumpSpeed = 0.16f;
constexpr float FastestFall = 0.9f;

struct WalkingBody {
    float feet[3] = {0, 0, 0}; // the centre of the box's bottom face
    float upSpeed = 0;          // voxels per pass, up positive
    bool standing = false;      // the last pass ended on something solid
};

// True when the box with its feet at `feet` overlaps a solid voxel, a side
// edge of the map or its floor.
bool BodyBlocked(const Map& map, const float feet[3]);

// Puts the body inside the map's side edges and lifts it straight up to the
// nearest place where it overlaps nothing (walking begun where flying had
// taken the camera into the terrain). Its speed is cleared.
void LiftClear(WalkingBody& body, const Map& map);

// One pass: moves the feet by (dx, dy) along the ground, jumps when `jump`
// and standing, applies gravity, and resolves x, then y, then z.
void StepBody(WalkingBody& body, const Map& map, float dx, float dy, bool jump);
