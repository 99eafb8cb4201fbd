// VoxelType and the palette: what one voxel byte means and how it looks.
#pragma once
#include <cstdint>

enum VoxelType : std::uint8_t { Air = 0, Grass = 1, Dirt = 2, Stone = 3 };
// How many types there are: Stone is the last.
constexpr int VoxelTypeCount = Stone + 1;

// R, G, B bytes per voxel type; Air's entry exists but is never drawn.
extern const std::uint8_t Palette[VoxelTypeCount][3];
