// Differential meshing: arbitrary voxel patterns in and around one chunk,
// the fast mesher (with each row-scan form) against the literal reference
// scan, byte for byte.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "render/ChunkMesher.h"
#include "support/TestWorld.h"
#include "world/MapDimensions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::unique_ptr<Map> map(EmptyMap());
    if (size < 3)
        return 0;
    // The chunk: anywhere, including the map's corners and faces.
    const int cx = data[0] % (MapWidth / ChunkSize), cy = data[1] % (MapDepth / ChunkSize),
              cz = data[2] % (MapHeight / ChunkSize);
    data += 3;
    size -= 3;
    auto clampTo = [](int v, int n) { return v < 0 ? 0 : v >= n ? n - 1 : v; };
    const int x0 = clampTo(ChunkSize * cx - 1, MapWidth), x1 = clampTo(ChunkSize * (cx + 1), MapWidth);
    const int y0 = clampTo(ChunkSize * cy - 1, MapDepth), y1 = clampTo(ChunkSize * (cy + 1), MapDepth);
    const int z0 = clampTo(ChunkSize * cz - 1, MapHeight), z1 = clampTo(ChunkSize * (cz + 1), MapHeight);
    // Input bytes fill the region (cycling), mostly Air or Stone, with
    // every palette type and values beyond it now and then.
    std::size_t i = 0;
    for (int z = z0; z <= z1; ++z)
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const std::uint8_t b = size ? data[i++ % size] : 0;
                map->voxels[map->Index(x, y, z)] = b < 100 ? 0 : b < 200 ? 3 : static_cast<std::uint8_t>(b % 6);
            }
    VertexArray fast, portable, slow;
    MeshChunk(*map, cx, cy, cz, fast);
    MeshChunk(*map, cx, cy, cz, portable, RowScanForm::Portable);
    ReferenceMeshChunk(*map, cx, cy, cz, slow);
    if (!SameVertices(fast, slow) || !SameVertices(portable, slow))
        std::abort();
    for (int z = z0; z <= z1; ++z)
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                map->voxels[map->Index(x, y, z)] = 0;
    return 0;
}
