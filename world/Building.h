// Building: where a placed voxel may go, and the row of nine slots the
// player builds from. Pure: no SDL, no OpenGL.
#pragma once
#include <cstdint>

#include "world/PickVoxel.h"
#include "world/VoxelType.h"

class Map;

// True when the walking body with its feet at `feet` overlaps cell `cell`
// (touching a face is not overlapping).
bool BodyOverlapsCell(const float feet[3], const VoxelHit& cell);

// True when a voxel may be placed in `cell`: inside the map, empty, and not
// where the player is (walking: any cell the body's box overlaps, the eyes
// at `camera`; flying: the camera's cell). A cell of (-1, -1, -1), nothing
// outlined, is never allowed.
bool MayPlace(const Map& map, const VoxelHit& cell, const float camera[3], bool walking);

// The row of nine slots, each holding a solid voxel type: Grass to Leaves,
// in their order.
class SlotRow {
public:
    static constexpr int Slots = 9;

    SlotRow();

    // The selected slot, 1 to 9, and the type it holds.
    int Selected() const { return selected; }
    std::uint8_t SelectedType() const { return types[selected - 1]; }
    std::uint8_t TypeIn(int slot) const { return types[slot - 1]; }

    // Selects `slot`; a value outside 1 to 9 is ignored.
    void Select(int slot);
    // Moves the selection `steps` slots, toward 9 when positive, wrapping.
    void Step(int steps);
    // Selects the slot holding `type`; when none does, the selected slot
    // takes it. Air and values that are no type are ignored.
    void Take(std::uint8_t type);

private:
    std::uint8_t types[Slots];
    int selected = 1;
};
