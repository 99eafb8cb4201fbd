// PlayState: the world in play. Samples the mouse and drains events, ticks
// the timer, moves the camera, picks the voxel in view, digs when asked,
// draws the terrain and outlines the picked voxel.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "core/GameState.h"
#include "demo/PassInput.h"
#include "demo/PassSource.h"
#include "render/Bodies.h"
#include "states/PlayPass.h"
#include "world/PickVoxel.h"

class WorldFile;
class Client;
class Map;
class Camera;
class FreeLookController;
class MapRenderer;

// What play is wired to for one run, handed to the play state by main.
struct PlaySetup {
    // Where each pass's input comes from: the player, unless a demo is replayed.
    PassSource* source;
    // Told of every pass played (a recording); null when nothing watches.
    PassObserver* observer = nullptr;
    // Set when play is in a kept world: the terrain is built from its seed
    // and its saved chunks. Null otherwise.
    WorldFile* world = nullptr;
    // Set when play is joined to a server: the world comes from it (when
    // play begins), edits go to it and come back from it, and the other
    // players are drawn. Null otherwise.
    Client* network = nullptr;

    // The player's own input, nothing watching, no kept world.
    PlaySetup();
};

class PlayState : public GameState {
public:
    // The pending dig, the slot row, the overlay.
    PlayProgress progress;
    VoxelHit hit = {0, 0, 0};
    Map* map = nullptr;
    Camera* camera = nullptr;
    FreeLookController* controller = nullptr;
    MapRenderer* renderer = nullptr;
    // The input this pass consumes, gathered by HandleEvents and Update.
    PassInput passInput;
    // This pass played input (rather than holding the last picture).
    bool passPlayed = false;
    // Digs are being refused for want of memory (said once until one goes ahead).
    bool digsRefused = false;

    // Wires play for the run: before the engine starts, and with a default
    // PlaySetup once it has stopped. Play reads nothing else from outside.
    void Prepare(const PlaySetup& wiring) { setup = wiring; }

    void Init() override;
    void Cleanup() override;
    void Pause() override;
    void Resume() override;
    void HandleEvents(GameEngine* game) override;
    void Update(GameEngine* game) override;
    void Draw(GameEngine* game) override;

private:
    PlaySetup setup;
    // F and H held down: their repeats are not presses.
    unsigned heldToggles = 0;
    // Joining the server again after the connection was lost.
    bool rejoining = false;

    // Whether memory holds the lists a dig at `at` rebuilds; says so when not.
    bool RoomToDig(const VoxelHit& at);
    // Play's gate for each edit: made here, refused for want of memory, or
    // sent to the server.
    bool MayEdit(const VoxelEdit& edit);
    // Joins the server: the world's seed, or the run ends with the reason.
    unsigned JoinServer();
    // Once a pass when joined: the pose out, the server's edits in; false
    // when the session has ended (said, and the run's status set).
    bool PumpServer(GameEngine* game);
};

extern PlayState playState;

// The twelve edges of the selection box as pairs of corner numbers.
extern const std::uint8_t SelectionEdges[24];

// The eight corners of the box drawn 0.01 outside voxel `hit`.
void SelectionCorners(const VoxelHit& hit, float corners[8][3]);

// The OpenGL state play draws with (viewport, clear values, depth test,
// back-face culling, colour material, multisampling when the settings ask).
void SetPlayDrawingState(int width, int height);

// One frame of play as the play state and the benchmarks draw it: clears,
// draws the terrain (rebuilding what was dug or built), outlines `hit` when
// it is a voxel (x >= 0), draws the crosshair and `slots` over it when
// given, and swaps the buffers.
// `bodies`, when given, are other players, drawn after the outline.
void DrawPlayFrame(MapRenderer& renderer, const Camera& camera, const VoxelHit& hit, const SlotRow* slots = nullptr,
                   const std::vector<BodyBox>* bodies = nullptr);
