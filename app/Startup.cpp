// The program-wide objects, defined together in one file so that C++ builds
// them in this order, and their start-up steps run in the order the program
// depends on. Exit actions are registered as each step completes, so they
// run in the reverse order at process exit.
#include <SDL/SDL.h>

#include <cstdlib>

#include "core/FrameTimer.h"
#include "render/LightPool.h"
#include "script/ScriptHost.h"
#include "script/Settings.h"
#include "states/KeyState.h"

Uint8* keyState = nullptr;
LightPool lightPool;
ScriptHost scriptHost;
std::string settingsFileName;
Settings settings = defaultSettings;
FrameTimer frameTimer;

namespace {

void StopFrameTimer() { frameTimer.Stop(); }
void ReleaseSettingsFileName() { std::string().swap(settingsFileName); }
void StopScriptHost() { scriptHost.Stop(); }
void ReleaseLightPool() { lightPool.Clear(); }

struct StartUp {
    StartUp()
    {
        // SDL hands out its own static array, valid before SDL_Init and for
        // the life of the process.
        keyState = SDL_GetKeyState(nullptr);

        lightPool.Fill();
        std::atexit(ReleaseLightPool);

        scriptHost.Start();
        std::atexit(StopScriptHost);

        settingsFileName = "settings.lua";
        std::atexit(ReleaseSettingsFileName);

        settings = defaultSettings;

        frameTimer.Start();
        std::atexit(StopFrameTimer);
    }
} startUp;

} // namespace
