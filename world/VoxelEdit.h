// VoxelEdit: one change a player makes to the map (a dig, a placement or a
// removal), as play makes it and as the network carries it. Pure.
#pragma once
#include <cstdint>

#include "world/Map.h"

enum class EditKind : std::uint8_t { Dig = 1, Place = 2, Remove = 3 };

struct VoxelEdit {
    EditKind kind = EditKind::Dig;
    std::uint16_t x = 0, y = 0, z = 0; // the voxel: the dig's centre, the placed or removed one
    std::uint8_t type = 0;             // the placed type; 0 for a dig or a removal
};

// Makes `edit` in `map` (inside it): a dig carves a sphere of DigRadius, a
// placement fills an empty cell, a removal empties a solid one. False when
// it changed nothing: a placement where something is, a removal where
// nothing is (two players aiming at one cell: the first edit wins).
bool ApplyEdit(Map& map, const VoxelEdit& edit);
