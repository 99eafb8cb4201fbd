// LiveInput: the player's input of this pass, read from SDL, and the pass
// source of normal play.
#pragma once

#include "demo/PassSource.h"

// This pass's mouse motion (what accumulated since the previous call) and
// movement keys, read from SDL. Leaves `dig` alone.
void ReadLiveInput(PassInput& input);

// Play as the player plays it: a new world every run (or VELDMARROW_SEED's),
// the mouse button seen while events are handled, motion and keys read
// when the pass is played, and no end but the player's.
class LivePassSource : public PassSource {
public:
    unsigned SeedForWorld() override;
    bool WorldBuilt(const Map& map, int width, int height, std::string& reason) override;
    bool StartPose(PlayerPose& pose) override;
    void BeforeEvents(PassInput& input) override;
    void PressesSeen(const PassInput& presses, PassInput& input) override;
    PassStep Next(PassInput& input) override;
    PassStep PassDrawn(bool played) override;
    void PlayEnded(const Map& map) override;
};

extern LivePassSource livePassSource;
