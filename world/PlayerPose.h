// PlayerPose: where the player stands and what they hold, as a kept world
// and a demo store it: the camera's position and view, flying or walking,
// the selected slot, and whether the crosshair and slot row show. Pure.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct PlayerPose {
    float position[3] = {256, 256, 128}; // the camera (the eyes when walking)
    float yaw = 0;                       // degrees, 0 to 360, as the camera holds it
    float pitch = 0;                     // degrees, -90 to 90
    bool walking = false;                // flying otherwise
    std::uint8_t slot = 1;               // the selected slot, 1 to 9
    bool hud = false;                    // the crosshair and slot row are showing
};

// Where play starts in a world that keeps no pose: the map's centre, 128
// voxels up, looking along +x, flying, slot 1, nothing drawn over the terrain.
inline PlayerPose StartPose() { return PlayerPose(); }

// False, with the reason, for a pose no play could have left: a position
// not finite or beyond a million voxels, a view outside its range, a slot
// outside 1 to 9.
bool PoseValid(const PlayerPose& pose, std::string& reason);

// True for a name a player may use on a server: 1 to 32 bytes of valid,
// printable UTF-8 (no control characters, quotes or backslashes), not
// beginning or ending with a space.
bool PlayerNameAllowed(const std::string& name);
constexpr std::size_t MostNameBytes = 32;
// The most names a served world keeps a pose for.
constexpr std::size_t MostNamedPlayers = 100000;

class ByteReader;
class ByteWriter;
// The pose as demos and the network carry it: position, yaw and pitch as
// float32, then the walking, slot and overlay bytes (PoseBytes in all).
constexpr std::size_t PoseBytes = 3 * 4 + 4 + 4 + 1 + 1 + 1;
void WritePose(ByteWriter& out, const PlayerPose& pose);
// Reads PoseBytes into `pose`; false, with the reason, when they run out,
// a walking or overlay byte is not 0 or 1, or the pose is not PoseValid.
bool ReadPose(ByteReader& in, PlayerPose& pose, std::string& reason);

bool operator==(const PlayerPose& a, const PlayerPose& b);
inline bool operator!=(const PlayerPose& a, const PlayerPose& b) { return !(a == b); }
