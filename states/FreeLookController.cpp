// FreeLookController: input to camera pose.
#include "states/FreeLookController.h"

#include <cmath>

#include "render/Camera.h"

namespace {
const double Gain = 5.0;
const float DegreesToRadians = 0.017453292f;
// SDL 1.2 key codes.
const int KeyD = 100, KeyA = 97, KeyW = 119, KeyS = 115, KeySpace = 32;
} // namespace

FreeLookController::FreeLookController(Camera* camera, const float start[3], float yaw, float pitch)
    : camera(camera), position{start[0], start[1], start[2]}, yaw(yaw), pitch(pitch)
{
}

void FreeLookController::Update(float step, int dx, int dy, const std::uint8_t* keys)
{
    const double k = step * Gain;
    yaw = static_cast<float>(yaw - k * dx);
    pitch = static_cast<float>(pitch - k * dy);

    const float a = (yaw + 90) * DegreesToRadians;
    const float sinA = std::sin(a), cosA = std::cos(a);
    double dX = 0, dY = 0, dZ = 0;
    if (keys[KeyD]) {
        dX += k * sinA;
        dY -= k * cosA;
    }
    if (keys[KeyA]) {
        dX -= k * sinA;
        dY += k * cosA;
    }
    if (keys[KeyW]) {
        dX += k * cosA;
        dY += k * sinA;
    }
    if (keys[KeyS]) {
        dX -= k * cosA;
        dY -= k * sinA;
    }
    if (keys[KeySpace])
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
