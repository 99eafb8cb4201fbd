// Reading a pass's input from SDL.
#include "states/LiveInput.h"

#include <SDL/SDL.h>

#include <algorithm>

#include "states/KeyState.h"
#include "world/BasicMapGenerator.h"

LivePassSource livePassSource;

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

unsigned LivePassSource::SeedForWorld() { return WorldSeed(); }

bool LivePassSource::WorldBuilt(const Map&, int, int, std::string&) { return true; }

bool LivePassSource::StartPose(PlayerPose&) { return false; }

void LivePassSource::BeforeEvents(PassInput& input)
{
    if (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK)
        input.dig = true; // PlayPass makes it a pending dig
}

void LivePassSource::PressesSeen(const PassInput& presses, PassInput& input)
{
    input.actions |= presses.actions;
    if (presses.slot != 0)
        input.slot = presses.slot;
    input.wheel = static_cast<std::int8_t>(std::max(-9, std::min(9, input.wheel + presses.wheel)));
}

PassStep LivePassSource::Next(PassInput& input)
{
    ReadLiveInput(input);
    return PassStep::Play;
}

PassStep LivePassSource::PassDrawn(bool) { return PassStep::Play; }

void LivePassSource::PlayEnded(const Map&) {}
