// MenuState: shows "menu.bmp" centred until Escape or the close request.
// No state change leads here; it is complete all the same.
#pragma once
#include <SDL/SDL.h>

#include "core/GameState.h"

class MenuState : public GameState {
public:
    SDL_Surface* picture = nullptr;
    // The picture as an OpenGL texture, since the window is an OpenGL mode.
    unsigned int pictureTexture = 0;

    void Init() override;
    void Cleanup() override;
    void Pause() override;
    void Resume() override;
    void HandleEvents(GameEngine* game) override;
    void Update(GameEngine* game) override;
    void Draw(GameEngine* game) override;
};

extern MenuState menuState;
