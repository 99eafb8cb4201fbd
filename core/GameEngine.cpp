// GameEngine: window set-up and the state stack.
#include "core/GameEngine.h"

#include "core/Fatal.h"
#include "core/GameState.h"

#include <iostream>
#include <string>

std::vector<std::pair<SDL_GLattr, int>> GlAttributesFor(int bitsPerPixel, const Settings& s)
{
    const int channel = bitsPerPixel / 4;
    std::vector<std::pair<SDL_GLattr, int>> attributes = {
        {SDL_GL_RED_SIZE, channel},   {SDL_GL_GREEN_SIZE, channel}, {SDL_GL_BLUE_SIZE, channel},
        {SDL_GL_ALPHA_SIZE, channel}, {SDL_GL_DEPTH_SIZE, 16},      {SDL_GL_DOUBLEBUFFER, 1},
    };
    if (s.vsync)
        attributes.push_back({SDL_GL_SWAP_CONTROL, 1});
    if (s.antialiasing != 0) {
        attributes.push_back({SDL_GL_MULTISAMPLEBUFFERS, 1});
        attributes.push_back({SDL_GL_MULTISAMPLESAMPLES, s.antialiasing});
    }
    return attributes;
}

void GameEngine::Init()
{
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0)
        FatalExit(1, std::string("cannot initialise SDL: ") + SDL_GetError());
    SDL_WM_SetCaption("Veldmarrow", "Veldmarrow");

    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr) {
        const std::string reason = std::string("no video information: ") + SDL_GetError();
        SDL_Quit();
        FatalExit(2, reason);
    }
    const int bitsPerPixel = info->vfmt->BitsPerPixel;
    const Settings s = settings;

    Uint32 flags = SDL_OPENGL;
    if (s.fullscreen)
        flags |= SDL_FULLSCREEN;
    for (const auto& attribute : GlAttributesFor(bitsPerPixel, s))
        SDL_GL_SetAttribute(attribute.first, attribute.second);

    screen = SDL_SetVideoMode(s.screenWidth, s.screenHeight, bitsPerPixel, flags);
    if (screen == nullptr) {
        const std::string reason = "cannot set the video mode " + std::to_string(s.screenWidth) + "x" +
                                   std::to_string(s.screenHeight) + " at " + std::to_string(bitsPerPixel) +
                                   " bits with OpenGL (antialiasing " + std::to_string(s.antialiasing) +
                                   "): " + SDL_GetError();
        SDL_Quit();
        FatalExit(3, reason);
    }
    fullscreen = s.fullscreen;
    running = true;
    std::cout << "GameEngine Init" << std::endl;
}

void GameEngine::Cleanup()
{
    while (!states.empty()) {
        states.back()->Cleanup();
        states.pop_back();
    }
    if (fullscreen)
        screen = SDL_SetVideoMode(640, 480, 0, 0);
    std::cout << "GameEngine Cleanup" << std::endl;
    SDL_Quit();
}

void GameEngine::ChangeState(GameState* state)
{
    if (!states.empty()) {
        states.back()->Cleanup();
        states.pop_back();
    }
    states.push_back(state);
    states.back()->Init();
}
