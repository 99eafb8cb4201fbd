// LiveInput: the player's input of this pass, read from SDL.
#pragma once

#include "states/PassInput.h"

// This pass's mouse motion (what accumulated since the previous call) and
// movement keys, read from SDL. Leaves `dig` alone.
void ReadLiveInput(PassInput& input);
