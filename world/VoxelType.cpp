// The one table of voxel colours. The new ones are apart from each other and
// from the terrain's in hue or in brightness, so that each reads on its own
// under the terrain's light.
#include "world/VoxelType.h"

const std::uint8_t Palette[VoxelTypeCount][3] = {
    {0, 0, 0},       // Air
    {93, 168, 39},   // Grass
    {116, 69, 48},   // Dirt
    {162, 181, 181}, // Stone
    {222, 204, 140}, // Sand
    {176, 128, 70},  // Planks
    {168, 62, 48},   // Brick
    {104, 104, 98},  // Cobblestone
    {240, 244, 248}, // Snow
    {46, 110, 42},   // Leaves
};

const char* const VoxelTypeNames[VoxelTypeCount] = {"Air",   "Grass",       "Dirt", "Stone",  "Sand",
                                                    "Planks", "Brick", "Cobblestone", "Snow", "Leaves"};
