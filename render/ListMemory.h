// ListMemory: what the terrain's display lists will take from memory, known
// before they are built. The OpenGL driver does not report a failed
// allocation while it compiles or draws lists (Mesa's compiler crashes, its
// rasterizer can stall), so the program checks the need first.
// Pure: no OpenGL here.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Memory.h"

class Map;

// The room a build of display lists needs, in the terms of MemoryRoom.
struct ListMemoryNeed {
    std::uint64_t addressSpace;
    std::uint64_t memory;
};

// Measured with Mesa's llvmpipe (docs/performance.md, "Memory for the display
// lists"): per compiled vertex, the address space the heap maps for the
// lists and the memory they keep resident; above that, what the whole
// terrain's build and first frames take (the heap's reserve, the
// rasterizer's buffers) and what a few lists rebuilt during play take.
constexpr std::uint64_t ListAddressPerVertex = 64;
constexpr std::uint64_t ListMemoryPerVertex = 24;
constexpr ListMemoryNeed TerrainListHeadroom = {64ull << 20, 48ull << 20};
constexpr ListMemoryNeed RebuildListHeadroom = {32ull << 20, 8ull << 20};

// The need of building the whole terrain's lists of `vertices` vertices
// and drawing its first frames.
ListMemoryNeed TerrainListNeed(std::uint64_t vertices);
// The need of rebuilding lists of `vertices` vertices during play.
ListMemoryNeed RebuildListNeed(std::uint64_t vertices);

// Every vertex the chunks of `map` would compile; counts faces without
// making vertices.
std::uint64_t CountMapVertices(const Map& map);

// Empty when `room` holds `need`; otherwise "about N MiB needed, M MiB
// available" for the figure that falls short (the address space first),
// the need rounded up and the room down to whole MiB.
std::string ListMemoryShortage(const ListMemoryNeed& need, const MemoryRoom& room);
