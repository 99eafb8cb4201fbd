// FreeLookController: relative mouse motion turns the camera, W/A/S/D move
// it horizontally along the heading. Flying (the default), space lifts it
// and Shift lowers it; walking, a body falls, collides and jumps on space.
#pragma once

#include "demo/PassInput.h"
#include "world/WalkingBody.h"

class Camera;
class Map;

class FreeLookController {
public:
    Camera* camera; // not owned
    float position[3];
    float yaw;   // accumulated, never wrapped
    float pitch; // accumulated, never clamped
    bool walking = false;
    WalkingBody body; // walking: the body whose eyes the camera is

    FreeLookController(Camera* camera, const float position[3], float yaw, float pitch);

    // One step of one pass's input (mouse counts and movement keys): moves
    // and turns the camera and updates its frustum. Walking needs the map.
    void Update(float step, const PassInput& input, const Map* map = nullptr);

    // Starts walking where the camera is (the body lifted straight up out of
    // anything it overlaps) or flying from there.
    void SetWalking(bool walk, const Map& map);

private:
    // Puts the camera at the body's eyes.
    void PlaceEyes();
};
