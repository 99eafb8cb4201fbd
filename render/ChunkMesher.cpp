// ChunkMesher: faces found with one bit per voxel along each row of x.
//
// Bit i of a row mask stands for x = 16 * cx - 1 + i, so bits 1..16 are the
// chunk's own voxels and bits 0 and 17 the surrounding layer. For every row
// of the scanned region the masks say, per face k, which Air voxels have a
// solid neighbour inside the chunk; walking the set bits upward reproduces
// the voxel-by-voxel scan order exactly. The row scans themselves are in
// RowScan.h, in an SSE2 and a portable form.
#include "render/ChunkMesher.h"

#include <algorithm>
#include <cstring>

#include "core/BitCount.h"
#include "render/RowScan.h"
#include "world/Map.h"
#include "world/MapDimensions.h"
#include "world/VoxelType.h"

const int NeighbourOffsets[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

const int FaceCorners[6][4][3] = {
    {{1, 1, 1}, {1, 0, 1}, {1, 0, 0}, {1, 1, 0}},
    {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {0, 0, 0}},
    {{0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0}},
    {{1, 0, 1}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0}},
    {{1, 1, 1}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}},
    {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}},
};

const float FaceNormals[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

namespace {

// The six vertices of face k of a voxel of type t at the origin; emitting a
// face copies them and moves the positions.
struct FaceTemplates {
    ChunkVertex faces[6][VoxelTypeCount][6];
    FaceTemplates()
    {
        static const int order[6] = {0, 1, 2, 2, 3, 0};
        std::memset(faces, 0, sizeof faces);
        for (int k = 0; k < 6; ++k)
            for (int t = 0; t < VoxelTypeCount; ++t)
                for (int v = 0; v < 6; ++v) {
                    ChunkVertex& out = faces[k][t][v];
                    for (int a = 0; a < 3; ++a) {
                        out.position[a] = static_cast<float>(FaceCorners[k][order[v]][a]);
                        out.normal[a] = FaceNormals[k][a];
                        out.color[a] = Palette[t][a];
                    }
                    out.spare = 0;
                }
    }
};

const FaceTemplates templates;

// Writes the six vertices of face k of a voxel of `type` at (x, y, z) to out.
inline void WriteFace(ChunkVertex* out, int k, unsigned type, int x, int y, int z)
{
    // Types beyond the palette are solid but have no colour of their own.
    const ChunkVertex* source = templates.faces[k][type < VoxelTypeCount ? type : 0];
    const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
    for (int v = 0; v < 6; ++v) {
        out[v] = source[v];
        out[v].position[0] += fx;
        out[v].position[1] += fy;
        out[v].position[2] += fz;
    }
}

// For an all-solid chunk: true when every voxel across its six faces is
// solid too (or the map ends there), so it has no faces at all.
template <typename Scan>
bool SealedSolid(const Map& map, int x0, int y0, int z0)
{
    typename Scan::Accumulator layers;
    for (int i = 0; i < ChunkSize; ++i) {
        if (y0 > 0)
            layers.Add(&map.voxels[map.Index(x0, y0 - 1, z0 + i)]);
        if (y0 + ChunkSize < map.depth)
            layers.Add(&map.voxels[map.Index(x0, y0 + ChunkSize, z0 + i)]);
        if (z0 > 0)
            layers.Add(&map.voxels[map.Index(x0, y0 + i, z0 - 1)]);
        if (z0 + ChunkSize < map.height)
            layers.Add(&map.voxels[map.Index(x0, y0 + i, z0 + ChunkSize)]);
    }
    if (layers.Summary().anyAir)
        return false;
    for (int z = z0; z < z0 + ChunkSize; ++z)
        for (int y = y0; y < y0 + ChunkSize; ++y) {
            if (x0 > 0 && map.At(x0 - 1, y, z) == 0)
                return false;
            if (x0 + ChunkSize < map.width && map.At(x0 + ChunkSize, y, z) == 0)
                return false;
        }
    return true;
}

} // namespace

void EmitFace(const Map& map, int k, VertexArray& vertices, int x, int y, int z)
{
    const std::size_t at = vertices.size();
    vertices.resize(at + 6);
    WriteFace(vertices.data() + at, k, map.At(x, y, z), x, y, z);
}

namespace {

// The faces of one row of Air voxels (and the voxels just outside the chunk).
struct RowFaces {
    int y, z;
    unsigned masks[6]; // bit i: the Air voxel at x = x0 - 1 + i shows face k
    unsigned any;
};

// Finds the rows of chunk (cx, cy, cz) that show faces and returns the
// number of faces; `rowFaces` (room for (ChunkSize + 2)^2 rows) and
// `rowCount` get the rows.
template <typename Scan>
std::size_t CountFaces(const Map& map, int cx, int cy, int cz, RowFaces* rowFaces, int& rowCount)
{
    const int x0 = cx * ChunkSize, y0 = cy * ChunkSize, z0 = cz * ChunkSize;
    const int W = map.width, D = map.depth, H = map.height;

    // Most chunks are all Air or buried solid: settle those in one pass.
    // Faces belong to solid voxels of this chunk.
    typename Scan::Accumulator rows;
    for (int lz = 0; lz < ChunkSize; ++lz)
        for (int ly = 0; ly < ChunkSize; ++ly)
            rows.Add(&map.voxels[map.Index(x0, y0 + ly, z0 + lz)]);
    const RowSummary summary = rows.Summary();
    rowCount = 0;
    if (!summary.anySolid || (!summary.anyAir && SealedSolid<Scan>(map, x0, y0, z0)))
        return 0;

    // The chunk's own rows: in-chunk solid masks at bits 1..16.
    unsigned inChunk[ChunkSize][ChunkSize];
    for (int lz = 0; lz < ChunkSize; ++lz)
        for (int ly = 0; ly < ChunkSize; ++ly)
            inChunk[lz][ly] = Scan::SolidMask16(&map.voxels[map.Index(x0, y0 + ly, z0 + lz)]) << 1;

    auto solidInChunk = [&](int y, int z) -> unsigned {
        const int ly = y - y0, lz = z - z0;
        if (ly < 0 || ly >= ChunkSize || lz < 0 || lz >= ChunkSize)
            return 0;
        return inChunk[lz][ly];
    };

    const bool hasLow = x0 > 0, hasHigh = x0 + ChunkSize < W;
    const unsigned rangeMask = 0x1FFFEu | (hasLow ? 1u : 0u) | (hasHigh ? 0x20000u : 0u);
    const int zBegin = z0 > 0 ? z0 - 1 : 0, zEnd = z0 + ChunkSize < H ? z0 + ChunkSize : H - 1;
    const int yBegin = y0 > 0 ? y0 - 1 : 0, yEnd = y0 + ChunkSize < D ? y0 + ChunkSize : D - 1;

    std::size_t faceCount = 0;
    for (int z = zBegin; z <= zEnd; ++z)
        for (int y = yBegin; y <= yEnd; ++y) {
            const unsigned here = solidInChunk(y, z);
            const unsigned faceMasks[6] = {
                here << 1, here >> 1, solidInChunk(y - 1, z), solidInChunk(y + 1, z),
                solidInChunk(y, z - 1), solidInChunk(y, z + 1),
            };
            const unsigned candidates =
                faceMasks[0] | faceMasks[1] | faceMasks[2] | faceMasks[3] | faceMasks[4] | faceMasks[5];
            if (candidates == 0)
                continue;
            const std::uint8_t* row = &map.voxels[map.Index(x0, y, z)];
            unsigned solid = Scan::SolidMask16(row) << 1;
            if (hasLow && row[-1] != 0)
                solid |= 1u;
            if (hasHigh && row[ChunkSize] != 0)
                solid |= 0x20000u;
            const unsigned open = ~solid & rangeMask;
            if ((candidates & open) == 0)
                continue;
            RowFaces& r = rowFaces[rowCount++];
            r.y = y;
            r.z = z;
            r.any = candidates & open;
            for (int k = 0; k < 6; ++k) {
                r.masks[k] = faceMasks[k] & open;
                faceCount += static_cast<unsigned>(PopCount(r.masks[k]));
            }
        }
    return faceCount;
}

template <typename Scan>
void MeshChunkWith(const Map& map, int cx, int cy, int cz, VertexArray& vertices)
{
    // First every row's faces, counted, so that the array grows once to
    // exactly the size it needs: no doubling, no slack kept afterwards.
    RowFaces rowFaces[(ChunkSize + 2) * (ChunkSize + 2)];
    int rowCount = 0;
    const std::size_t faceCount = CountFaces<Scan>(map, cx, cy, cz, rowFaces, rowCount);
    if (faceCount == 0)
        return;
    const int x0 = cx * ChunkSize;

    const std::size_t first = vertices.size(), need = first + faceCount * 6;
    // An array that already holds vertices (several chunks in one) still
    // grows geometrically.
    if (need > vertices.capacity())
        vertices.reserve(first == 0 ? need : std::max(need, 2 * vertices.capacity()));
    vertices.resize(need);
    ChunkVertex* out = vertices.data() + first;
    for (int i = 0; i < rowCount; ++i) {
        const RowFaces& r = rowFaces[i];
        unsigned faces = r.any;
        while (faces != 0) {
            const int bit = LowestBit(faces);
            faces &= faces - 1;
            const int x = x0 - 1 + bit;
            for (int k = 0; k < 6; ++k)
                if (r.masks[k] >> bit & 1u) {
                    const int nx = x + NeighbourOffsets[k][0];
                    const int ny = r.y + NeighbourOffsets[k][1];
                    const int nz = r.z + NeighbourOffsets[k][2];
                    WriteFace(out, k, map.At(nx, ny, nz), nx, ny, nz);
                    out += 6;
                }
        }
    }
}

} // namespace

void MeshChunk(const Map& map, int cx, int cy, int cz, VertexArray& vertices, RowScanForm form)
{
    if (form == RowScanForm::Portable)
        MeshChunkWith<PortableRowScan>(map, cx, cy, cz, vertices);
    else
        MeshChunkWith<NativeRowScan>(map, cx, cy, cz, vertices);
}

std::size_t CountChunkVertices(const Map& map, int cx, int cy, int cz)
{
    RowFaces rowFaces[(ChunkSize + 2) * (ChunkSize + 2)];
    int rowCount = 0;
    return CountFaces<NativeRowScan>(map, cx, cy, cz, rowFaces, rowCount) * 6;
}
