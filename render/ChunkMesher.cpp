// ChunkMesher: faces found with one bit per voxel along each row of x.
//
// Bit i of a row mask stands for x = 16 * cx - 1 + i, so bits 1..16 are the
// chunk's own voxels and bits 0 and 17 the surrounding layer. For every row
// of the scanned region the masks say, per face k, which Air voxels have a
// solid neighbour inside the chunk; walking the set bits upward reproduces
// the voxel-by-voxel scan order exactly.
#include "render/ChunkMesher.h"

#include <algorithm>
#include <cstring>

#include "world/Map.h"
#include "world/VoxelType.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    ChunkVertex faces[6][4][6];
    FaceTemplates()
    {
        static const int order[6] = {0, 1, 2, 2, 3, 0};
        std::memset(faces, 0, sizeof faces);
        for (int k = 0; k < 6; ++k)
            for (int t = 0; t < 4; ++t)
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
    const ChunkVertex* source = templates.faces[k][type < 4 ? type : 0];
    const float fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
    for (int v = 0; v < 6; ++v) {
        out[v] = source[v];
        out[v].position[0] += fx;
        out[v].position[1] += fy;
        out[v].position[2] += fz;
    }
}

// Solid bits of the 16 voxels starting at `row`, bit j for row[j].
inline unsigned SolidMask16(const std::uint8_t* row)
{
#ifdef __SSE2__
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const unsigned air = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    return ~air & 0xFFFFu;
#else
    unsigned mask = 0;
    for (int j = 0; j < 16; ++j)
        mask |= (row[j] != 0 ? 1u : 0u) << j;
    return mask;
#endif
}

// Whether 16 voxels from `row` hold any solid voxel and any Air voxel.
struct RowSummary {
    bool anySolid = false;
    bool anyAir = false;
};

#ifdef __SSE2__
// Sums up many rows at once: OR finds a solid byte, unsigned minimum an Air one.
struct RowAccumulator {
    __m128i any = _mm_setzero_si128();
    __m128i least = _mm_set1_epi8(static_cast<char>(0xFF));
    void Add(const std::uint8_t* row)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
        any = _mm_or_si128(any, v);
        least = _mm_min_epu8(least, v);
    }
    RowSummary Summary() const
    {
        const __m128i zero = _mm_setzero_si128();
        return {_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF,
                _mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0};
    }
};
#else
struct RowAccumulator {
    RowSummary summary;
    void Add(const std::uint8_t* row)
    {
        for (int j = 0; j < 16; ++j) {
            summary.anySolid |= row[j] != 0;
            summary.anyAir |= row[j] == 0;
        }
    }
    RowSummary Summary() const { return summary; }
};
#endif

// For an all-solid chunk: true when every voxel across its six faces is
// solid too (or the map ends there), so it has no faces at all.
bool SealedSolid(const Map& map, int x0, int y0, int z0)
{
    RowAccumulator layers;
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

void MeshChunk(const Map& map, int cx, int cy, int cz, VertexArray& vertices)
{
    const int x0 = cx * ChunkSize, y0 = cy * ChunkSize, z0 = cz * ChunkSize;
    const int W = map.width, D = map.depth, H = map.height;

    // Most chunks are all Air or buried solid: settle those in one pass.
    // Faces belong to solid voxels of this chunk.
    RowAccumulator rows;
    for (int lz = 0; lz < ChunkSize; ++lz)
        for (int ly = 0; ly < ChunkSize; ++ly)
            rows.Add(&map.voxels[map.Index(x0, y0 + ly, z0 + lz)]);
    const RowSummary summary = rows.Summary();
    if (!summary.anySolid || (!summary.anyAir && SealedSolid(map, x0, y0, z0)))
        return;

    // The chunk's own rows: in-chunk solid masks at bits 1..16.
    unsigned inChunk[ChunkSize][ChunkSize];
    for (int lz = 0; lz < ChunkSize; ++lz)
        for (int ly = 0; ly < ChunkSize; ++ly)
            inChunk[lz][ly] = SolidMask16(&map.voxels[map.Index(x0, y0 + ly, z0 + lz)]) << 1;

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

    // First every row's faces, counted, so that the array grows once to
    // exactly the size it needs: no doubling, no slack kept afterwards.
    struct RowFaces {
        int y, z;
        unsigned masks[6]; // bit i: the Air voxel at x = x0 - 1 + i shows face k
        unsigned any;
    };
    RowFaces rowFaces[(ChunkSize + 2) * (ChunkSize + 2)];
    int rowCount = 0;
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
            unsigned solid = SolidMask16(row) << 1;
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
                faceCount += static_cast<unsigned>(__builtin_popcount(r.masks[k]));
            }
        }
    if (faceCount == 0)
        return;

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
            const int bit = __builtin_ctz(faces);
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
