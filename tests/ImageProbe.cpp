// Prints, for each image file named on the command line, the surface the
// program's image loader gives for it, or its refusal: size, format, colour
// key, palette and a checksum of the pixels. The same files must print the
// same lines on every build.
#include <SDL/SDL.h>

#include <cstdint>
#include <cstdio>

#include "render/ImageFile.h"

namespace {

// FNV-1a over bytes.
std::uint32_t Hash(std::uint32_t h, const void* data, std::size_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

} // namespace

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        SDL_Surface* s = LoadImageFile(argv[i]);
        if (s == nullptr) {
            std::printf("%s: refused\n", argv[i]);
            continue;
        }
        const SDL_PixelFormat* f = s->format;
        // The visible bytes of each row, without the row padding.
        std::uint32_t pixels = 2166136261u;
        for (int y = 0; y < s->h; ++y)
            pixels = Hash(pixels, static_cast<const Uint8*>(s->pixels) + y * s->pitch,
                          static_cast<std::size_t>(s->w) * f->BytesPerPixel);
        std::uint32_t palette = 2166136261u;
        const int colours = f->palette != nullptr ? f->palette->ncolors : 0;
        // The colours alone: the SDL2-based SDL 1.2 fills the `unused` byte,
        // which the classic library leaves 0 and nothing reads.
        for (int c = 0; c < colours; ++c) {
            const SDL_Color& colour = f->palette->colors[c];
            const Uint8 rgb[3] = {colour.r, colour.g, colour.b};
            palette = Hash(palette, rgb, sizeof rgb);
        }
        std::printf("%s: %dx%d, %d bits, masks %08x %08x %08x %08x, key %s%08x, %d colours %08x, pixels %08x\n",
                    argv[i], s->w, s->h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, f->Amask,
                    (s->flags & SDL_SRCCOLORKEY) ? "on " : "off ", f->colorkey, colours, palette, pixels);
        SDL_FreeSurface(s);
    }
    return 0;
}
