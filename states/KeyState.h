// keyState: SDL's keyboard-state array, one byte per SDLKey, non-zero while down.
#pragma once
#include <SDL/SDL.h>

extern Uint8* keyState;
