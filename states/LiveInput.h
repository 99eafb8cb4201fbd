// LiveInput: the player's input of this pass, read from SDL, and the pass
// source of normal play.
#pragma once

#include <SDL/SDL.h>

#include "demo/PassSource.h"

// This pass's mouse motion (what accumulated since the previous call) and
// movement keys (Shift among them), read from SDL. Leaves `dig` and the
// presses alone.
void ReadLiveInput(PassInput& input);

// Adds what one event presses to `presses`: the right and middle buttons,
// Ctrl with the left button, the wheel, 1 to 9, F and H. `held` remembers F
// and H while they are down, so that their key repeats press nothing.
void ReadLivePress(const SDL_Event& event, unsigned& held, PassInput& presses);

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
