// VoxelBuffer: the map's 64 MiB byte array, allocated so first touch is cheap.
#pragma once
#include <cstddef>
#include <cstdint>

// Allocates `size` uninitialised bytes, 2 MiB aligned with transparent huge
// pages requested where the kernel offers them. On failure calls the new handler, as operator new does.
std::uint8_t* AllocateVoxels(std::size_t size);
// Frees what AllocateVoxels returned; null is ignored.
void FreeVoxels(std::uint8_t* voxels);
