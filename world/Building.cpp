// Building: placement checks and the slot row.
#include "world/Building.h"

#include <cmath>

#include "world/Map.h"
#include "world/WalkingBody.h"

bool BodyOverlapsCell(const float feet[3], const VoxelHit& cell)
{
    const float lo[3] = {feet[0] - BodyHalfWidth, feet[1] - BodyHalfWidth, feet[2]};
    const float hi[3] = {feet[0] + BodyHalfWidth, feet[1] + BodyHalfWidth, feet[2] + BodyHeight};
    const int c[3] = {cell.x, cell.y, cell.z};
    for (int a = 0; a < 3; ++a)
        if (!(lo[a] < static_cast<float>(c[a] + 1) && hi[a] > static_cast<float>(c[a])))
            return false;
    return true;
}

bool MayPlace(const Map& map, const VoxelHit& cell, const float camera[3], bool walking)
{
    if (!map.Contains(cell.x, cell.y, cell.z) || map.At(cell.x, cell.y, cell.z) != Air)
        return false;
    if (walking) {
        const float feet[3] = {camera[0], camera[1], camera[2] - EyeHeight};
        return !BodyOverlapsCell(feet, cell);
    }
    return !(std::floor(camera[0]) == cell.x && std::floor(camera[1]) == cell.y && std::floor(camera[2]) == cell.z);
}

static_assert(SlotRow::Slots == SolidTypeCount, "one slot per solid type");

SlotRow::SlotRow()
{
    for (int i = 0; i < Slots; ++i)
        types[i] = static_cast<std::uint8_t>(Grass + i);
}

void SlotRow::Select(int slot)
{
    if (slot >= 1 && slot <= Slots)
        selected = slot;
}

void SlotRow::Step(int steps)
{
    selected = ((selected - 1 + steps) % Slots + Slots) % Slots + 1;
}

void SlotRow::Take(std::uint8_t type)
{
    if (type == Air || type >= VoxelTypeCount)
        return;
    for (int i = 0; i < Slots; ++i)
        if (types[i] == type) {
            selected = i + 1;
            return;
        }
    types[selected - 1] = type;
}
