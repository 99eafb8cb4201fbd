// ImageFile through SDL_image 1.2 itself.
#include "render/ImageFile.h"

#include <SDL/SDL_image.h>

SDL_Surface* LoadImageFile(const char* name)
{
    return IMG_Load(name);
}

const char* ImageDecoderName()
{
    return "SDL_image 1.2";
}
