// VoxelBuffer: huge-page friendly allocation for the voxel volume.
#include "world/VoxelBuffer.h"

#include <new>

#include "platform/Memory.h"

namespace {
const std::size_t HugePage = 2u << 20;
}

std::uint8_t* AllocateVoxels(std::size_t size)
{
    // 2 MiB pages fault in 512x fewer times than 4 KiB ones.
    const std::size_t rounded = (size + HugePage - 1) / HugePage * HugePage;
    const std::size_t bytes = rounded == 0 ? HugePage : rounded;
    void* block;
    // As operator new does: the program's new handler decides what running
    // out of memory means.
    while ((block = AllocateAligned(HugePage, bytes)) == nullptr) {
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
    AdviseLargePages(block, bytes);
    return static_cast<std::uint8_t*>(block);
}

void FreeVoxels(std::uint8_t* voxels)
{
    FreeAligned(voxels);
}
