// PlayerPose: the checks of a stored pose, and its fields as bytes.
#include "world/PlayerPose.h"

#include <cmath>

#include "core/ByteFields.h"
#include "core/PrintableText.h"

namespace {
// Flying has no bounds, but no session flies this far (hours at full speed).
constexpr float FarthestPosition = 1.0e6f;
} // namespace

bool PoseValid(const PlayerPose& pose, std::string& reason)
{
    for (float c : pose.position)
        if (!(std::fabs(c) <= FarthestPosition)) {
            reason = "the player's position is not a place in or near the map";
            return false;
        }
    if (!(pose.yaw >= 0 && pose.yaw <= 360) || !(pose.pitch >= -90 && pose.pitch <= 90)) {
        reason = "the player's view is out of range";
        return false;
    }
    if (pose.slot < 1 || pose.slot > 9) {
        reason = "the player's slot " + std::to_string(pose.slot) + " is not 1 to 9";
        return false;
    }
    return true;
}

bool PlayerNameAllowed(const std::string& name)
{
    return !name.empty() && name.size() <= MostNameBytes && name.front() != ' ' && name.back() != ' ' &&
           PrintableText(name) == name;
}

void WritePose(ByteWriter& out, const PlayerPose& pose)
{
    for (const float c : pose.position)
        out.F32(c);
    out.F32(pose.yaw);
    out.F32(pose.pitch);
    out.U8(pose.walking ? 1 : 0);
    out.U8(pose.slot);
    out.U8(pose.hud ? 1 : 0);
}

bool ReadPose(ByteReader& in, PlayerPose& pose, std::string& reason)
{
    PlayerPose read;
    for (float& c : read.position)
        c = in.F32();
    read.yaw = in.F32();
    read.pitch = in.F32();
    const std::uint8_t walking = in.U8();
    read.slot = in.U8();
    const std::uint8_t hud = in.U8();
    if (!in.Ok()) {
        reason = "the pose is cut short";
        return false;
    }
    if (walking > 1 || hud > 1) {
        reason = "the pose's walking or crosshair byte is not 0 or 1";
        return false;
    }
    read.walking = walking == 1;
    read.hud = hud == 1;
    if (!PoseValid(read, reason))
        return false;
    pose = read;
    return true;
}

bool operator==(const PlayerPose& a, const PlayerPose& b)
{
    return a.position[0] == b.position[0] && a.position[1] == b.position[1] && a.position[2] == b.position[2] &&
           a.yaw == b.yaw && a.pitch == b.pitch && a.walking == b.walking && a.slot == b.slot && a.hud == b.hud;
}
