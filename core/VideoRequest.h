// VideoRequest: what the window is opened with. The settings script sets
// these five values (script/Settings); the engine opens the window from them.
#pragma once

struct VideoRequest {
    bool fullscreen;
    int screenWidth;
    int screenHeight;
    int antialiasing;
    bool vsync;
};
