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

void FreeLookController::Update(float step, const PassInput& input)
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
    if (keys & MoveUp)
        dZ = k;
    const float d[3] = {static_cast<float>(dX), static_cast<float>(dY), static_cast<float>(dZ)};

    for (int i = 0; i < 3; ++i)
        position[i] += d[i];
    camera->yaw = yaw > 360 ? yaw - 360 : yaw < 0 ? yaw + 360 : yaw;
    camera->pitch = pitch > 90 ? 90 : pitch < -90 ? -90 : pitch;
    for (int i = 0; i < 3; ++i)
        camera->position[i] += d[i];
    camera->UpdateFrustum();
}
