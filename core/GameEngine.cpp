// GameEngine: window set-up and the state stack.
#include "core/GameEngine.h"

#include "core/ExitStatus.h"
#include "core/FaultHandler.h"
#include "core/Fatal.h"
#include "core/GameState.h"
#include "platform/Console.h"
#include "platform/FaultSignals.h"
#include "platform/Desktop.h"

#include <GL/gl.h>

#include <cstdlib>
#include <iostream>
#include <string>

#ifndef GL_SAMPLE_BUFFERS
#define GL_SAMPLE_BUFFERS 0x80A8
#define GL_SAMPLES 0x80A9
#endif

namespace {

void LeaveFullScreen()
{
    SDL_SetVideoMode(640, 480, 0, 0);
}

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Defaults for SDL's own environment switches, so that both SDL 1.2s (the
// classic library and the SDL2-based one) behave alike. A switch the user
// set is left alone. Returns true when the X11 driver was chosen because
// there is no display at all.
bool ChooseVideoDefaults(const VideoRequest& s)
{
    // The classic library puts the window at the desktop's top-left corner,
    // the SDL2-based one centres it: centre it on both. A window larger than
    // the work area (1024 x 768 on a 768-pixel-high laptop screen) would lose
    // its title bar above the screen: it goes where the title bar shows.
    if (!IsSet("SDL_VIDEO_CENTERED") && !IsSet("SDL_VIDEO_WINDOW_POS")) {
        int x = 0, y = 0;
        if (!s.fullscreen && WindowPositionThatFits(s.screenWidth, s.screenHeight, x, y)) {
            SetProcessEnvironment("SDL_VIDEO_WINDOW_POS", (std::to_string(x) + "," + std::to_string(y)).c_str());
            std::cout << "The window is larger than the screen's work area: its drawing area goes at " << x << ","
                      << y << ", title bar on screen" << std::endl;
        } else {
            SetProcessEnvironment("SDL_VIDEO_CENTERED", "1");
        }
    }
    // With no display SDL would fall back to a driver that cannot show this
    // program: a text-mode one that writes escape codes to the terminal
    // (classic) or an invisible off-screen one (SDL2-based). Asking for X11
    // makes SDL_Init fail instead, with a reason. Where no display variable
    // exists (Windows) the desktop is always there.
    if (DisplayVariableMatters() && !IsSet("SDL_VIDEODRIVER") && !IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
        SetProcessEnvironment("SDL_VIDEODRIVER", "x11");
        return true;
    }
    return false;
}

// The multisampling the new OpenGL context really has. The SDL2-based
// library answers SDL_GL_GetAttribute with what was asked for, so ask OpenGL.
int ObtainedSamples()
{
    GLint buffers = 0, samples = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &buffers);
    glGetIntegerv(GL_SAMPLES, &samples);
    return buffers > 0 ? samples : 0;
}

} // namespace

VideoSize CurrentVideoSize()
{
    if (const SDL_Surface* surface = SDL_GetVideoSurface())
        return {surface->w, surface->h};
    if (const SDL_VideoInfo* info = SDL_GetVideoInfo())
        return {info->current_w, info->current_h};
    return {0, 0};
}

std::vector<std::pair<SDL_GLattr, int>> GlAttributesFor(int bitsPerPixel, const VideoRequest& s, bool vsyncOff)
{
    const int channel = bitsPerPixel / 4;
    std::vector<std::pair<SDL_GLattr, int>> attributes = {
        {SDL_GL_RED_SIZE, channel},   {SDL_GL_GREEN_SIZE, channel}, {SDL_GL_BLUE_SIZE, channel},
        {SDL_GL_ALPHA_SIZE, channel}, {SDL_GL_DEPTH_SIZE, 16},      {SDL_GL_DOUBLEBUFFER, 1},
    };
    if (vsyncOff)
        attributes.push_back({SDL_GL_SWAP_CONTROL, 0});
    else if (s.vsync)
        attributes.push_back({SDL_GL_SWAP_CONTROL, 1});
    if (s.antialiasing != 0) {
        attributes.push_back({SDL_GL_MULTISAMPLEBUFFERS, 1});
        attributes.push_back({SDL_GL_MULTISAMPLESAMPLES, s.antialiasing});
    }
    return attributes;
}

bool IsCloseRequest(const SDL_Event& event)
{
    if (event.type == SDL_QUIT)
        return true;
    return ProgramClosesOnAltF4() && event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_F4 &&
           (event.key.keysym.mod & KMOD_ALT) != 0;
}

void GameEngine::Init(const VideoRequest& video)
{
    const bool noDisplay = ChooseVideoDefaults(video);
    // SDL's parachute shuts SDL down from inside its signal handler, which
    // can deadlock in the driver; the program's own handlers end the process.
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) < 0) {
        if (noDisplay)
            FatalExit(ExitStatus::NoSdl, "no display to open the window on: DISPLAY is not set "
                                         "(SDL_VIDEODRIVER chooses another video driver)");
        FatalExit(ExitStatus::NoSdl, std::string("cannot initialise SDL: ") + SDL_GetError());
    }
    SDL_WM_SetCaption("Veldmarrow", "Veldmarrow");

    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr) {
        const std::string reason = std::string("no video information: ") + SDL_GetError();
        SDL_Quit();
        FatalExit(ExitStatus::NoVideoInfo, reason);
    }
    const int bitsPerPixel = info->vfmt->BitsPerPixel;
    const VideoRequest s = video;

    Uint32 flags = SDL_OPENGL;
    if (s.fullscreen)
        flags |= SDL_FULLSCREEN;
    for (const auto& attribute : GlAttributesFor(bitsPerPixel, s, vsyncOff))
        SDL_GL_SetAttribute(attribute.first, attribute.second);

    screen = SDL_SetVideoMode(s.screenWidth, s.screenHeight, bitsPerPixel, flags);
    const auto modeFailed = [&](const std::string& why) {
        const std::string reason = "cannot set the video mode " + std::to_string(s.screenWidth) + "x" +
                                   std::to_string(s.screenHeight) + " at " + std::to_string(bitsPerPixel) +
                                   " bits with OpenGL (antialiasing " + std::to_string(s.antialiasing) + "): " + why;
        SDL_Quit();
        FatalExit(ExitStatus::NoVideoMode, reason);
    };
    if (screen == nullptr)
        modeFailed(SDL_GetError());
    // The classic library refuses a sample count the driver cannot give; the
    // SDL2-based one quietly gives fewer. Refuse it on both.
    if (s.antialiasing > 0) {
        const int samples = ObtainedSamples();
        if (samples < s.antialiasing)
            modeFailed("the driver gave " + std::to_string(samples) + " samples");
    }
    WatchDisplay();
    fullscreen = s.fullscreen;
    SetFullScreenRestore(fullscreen ? LeaveFullScreen : nullptr);
    running = true;
    std::cout << "GameEngine Init" << std::endl;
}

void GameEngine::Cleanup()
{
    while (!states.empty()) {
        states.back()->Cleanup();
        states.pop_back();
    }
    SetFullScreenRestore(nullptr);
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
