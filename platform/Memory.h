// Memory: aligned blocks, pages, and what the system says of the process's
// memory.
// One small function each; CMake compiles exactly one of MemoryPosix.cpp
// and MemoryWindows.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

// `size` uninitialised bytes aligned to `alignment` (a power of two, a
// multiple of the pointer size); null when the memory cannot be had.
void* AllocateAligned(std::size_t alignment, std::size_t size);
// Frees what AllocateAligned returned; null is ignored.
void FreeAligned(void* block);

// Asks for large pages under [data, data + bytes) where the system offers them
// on request; a refusal, or a system without them, leaves small pages.
void AdviseLargePages(void* data, std::size_t bytes);

// The size of a memory page in bytes.
std::size_t PageSize();
// Has the system supply every page of the page-aligned range [data, data + bytes)
// now, in one call; does nothing where the system cannot.
void PopulatePageRange(void* data, std::size_t bytes);
// Gives the page-aligned range [data, data + bytes) back to the system; it
// stays allocated and its contents are lost (zeros on Linux, undefined on Windows).
void ReleasePageRange(void* data, std::size_t bytes);

// The name of the C library's own heap allocator: "glibc", "msvcrt", ...
const char* SystemHeapName();

// The most memory the process has held resident so far, in bytes (0 where
// the system does not say).
std::uint64_t PeakResidentBytes();

// What the process may still take, in bytes; UINT64_MAX where there is no
// limit or the system does not say.
struct MemoryRoom {
    std::uint64_t addressSpace; // under the process's address-space limit
    std::uint64_t memory;       // the system's: memory not in use and free swap (Windows: the commit limit's rest)
};
MemoryRoom AvailableMemory();
