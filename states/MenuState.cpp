// MenuState: a bitmap shown through OpenGL at its natural size.
#include "states/MenuState.h"

#include <GL/gl.h>

#include <iostream>

#include "core/GameEngine.h"
#include "core/UserFolder.h"
#include "render/ImagePixels.h"
#include "render/Picture2D.h"

MenuState menuState;

void MenuState::Init()
{
    // A missing file gives a null stream, which the loader refuses cleanly.
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromFile(DataFilePath("menu.bmp").c_str(), "rb"), 1);
    if (loaded != nullptr) {
        // The display format of an OpenGL window is the texture's byte order.
        picture = ConvertToByteOrder(loaded, 4);
        SDL_FreeSurface(loaded);
    }
    if (picture == nullptr)
        std::cerr << "MenuState: cannot show \"menu.bmp\": " << SDL_GetError() << std::endl;

    SetPixelProjection();
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    if (picture != nullptr) {
        glGenTextures(1, &pictureTexture);
        glBindTexture(GL_TEXTURE_2D, pictureTexture);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, picture->pitch / 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, picture->w, picture->h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     picture->pixels);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    std::cout << "MenuState Init" << std::endl;
}

void MenuState::Cleanup()
{
    if (picture != nullptr) {
        glDeleteTextures(1, &pictureTexture);
        pictureTexture = 0;
        SDL_FreeSurface(picture);
        picture = nullptr;
    }
    std::cout << "MenuState Cleanup" << std::endl;
}

void MenuState::Pause() { std::cout << "MenuState Pause" << std::endl; }

void MenuState::Resume() { std::cout << "MenuState Resume" << std::endl; }

void MenuState::HandleEvents(GameEngine* game)
{
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return;
    if ((event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) || IsCloseRequest(event))
        game->Quit();
}

void MenuState::Update(GameEngine*) {}

void MenuState::Draw(GameEngine* game)
{
    // A double-buffered OpenGL window holds garbage until cleared.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (picture != nullptr) {
        // SDL's y runs down: the top margin is the centred offset, the
        // odd extra pixel going to the right and the bottom.
        const int x = CentredOffset(game->screen->w, picture->w);
        const int top = CentredOffset(game->screen->h, picture->h);
        const int y = game->screen->h - top - picture->h;
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glBindTexture(GL_TEXTURE_2D, pictureTexture);
        glColor4f(1, 1, 1, 1);
        DrawPictureQuad(x, y, picture->w, picture->h);
    }
    SDL_GL_SwapBuffers();
}
