// The one table of voxel colours.
#include "world/VoxelType.h"

const std::uint8_t Palette[VoxelTypeCount][3] = {
    {0, 0, 0},       // Air
    {93, 168, 39},   // Grass
    {116, 69, 48},   // Dirt
    {162, 181, 181}, // Stone
};
