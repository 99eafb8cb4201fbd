// FreeLookController: relative mouse motion turns the camera, W/A/S/D move
// it horizontally along the heading, space lifts it.
#pragma once

#include "demo/PassInput.h"

class Camera;

class FreeLookController {
public:
    Camera* camera; // not owned
    float position[3];
    float yaw;   // accumulated, never wrapped
    float pitch; // accumulated, never clamped

    FreeLookController(Camera* camera, const float position[3], float yaw, float pitch);

    // One step of one pass's input (mouse counts and movement keys): moves
    // and turns the camera and updates its frustum.
    void Update(float step, const PassInput& input);
};
