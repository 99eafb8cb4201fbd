// Image pixels arrive at OpenGL as packed R, G, B (, A) whatever their layout.
#include <gtest/gtest.h>

#include "render/ImagePixels.h"

#include <cstring>

namespace {

// A surface of w x h pixels with the given masks, each pixel's red = x,
// green = y, blue = 200 (alpha 77 where there is an alpha channel).
SDL_Surface* Make(int w, int h, int bits, Uint32 r, Uint32 g, Uint32 b, Uint32 a)
{
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, bits, r, g, b, a);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Uint32 pixel = SDL_MapRGBA(s->format, static_cast<Uint8>(x), static_cast<Uint8>(y), 200, 77);
            Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
            std::memcpy(p, &pixel, s->format->BytesPerPixel); // little-endian byte order
        }
    return s;
}

void ExpectPacked(const std::vector<unsigned char>& px, int w, int h, int bpp)
{
    ASSERT_EQ(px.size(), static_cast<std::size_t>(w * h * bpp));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = &px[(y * w + x) * bpp];
            ASSERT_EQ(p[0], x);
            ASSERT_EQ(p[1], y);
            ASSERT_EQ(p[2], 200);
            if (bpp == 4) {
                ASSERT_EQ(p[3], 77);
            }
        }
}

} // namespace

TEST(ImagePixels, RgbInOrderWithPaddedRows)
{
    // 5 pixels of 3 bytes: SDL pads each row to 16 bytes.
    SDL_Surface* s = Make(5, 3, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    ASSERT_GT(s->pitch, 15);
    ExpectPacked(PackedPixels(s, 3), 5, 3, 3);
    SDL_FreeSurface(s);
}

TEST(ImagePixels, BgrAndArgbAreReordered)
{
    SDL_Surface* bgr = Make(7, 2, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    ExpectPacked(PackedPixels(bgr, 3), 7, 2, 3);
    SDL_FreeSurface(bgr);
    SDL_Surface* argb = Make(4, 4, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    ExpectPacked(PackedPixels(argb, 4), 4, 4, 4);
    SDL_FreeSurface(argb);
    SDL_Surface* rgba = Make(3, 3, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    ExpectPacked(PackedPixels(rgba, 4), 3, 3, 4);
    SDL_FreeSurface(rgba);
}
