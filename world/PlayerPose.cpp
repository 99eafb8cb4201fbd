// PlayerPose: the checks of a stored pose.
#include "world/PlayerPose.h"

#include <cmath>

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

bool operator==(const PlayerPose& a, const PlayerPose& b)
{
    return a.position[0] == b.position[0] && a.position[1] == b.position[1] && a.position[2] == b.position[2] &&
           a.yaw == b.yaw && a.pitch == b.pitch && a.walking == b.walking && a.slot == b.slot && a.hud == b.hud;
}
