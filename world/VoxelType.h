// VoxelType and the palette: what one voxel byte means and how it looks.
#pragma once
#include <cstdint>

enum VoxelType : std::uint8_t {
    Air = 0,
    Grass = 1,
    Dirt = 2,
    Stone = 3,
    // Only placed by the player; the generator makes the first three.
    Sand = 4,
    Planks = 5,
    Brick = 6,
    Cobblestone = 7,
    Snow = 8,
    Leaves = 9,
};
// How many types there are, Air included: Leaves is the last.
constexpr int VoxelTypeCount = Leaves + 1;
// The solid types, 1 to SolidTypeCount; each has a slot of the row.
constexpr int SolidTypeCount = VoxelTypeCount - 1;

// R, G, B bytes per voxel type; Air's entry exists but is never drawn.
extern const std::uint8_t Palette[VoxelTypeCount][3];
// The type's name as the player reads it ("Grass", "Sand", ...).
extern const char* const VoxelTypeNames[VoxelTypeCount];
