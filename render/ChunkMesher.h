// ChunkMesher: the faces of one 16 x 16 x 16 chunk toward Air, as triangle
// vertices ready for OpenGL. Pure: no OpenGL here (see Chunk for the lists).
#pragma once
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "render/RowScan.h"
#include "render/ScratchPages.h"
#include "world/MapDimensions.h"

class Map;

struct ChunkVertex {
    float position[3];
    float normal[3];
    std::uint8_t color[3];
    std::uint8_t spare;
};
static_assert(sizeof(ChunkVertex) == 28, "ChunkVertex is handed to OpenGL with stride 28");

// Grows without zero-filling: every vertex is written whole right after.
// The pages of a new block are supplied in one go, since all of it is
// written at once.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n)
    {
        T* p = std::allocator<T>::allocate(n);
        PopulatePages(p, n * sizeof(T));
        return p;
    }
    template <typename U>
    void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) { ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...); }
};

using VertexArray = std::vector<ChunkVertex, UninitialisedAllocator<ChunkVertex>>;

// Face k is found from an Air voxel: NeighbourOffsets[k] leads to the solid
// voxel whose face is drawn; FaceCorners[k] are that face's corners relative
// to the solid voxel; FaceNormals[k] equals the offset.
extern const int NeighbourOffsets[6][3];
extern const int FaceCorners[6][4][3];
extern const float FaceNormals[6][3];

// Appends the six vertices of face k of the solid voxel (x, y, z).
void EmitFace(const Map& map, int k, VertexArray& vertices, int x, int y, int z);

// Appends every face of chunk (cx, cy, cz) that touches Air, in the order of
// the Air voxel in front of it (z, y, x ascending over the chunk and the
// one-voxel layer around it) and then ascending k. Faces on the map's outer
// boundary and between solid voxels are never emitted. An empty array with
// too little room grows once, to exactly the size the faces need. Both row
// scan forms give the same bytes; the portable one is there for the tests.
void MeshChunk(const Map& map, int cx, int cy, int cz, VertexArray& vertices,
               RowScanForm form = RowScanForm::Native);
// The number of vertices MeshChunk appends for chunk (cx, cy, cz), without
// making them.
std::size_t CountChunkVertices(const Map& map, int cx, int cy, int cz);
