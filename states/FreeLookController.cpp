// FreeLookController: input to camera pose.
#include "states/FreeLookController.h"

#include <cmath>

#include "render/Camera.h"

namespace {
const double Gain = 5.0;
const float DegreesToRadians = 0.017453292f;
} // namespace

FreeLookController::FreeLookController(Camera* camera, const float start[3], float yaw, float pitch)
    : camera(camera), position{start[0], start[1], start[2]}, yaw(yaw), pitch(pitch)
{
}

void FreeLookController::SetWalking(bool walk, const Map& map)
{
    walking = walk;
    if (!walking)
        return;
    body = WalkingBody();
    body.feet[0] = camera->position[0];
    body.feet[1] = camera->position[1];
    body.feet[2] = camera->position[2] - EyeHeight;
    const float feet[3] = {body.feet[0], body.feet[1], body.feet[2]};
    LiftClear(body, map);
    // Left alone when the body was clear, so a resumed pose draws the same picture.
    if (feet[0] != body.feet[0] || feet[1] != body.feet[1] || feet[2] != body.feet[2])
        PlaceEyes();
    camera->UpdateFrustum();
}

void FreeLookController::PlaceEyes()
{
    const float eyes[3] = {body.feet[0], body.feet[1], body.feet[2] + EyeHeight};
    for (int i = 0; i < 3; ++i) {
        position[i] = eyes[i];
        camera->position[i] = eyes[i];
    }
}

void FreeLookController::Update(float step, const PassInput& input, const Map* map)
{
    const double k = step * Gain;
    const std::uint8_t keys = input.keys;
    yaw = static_cast<float>(yaw - k * input.dx);
    pitch = static_cast<float>(pitch - k * input.dy);

    const float a = (yaw + 90) * DegreesToRadians;
    const float sinA = std::sin(a), cosA = std::cos(a);
    double dX = 0, dY = 0, dZ = 0;
    if (keys & MoveRight) {
        dX += k * sinA;
        dY -= k * cosA;
    }
    if (keys & MoveLeft) {
        dX -= k * sinA;
        dY += k * cosA;
    }
    if (keys & MoveForward) {
        dX += k * cosA;
        dY += k * sinA;
    }
    if (keys & MoveBack) {
        dX -= k * cosA;
        dY -= k * sinA;
    }
    if (walking && map) {
        const float feetBefore[3] = {body.feet[0], body.feet[1], body.feet[2]};
        StepBody(body, *map, static_cast<float>(dX), static_cast<float>(dY), (keys & MoveUp) != 0);
        if (feetBefore[0] != body.feet[0] || feetBefore[1] != body.feet[1] || feetBefore[2] != body.feet[2])
            PlaceEyes();
        camera->yaw = yaw > 360 ? yaw - 360 : yaw < 0 ? yaw + 360 : yaw;
        camera->pitch = pitch > 90 ? 90 : pitch < -90 ? -90 : pitch;
        camera->UpdateFrustum();
        return;
    }
    if (keys & MoveUp)
        dZ = k;
    if (input.actions & MoveDown)
        dZ -= k;
    const float d[3] = {static_cast<float>(dX), static_cast<float>(dY), static_cast<float>(dZ)};

    for (int i = 0; i < 3; ++i)
        position[i] += d[i];
    camera->yaw = yaw > 360 ? yaw - 360 : yaw < 0 ? yaw + 360 : yaw;
    camera->pitch = pitch > 90 ? 90 : pitch < -90 ? -90 : pitch;
    for (int i = 0; i < 3; ++i)
        camera->position[i] += d[i];
    camera->UpdateFrustum();
}
