// ImagePixels: byte-order and padding normalisation for texture uploads.
#include "render/ImagePixels.h"

#include <cstring>

// Masks that put R, G, B, A at increasing byte addresses.
void ByteOrderMasks(int bytesPerPixel, Uint32& r, Uint32& g, Uint32& b, Uint32& a)
{
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    r = 0x000000FF;
    g = 0x0000FF00;
    b = 0x00FF0000;
    a = bytesPerPixel == 4 ? 0xFF000000 : 0;
#else
    const int shift = bytesPerPixel == 4 ? 0 : 8;
    r = 0xFF000000 >> shift;
    g = 0x00FF0000 >> shift;
    b = 0x0000FF00 >> shift;
    a = bytesPerPixel == 4 ? 0x000000FF : 0;
#endif
}

SDL_Surface* ConvertToByteOrder(SDL_Surface* surface, int bytesPerPixel)
{
    Uint32 r, g, b, a;
    ByteOrderMasks(bytesPerPixel, r, g, b, a);
    // A one-pixel surface lends SDL's own complete description of the format.
    SDL_Surface* pattern = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, bytesPerPixel * 8, r, g, b, a);
    if (pattern == nullptr)
        return nullptr;
    SDL_Surface* converted = SDL_ConvertSurface(surface, pattern->format, SDL_SWSURFACE);
    SDL_FreeSurface(pattern);
    return converted;
}

std::vector<unsigned char> PackedPixels(SDL_Surface* surface, int bytesPerPixel)
{
    Uint32 r, g, b, a;
    ByteOrderMasks(bytesPerPixel, r, g, b, a);
    const SDL_PixelFormat* f = surface->format;
    SDL_Surface* source = surface;
    const bool inOrder = f->BytesPerPixel == bytesPerPixel && f->Rmask == r && f->Gmask == g &&
                         f->Bmask == b && f->Amask == a;
    if (!inOrder) {
        source = ConvertToByteOrder(surface, bytesPerPixel);
        if (source == nullptr)
            return {};
    }

    const std::size_t rowBytes = static_cast<std::size_t>(source->w) * bytesPerPixel;
    std::vector<unsigned char> pixels(rowBytes * static_cast<std::size_t>(source->h));
    if (SDL_MUSTLOCK(source))
        SDL_LockSurface(source);
    const unsigned char* row = static_cast<const unsigned char*>(source->pixels);
    for (int y = 0; y < source->h; ++y, row += source->pitch)
        std::memcpy(pixels.data() + rowBytes * y, row, rowBytes);
    if (SDL_MUSTLOCK(source))
        SDL_UnlockSurface(source);
    if (source != surface)
        SDL_FreeSurface(source);
    return pixels;
}
