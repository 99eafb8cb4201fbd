// PlayPass: input to the camera, the pick, digging and building.
#include "states/PlayPass.h"

#include "core/FaultHandler.h"
#include "render/Camera.h"
#include "states/FreeLookController.h"
#include "world/Map.h"

const float PlayStartPosition[3] = {256, 256, 128};

namespace {
const float InputStep = 0.015f;

VoxelHit Pick(const Camera& camera, const Map& map, VoxelHit* front)
{
    return PickVoxel(camera.position, camera.direction, map.width - 1, map.depth - 1, map.height - 1, map, front);
}

void TakeControls(const PassInput& input, FreeLookController& controller, PlayProgress& progress, const Map& map)
{
    if (input.actions & ToggleWalk)
        controller.SetWalking(!controller.walking, map);
    if (input.slot != 0)
        progress.slots.Select(input.slot);
    if (input.wheel != 0)
        progress.slots.Step(input.wheel);
    if (input.actions & ToggleHud)
        progress.hud = !progress.hud;
    else if (UsesNewControl(input) && !progress.shown)
        progress.hud = true;
    if (progress.hud)
        progress.shown = true;
}
VoxelEdit EditAt(EditKind kind, const VoxelHit& at, std::uint8_t type = 0)
{
    return {kind, static_cast<std::uint16_t>(at.x), static_cast<std::uint16_t>(at.y), static_cast<std::uint16_t>(at.z),
            type};
}

// Makes `edit` unless the gate keeps it; true when the map changed.
bool Make(Map& map, const VoxelEdit& edit, const EditGate& gate)
{
    return (!gate || gate(edit)) && ApplyEdit(map, edit);
}
} // namespace

bool DigIfRequested(bool& digRequested, const VoxelHit& hit, Map& map, const EditGate& mayDig)
{
    if (!digRequested || hit.x < 0)
        return false;
    digRequested = false;
    return Make(map, EditAt(EditKind::Dig, hit), mayDig);
}

VoxelHit PlayPass(FreeLookController& controller, Map& map, const PassInput& input, PlayProgress& progress,
                  const EditGate& mayChange)
{
    if (input.dig)
        progress.digRequested = true;
    TakeControls(input, controller, progress, map);
    controller.Update(InputStep, input, &map);
    const Camera& camera = *controller.camera;
    VoxelHit front;
    VoxelHit hit = Pick(camera, map, &front);
    bool built = false;
    {
        AllocationPurpose purpose("building");
        if ((input.actions & PickType) && hit.x >= 0)
            progress.slots.Take(map.At(hit.x, hit.y, hit.z));
        if ((input.actions & PlaceVoxel) && MayPlace(map, front, camera.position, controller.walking))
            built |= Make(map, EditAt(EditKind::Place, front, progress.slots.SelectedType()), mayChange);
        if ((input.actions & RemoveVoxel) && hit.x >= 0)
            built |= Make(map, EditAt(EditKind::Remove, hit), mayChange);
    }
    // The outline follows what was just built or removed, in the same frame.
    if (built)
        hit = Pick(camera, map, nullptr);
    AllocationPurpose purpose("digging");
    DigIfRequested(progress.digRequested, hit, map, mayChange);
    return hit;
}

PlayerPose CurrentPose(const FreeLookController& controller, const PlayProgress& progress)
{
    PlayerPose pose;
    for (int i = 0; i < 3; ++i)
        pose.position[i] = controller.camera->position[i];
    pose.yaw = controller.camera->yaw;
    pose.pitch = controller.camera->pitch;
    pose.walking = controller.walking;
    pose.slot = static_cast<std::uint8_t>(progress.slots.Selected());
    pose.hud = progress.hud;
    return pose;
}

void StartFrom(const PlayerPose& pose, FreeLookController& controller, PlayProgress& progress, const Map& map)
{
    Camera& camera = *controller.camera;
    for (int i = 0; i < 3; ++i) {
        camera.position[i] = pose.position[i];
        controller.position[i] = pose.position[i];
    }
    camera.yaw = controller.yaw = pose.yaw;
    camera.pitch = controller.pitch = pose.pitch;
    camera.UpdateFrustum();
    controller.walking = false;
    if (pose.walking)
        controller.SetWalking(true, map);
    progress = PlayProgress();
    progress.slots.Select(pose.slot);
    progress.hud = progress.shown = pose.hud;
}
