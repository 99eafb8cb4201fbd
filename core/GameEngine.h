// GameEngine: the window with its OpenGL context, the state stack and the
// running flag of the main loop.
#pragma once
#include <SDL/SDL.h>

#include <utility>
#include <vector>

#include "core/VideoRequest.h"

class GameState;

// The OpenGL attributes requested for a desktop depth and settings, in the
// order they are set. `vsyncOff` asks the driver outright not to wait for
// the display (rather than leaving its default), whatever `s.vsync` says.
std::vector<std::pair<SDL_GLattr, int>> GlAttributesFor(int bitsPerPixel, const VideoRequest& s, bool vsyncOff = false);

// Width and height in pixels of the open video mode: the surface that
// SDL_SetVideoMode returned. The SDL2-based SDL 1.2 reports the desktop's
// size in SDL_GetVideoInfo, so the video information is only the fallback
// when no mode is open (and 0 x 0 when there is none either).
struct VideoSize {
    int w, h;
};
VideoSize CurrentVideoSize();

// The window's close request: SDL_QUIT (the close button, or Alt+F4 where
// the desktop handles it), or Alt+F4 itself where the program must (Windows).
bool IsCloseRequest(const SDL_Event& event);

class GameEngine {
public:
    SDL_Surface* screen = nullptr;
    std::vector<GameState*> states;
    bool running = false;
    bool fullscreen = false;
    // Set before Init to draw as fast as possible, without vertical sync.
    bool vsyncOff = false;

    // Opens the window as `video` asks (the live settings) and sets running.
    // Ends the process with status 1, 2 or 3 (and a reason in error.txt) on failure.
    void Init(const VideoRequest& video);
    // Cleans up every state from the top down, leaves full screen, shuts SDL down.
    void Cleanup();
    // Cleans up the current state (if any), then pushes and initialises `state`.
    void ChangeState(GameState* state);
    bool Running() const { return running; }
    void Quit() { running = false; }
};
