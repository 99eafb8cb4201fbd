// PassSource: where play's input comes from, pass by pass: the player
// (LivePassSource) or a demo being replayed (DemoReplay). PassObserver:
// what watches the passes as they are played (DemoRecorder). The play state
// asks its source and tells its observer, and never needs to know which.
#pragma once
#include <cstdint>
#include <string>

#include "demo/PassInput.h"
#include "world/PlayerPose.h"

class Map;

// What the play state does with this pass.
enum class PassStep {
    Play, // play the input given
    Hold, // nothing to play now: keep showing the last picture
    Stop, // end the run
};

class PassSource {
public:
    virtual ~PassSource() = default;

    // The seed to build the world from.
    virtual unsigned SeedForWorld() = 0;
    // The world is built, in a window of this size. False, with the reason,
    // when play cannot go on in it.
    virtual bool WorldBuilt(const Map& map, int width, int height, std::string& reason) = 0;
    // Where play starts when the source decides it (a demo recorded from
    // that pose): true with the pose; false leaves it to the world or the
    // usual start.
    virtual bool StartPose(PlayerPose& pose) = 0;
    // Called before the pass's events are drained: what is only seen then
    // (the live mouse button) goes into `input`.
    virtual void BeforeEvents(PassInput& input) = 0;
    // The presses the pass's events held (the buttons, the number keys,
    // the wheel, F, H), as PassInput fields: the player's source takes them
    // into `input`; a replay ignores them.
    virtual void PressesSeen(const PassInput& presses, PassInput& input) = 0;
    // This pass's input, completing what BeforeEvents gathered.
    virtual PassStep Next(PassInput& input) = 0;
    // The pass's picture is drawn; `played` when the pass played input
    // (not when it held). Stop ends the run.
    virtual PassStep PassDrawn(bool played) = 0;
    // Play has ended with this terrain.
    virtual void PlayEnded(const Map& map) = 0;
};

class PassObserver {
public:
    virtual ~PassObserver() = default;

    // The world was built from `seed`, in a window of this size, and play
    // starts from `start`.
    virtual void WorldBuilt(unsigned seed, const Map& map, int width, int height, const PlayerPose& start) = 0;
    // A pass played this input.
    virtual void PassPlayed(const PassInput& input) = 0;
    // Play has ended with this terrain.
    virtual void PlayEnded(const Map& map) = 0;
};
