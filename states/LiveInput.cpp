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
    if (keyState[SDLK_LSHIFT] || keyState[SDLK_RSHIFT])
        input.actions |= MoveDown;
}

namespace {
bool CtrlHeld() { return (SDL_GetModState() & KMOD_CTRL) != 0; }
// The held bits of F and H.
const unsigned HeldF = 1, HeldH = 2;
} // namespace

void ReadLivePress(const SDL_Event& event, unsigned& held, PassInput& presses)
{
    if (event.type == SDL_MOUSEBUTTONDOWN) {
        switch (event.button.button) {
        case SDL_BUTTON_LEFT:
            if (CtrlHeld())
                presses.actions |= RemoveVoxel;
            break;
        case SDL_BUTTON_RIGHT: presses.actions |= PlaceVoxel; break;
        case SDL_BUTTON_MIDDLE: presses.actions |= PickType; break;
        // Down the wheel is on along the row, as in a list.
        case SDL_BUTTON_WHEELUP: presses.wheel = static_cast<std::int8_t>(std::max(-9, presses.wheel - 1)); break;
        case SDL_BUTTON_WHEELDOWN: presses.wheel = static_cast<std::int8_t>(std::min(9, presses.wheel + 1)); break;
        default: break;
        }
        return;
    }
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP)
        return;
    const SDLKey key = event.key.keysym.sym;
    const unsigned bit = key == SDLK_f ? HeldF : key == SDLK_h ? HeldH : 0;
    if (event.type == SDL_KEYUP) {
        held &= ~bit;
        return;
    }
    if (key >= SDLK_1 && key <= SDLK_9) {
        presses.slot = static_cast<std::uint8_t>(key - SDLK_1 + 1);
        presses.wheel = 0; // the wheel counts after the number key
    }
    if (bit != 0 && !(held & bit)) {
        held |= bit;
        presses.actions |= bit == HeldF ? ToggleWalk : ToggleHud;
    }
}

unsigned LivePassSource::SeedForWorld() { return WorldSeed(); }

bool LivePassSource::WorldBuilt(const Map&, int, int, std::string&) { return true; }

bool LivePassSource::StartPose(PlayerPose&) { return false; }

void LivePassSource::BeforeEvents(PassInput& input)
{
    // Ctrl turns the left button into removing one voxel, a press at a time.
    if ((SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) && !CtrlHeld())
        input.dig = true; // PlayPass makes it a pending dig
}

void LivePassSource::PressesSeen(const PassInput& presses, PassInput& input)
{
    input.actions |= presses.actions;
    int wheel = input.wheel + presses.wheel;
    if (presses.slot != 0) {
        input.slot = presses.slot;
        wheel = presses.wheel; // the wheel's steps count from the number key
    }
    input.wheel = static_cast<std::int8_t>(std::max(-9, std::min(9, wheel)));
}

PassStep LivePassSource::Next(PassInput& input)
{
    ReadLiveInput(input);
    return PassStep::Play;
}

PassStep LivePassSource::PassDrawn(bool) { return PassStep::Play; }

void LivePassSource::PlayEnded(const Map&) {}
