// Reading a pass's mouse motion and movement keys from SDL.
#include "states/LiveInput.h"

#include <SDL/SDL.h>

#include "states/KeyState.h"

void ReadLiveInput(PassInput& input)
{
    int dx = 0, dy = 0;
    SDL_GetRelativeMouseState(&dx, &dy);
    input.dx = dx;
    input.dy = dy;
    // Tested in the controller's order: D, A, W, S, space.
    const std::uint8_t keys = (keyState[SDLK_d] ? MoveRight : 0) | (keyState[SDLK_a] ? MoveLeft : 0) |
                              (keyState[SDLK_w] ? MoveForward : 0) | (keyState[SDLK_s] ? MoveBack : 0) |
                              (keyState[SDLK_SPACE] ? MoveUp : 0);
    input.keys = keys;
}
