// IntroState: splash fade-in with one input event per pass.
#include "states/IntroState.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <iostream>

#include "core/GameEngine.h"
#include "core/UserFolder.h"
#include "render/Picture2D.h"
#include "render/Texture.h"
#include "states/PlayState.h"

IntroState introState;

void IntroState::Init()
{
    texture = new Texture(DataFilePath("splash.png"));
    alpha = 0.0f;
    SetPixelProjection(); // the modelview matrix is left as it is
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    std::cout << "IntroState Init" << std::endl;
}

void IntroState::Cleanup()
{
    delete texture;
    texture = nullptr;
    std::cout << "IntroState Cleanup" << std::endl;
}

void IntroState::Pause() { std::cout << "IntroState Pause" << std::endl; }

void IntroState::Resume() { std::cout << "IntroState Resume" << std::endl; }

void IntroState::HandleEvents(GameEngine* game)
{
    SDL_Event event;
    if (!SDL_PollEvent(&event)) {
        if (startPlayAtOnce)
            game->ChangeState(&playState);
        return;
    }
    if (IsCloseRequest(event)) {
        game->Quit();
    } else if (event.type == SDL_KEYDOWN) {
        if (event.key.keysym.sym == SDLK_ESCAPE)
            game->Quit();
        else
            game->ChangeState(&playState);
    } else if (startPlayAtOnce) {
        game->ChangeState(&playState);
    }
}

void IntroState::Update(GameEngine*)
{
    alpha = alpha + 0.001f;
    if (alpha > 1.0f)
        alpha = 1.0f;
}

void IntroState::Draw(GameEngine* game)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(1, 1, 1, alpha);
    texture->Bind();
    const int x0 = CentredOffset(game->screen->w, texture->width);
    const int y0 = CentredOffset(game->screen->h, texture->height);
    DrawPictureQuad(x0, y0, texture->width, texture->height);
    SDL_GL_SwapBuffers();
}
