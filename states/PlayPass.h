// PlayPass: one pass of play's logic, as the play state and the benchmarks
// run it, without a window: the controls the pass holds, the camera's move,
// the voxel in view, and the digging and building it asks for.
#pragma once
#include <functional>

#include "demo/PassInput.h"
#include "world/Building.h"
#include "world/PickVoxel.h"
#include "world/PlayerPose.h"
#include "world/VoxelEdit.h"

class FreeLookController;
class Map;

// Where play starts: the camera's position, looking along +x.
extern const float PlayStartPosition[3];

// What play keeps from pass to pass besides the camera.
struct PlayProgress {
    bool digRequested = false; // the left button was seen: dig at the next hit
    SlotRow slots;
    bool hud = false;   // the crosshair and slot row show
    bool shown = false; // they have appeared in this session (a new control, or a resumed world)
};

// Asked before each dig, placement or removal: true makes it here and now;
// false leaves it (refused for want of memory, or sent to a server, which
// makes it and sends it back).
using EditGate = std::function<bool(const VoxelEdit&)>;

// One pass: a dig in `input` becomes pending; F switches walking, the number
// keys and the wheel the slot, H the overlay (which any new control shows
// the first time); the controller turns and moves the camera; the voxel in
// view is picked; the middle button takes its type, the right button places
// the slot's type in front of it, Ctrl with the left button removes it, and
// a pending dig carves there. Returns the pick after the pass's changes.
VoxelHit PlayPass(FreeLookController& controller, Map& map, const PassInput& input, PlayProgress& progress,
                  const EditGate& mayChange = nullptr);

// Carves a sphere of radius 4 at `hit` when a dig is pending and something
// was hit (and `mayDig`, when given, allows it), clearing the request; a
// request without a hit stays pending. Returns true when it carved.
bool DigIfRequested(bool& digRequested, const VoxelHit& hit, Map& map, const EditGate& mayDig = nullptr);


// The pose play is in, as a world keeps it.
PlayerPose CurrentPose(const FreeLookController& controller, const PlayProgress& progress);
// Puts play at `pose`: the camera, walking or flying, the slot, the overlay.
void StartFrom(const PlayerPose& pose, FreeLookController& controller, PlayProgress& progress, const Map& map);
