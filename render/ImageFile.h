// ImageFile: an image file read into an SDL surface, with the surfaces and
// refusals of SDL_image 1.2's IMG_Load for the files the program loads.
#pragma once
#include <SDL/SDL.h>

// The image in file `name` as a new surface (freed with SDL_FreeSurface):
// 24- or 32-bit RGB(A) for true-colour PNGs, 8-bit paletted for grey and
// paletted ones, BMPs as SDL reads them. Null when the file cannot be opened
// or decoded; SDL_GetError() then says why.
SDL_Surface* LoadImageFile(const char* name);

// What decodes images in this build, for the program's reports.
const char* ImageDecoderName();
