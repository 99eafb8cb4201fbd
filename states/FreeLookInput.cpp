// FreeLookController: reading this pass's input from SDL.
#include <SDL/SDL.h>

#include "states/FreeLookController.h"
#include "states/KeyState.h"

void FreeLookController::Update(float step)
{
    int dx = 0, dy = 0;
    SDL_GetRelativeMouseState(&dx, &dy);
    Update(step, dx, dy, keyState);
}
