// ImagePixels: an SDL surface's pixels as tightly packed R, G, B (, A) bytes,
// whatever byte order and row padding the image loader chose.
#pragma once
#include <SDL/SDL.h>

#include <vector>

// Masks that put R, G, B (, A) at increasing byte addresses for 3- or
// 4-byte pixels; alpha is 0 for 3.
void ByteOrderMasks(int bytesPerPixel, Uint32& r, Uint32& g, Uint32& b, Uint32& a);

// A new surface of the same size whose pixel bytes are R, G, B (, A) in
// memory order (bytesPerPixel 3 or 4); null if SDL cannot convert it.
SDL_Surface* ConvertToByteOrder(SDL_Surface* surface, int bytesPerPixel);

// Returns width * height * bytesPerPixel bytes, rows top first, where
// bytesPerPixel is 3 (RGB) or 4 (RGBA). Empty if the conversion fails.
std::vector<unsigned char> PackedPixels(SDL_Surface* surface, int bytesPerPixel);
