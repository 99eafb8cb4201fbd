// VoxelEdit: an edit made in a map.
#include "world/VoxelEdit.h"

#include "world/VoxelType.h"

bool ApplyEdit(Map& map, const VoxelEdit& e)
{
    switch (e.kind) {
    case EditKind::Dig:
        map.CarveSphere(e.x, e.y, e.z, DigRadius);
        return true;
    case EditKind::Place:
        return map.At(e.x, e.y, e.z) == Air && map.SetVoxel(e.x, e.y, e.z, e.type);
    case EditKind::Remove:
        return map.At(e.x, e.y, e.z) != Air && map.SetVoxel(e.x, e.y, e.z, Air);
    }
    return false;
}
