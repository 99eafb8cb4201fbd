// Texture: image loading and upload to OpenGL.
#include "render/Texture.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include "core/Fatal.h"
#include "render/ImageFile.h"
#include "render/ImagePixels.h"

Texture::Texture(const std::string& name) : name(name)
{
    Load();
}

Texture::~Texture()
{
    Unload();
}

void Texture::Load()
{
    loaded = true;
    SDL_Surface* surface = LoadImageFile(name.c_str());
    if (surface == nullptr)
        FatalExit(1, "cannot load image \"" + name + "\": " + SDL_GetError());

    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        const int bits = surface->format->BitsPerPixel;
        SDL_FreeSurface(surface);
        FatalExit(1, "image \"" + name + "\" has " + std::to_string(bits) +
                         " bits per pixel; only 24- and 32-bit images can be shown");
    }
    const GLenum format = bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
    hasAlpha = bytesPerPixel == 4;
    width = surface->w;
    height = surface->h;

    const std::vector<unsigned char> pixels = PackedPixels(surface, bytesPerPixel);
    if (pixels.empty() && width > 0 && height > 0) {
        const std::string reason = "cannot convert image \"" + name + "\": " + SDL_GetError();
        SDL_FreeSurface(surface);
        FatalExit(1, reason);
    }

    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    // Rows are packed tightly, whatever the width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    SDL_FreeSurface(surface);
}

void Texture::Bind()
{
    if (!loaded)
        FatalExit(1, "texture \"" + name + "\" used while not loaded");
    glBindTexture(GL_TEXTURE_2D, id);
}

void Texture::Unload()
{
    if (!loaded)
        FatalExit(1, "texture \"" + name + "\" unloaded while not loaded");
    loaded = false;
    glDeleteTextures(1, &id);
}
