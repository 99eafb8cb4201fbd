// ImageFile where SDL_image 1.2 cannot be had (Windows): PNGs decoded by
// libpng with the transformations SDL_image 1.2 asks of it, so the surfaces
// are the same byte for byte; BMPs read by SDL's own loader, as SDL_image
// does for them. Other formats are refused, as SDL_image refuses what it
// does not know.
#include "render/ImageFile.h"
#include "render/ImagePixels.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct MemoryReader {
    const unsigned char* data;
    std::size_t size, position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position)
        png_error(png, "the file ends early");
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

void PngError(png_structp png, png_const_charp message)
{
    SDL_SetError("Error reading the PNG file: %s", message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp)
{
}

// Decodes a whole PNG held in memory. Only plain C objects live in this
// frame, since libpng leaves it with longjmp on an error.
SDL_Surface* DecodePng(MemoryReader* reader)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (png == nullptr) {
        SDL_SetError("Couldn't allocate memory for PNG file");
        return nullptr;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SDL_SetError("Couldn't create image information for PNG file");
        return nullptr;
    }
    SDL_Surface* volatile surface = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        std::free(rows);
        if (surface != nullptr)
            SDL_FreeSurface(surface);
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }
    png_set_read_fn(png, reader, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

    // SDL_image's choices: 8 bits per channel, one byte per palette index,
    // grey scaled up to 8 bits.
    png_set_strip_16(png);
    png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_GRAY)
        png_set_expand(png);
    // One fully transparent palette entry becomes a colour key, any other
    // palette transparency a full alpha channel; grey and RGB transparency
    // a colour key.
    int colourKey = -1;
    png_color_16p keyColour = nullptr;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_bytep alphas = nullptr;
        int count = 0;
        png_get_tRNS(png, info, &alphas, &count, &keyColour);
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            int transparent = -1, i = 0;
            for (; i < count; ++i) {
                if (alphas[i] == 0) {
                    if (transparent >= 0)
                        break;
                    transparent = i;
                } else if (alphas[i] != 255) {
                    break;
                }
            }
            if (i == count)
                colourKey = transparent;
            else
                png_set_expand(png);
        } else {
            colourKey = 0;
        }
    }
    if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);

    const int channels = png_get_channels(png, info);
    // SDL 1.2 keeps a row's length in 16 bits: a longer row would not fit.
    if (static_cast<std::uint64_t>(width) * channels * bitDepth / 8 > 65535)
        png_error(png, "the image is too wide");
    Uint32 r = 0, g = 0, b = 0, a = 0;
    if (colorType != PNG_COLOR_TYPE_PALETTE)
        ByteOrderMasks(channels, r, g, b, a);
    surface = SDL_AllocSurface(SDL_SWSURFACE, static_cast<int>(width), static_cast<int>(height),
                               bitDepth * channels, r, g, b, a);
    if (surface == nullptr)
        png_error(png, "Out of memory");
    if (colourKey != -1) {
        if (colorType != PNG_COLOR_TYPE_PALETTE)
            colourKey = static_cast<int>(SDL_MapRGB(surface->format, static_cast<Uint8>(keyColour->red),
                                                    static_cast<Uint8>(keyColour->green),
                                                    static_cast<Uint8>(keyColour->blue)));
        SDL_SetColorKey(surface, SDL_SRCCOLORKEY, static_cast<Uint32>(colourKey));
    }

    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (height == 0 ? 1 : height)));
    if (rows == nullptr)
        png_error(png, "Out of memory");
    for (png_uint_32 row = 0; row < height; ++row)
        rows[row] = static_cast<png_bytep>(surface->pixels) + row * surface->pitch;
    png_read_image(png, rows);

    if (SDL_Palette* palette = surface->format->palette) {
        if (colorType == PNG_COLOR_TYPE_GRAY) {
            palette->ncolors = 256;
            for (int i = 0; i < 256; ++i)
                palette->colors[i].r = palette->colors[i].g = palette->colors[i].b = static_cast<Uint8>(i);
        } else {
            png_colorp colours = nullptr;
            int count = 0;
            if (png_get_PLTE(png, info, &colours, &count) && count > 0) {
                palette->ncolors = count;
                for (int i = 0; i < count; ++i) {
                    palette->colors[i].r = colours[i].red;
                    palette->colors[i].g = colours[i].green;
                    palette->colors[i].b = colours[i].blue;
                }
            }
        }
    }
    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return surface;
}

} // namespace

SDL_Surface* LoadImageFile(const char* name)
{
    SDL_RWops* file = SDL_RWFromFile(name, "rb"); // sets "Couldn't open <name>" when it fails
    if (file == nullptr)
        return nullptr;
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    for (int n; (n = SDL_RWread(file, chunk, 1, sizeof chunk)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    SDL_RWclose(file);
    if (bytes.size() > 0x7FFFFFFF) {
        SDL_SetError("%s is too large", name);
        return nullptr;
    }

    static const unsigned char pngMagic[4] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), pngMagic, 4) == 0) {
        MemoryReader reader = {bytes.data(), bytes.size(), 0};
        return DecodePng(&reader);
    }
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    SDL_SetError("Unsupported image format");
    return nullptr;
}

const char* ImageDecoderName()
{
    return "libpng " PNG_LIBPNG_VER_STRING " (PNG), SDL 1.2 (BMP)";
}
