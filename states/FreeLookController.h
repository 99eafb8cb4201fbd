// FreeLookController: relative mouse motion turns the camera, W/A/S/D move
// it horizontally along the heading, space lifts it.
#pragma once
#include <cstdint>

class Camera;

class FreeLookController {
public:
    Camera* camera; // not owned
    float position[3];
    float yaw;   // accumulated, never wrapped
    float pitch; // accumulated, never clamped

    FreeLookController(Camera* camera, const float position[3], float yaw, float pitch);

    // One step of input read from SDL (relative mouse motion and keyState).
    void Update(float step);
    // One step of the given input: mouse counts and a key-state array indexed
    // by SDL key code. Moves and turns the camera and updates its frustum.
    void Update(float step, int dx, int dy, const std::uint8_t* keys);
};
