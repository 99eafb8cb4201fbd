// Texture: image loading and upload to OpenGL.
#include "render/Texture.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <fstream>
#include <vector>

#include "core/FaultHandler.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "render/ImageFile.h"
#include "render/ImagePixels.h"
#include "render/ImageSize.h"

namespace {

// The largest sides that can be loaded and shown: SDL 1.2 keeps a row's
// length in bytes in 16 bits (65535 / 4 bytes per pixel), and OpenGL has its
// own limit.
ImageSize LargestImage()
{
    GLint textureSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSize);
    const long long rowLimit = 65535 / 4;
    ImageSize largest;
    largest.width = textureSize > 0 && textureSize < rowLimit ? textureSize : rowLimit;
    largest.height = textureSize > 0 ? textureSize : rowLimit;
    return largest;
}

// Ends the run when the image is larger than `largest`, naming its size.
void RefuseIfTooLarge(const std::string& name, const ImageSize& size, const ImageSize& largest)
{
    if (size.width <= largest.width && size.height <= largest.height)
        return;
    FatalExit(ExitStatus::NoSdl, "image \"" + name + "\" is too large: " + std::to_string(size.width) + " x " +
                     std::to_string(size.height) + " pixels, at most " + std::to_string(largest.width) + " x " +
                     std::to_string(largest.height) + " can be shown");
}

// The size in the file's header, when the format is one PeekImageSize knows.
bool HeaderSize(const std::string& name, ImageSize& size)
{
    std::ifstream file(name, std::ios::binary);
    std::vector<unsigned char> head(256 * 1024);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    return PeekImageSize(head.data(), static_cast<std::size_t>(file.gcount()), size);
}

} // namespace

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
    AllocationPurpose purpose("loading an image");
    // Refused before decoding: the loader would only say it ran out of memory.
    const ImageSize largest = LargestImage();
    ImageSize declared;
    if (HeaderSize(name, declared))
        RefuseIfTooLarge(name, declared, largest);
    SDL_Surface* surface = LoadImageFile(name.c_str());
    if (surface == nullptr)
        FatalExit(ExitStatus::NoSdl, "cannot load image \"" + name + "\": " + SDL_GetError());
    ImageSize loadedSize;
    loadedSize.width = surface->w;
    loadedSize.height = surface->h;
    if (loadedSize.width > largest.width || loadedSize.height > largest.height) {
        SDL_FreeSurface(surface);
        RefuseIfTooLarge(name, loadedSize, largest);
    }

    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (bytesPerPixel != 3 && bytesPerPixel != 4) {
        const int bits = surface->format->BitsPerPixel;
        SDL_FreeSurface(surface);
        FatalExit(ExitStatus::NoSdl, "image \"" + name + "\" has " + std::to_string(bits) +
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
        FatalExit(ExitStatus::NoSdl, reason);
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
        FatalExit(ExitStatus::NoSdl, "texture \"" + name + "\" used while not loaded");
    glBindTexture(GL_TEXTURE_2D, id);
}

void Texture::Unload()
{
    if (!loaded)
        FatalExit(ExitStatus::NoSdl, "texture \"" + name + "\" unloaded while not loaded");
    loaded = false;
    glDeleteTextures(1, &id);
}
