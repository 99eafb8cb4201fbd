// Reference implementations kept deliberately literal.
#include "support/TestWorld.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "world/VoxelType.h"

void RuleGenerator::Generate(Map& map)
{
    for (int z = 0; z < map.height; ++z)
        for (int y = 0; y < map.depth; ++y)
            for (int x = 0; x < map.width; ++x)
                map.voxels[map.Index(x, y, z)] = static_cast<std::uint8_t>(fill(x, y, z));
}

void FillGenerator::Generate(Map& map)
{
    std::memset(map.voxels, value, static_cast<std::size_t>(map.width) * map.depth * map.height);
}

RandomSource FixedDraws(std::vector<int> draws, unsigned* seedSeen)
{
    auto next = std::make_shared<std::size_t>(0);
    auto values = std::make_shared<std::vector<int>>(std::move(draws));
    return {[seedSeen](unsigned s) {
                if (seedSeen)
                    *seedSeen = s;
            },
            [next, values] { return (*values)[(*next)++ % values->size()]; }};
}

RandomSource SeededDraws(unsigned seed)
{
    auto state = std::make_shared<unsigned>(seed * 2654435761u + 1);
    return {[](unsigned) {}, [state] {
                *state = *state * 1103515245u + 12345u;
                return static_cast<int>((*state >> 16) & 0x7FFF);
            }};
}

void ReferenceGenerate(Map& map, RandomSource random)
{
    const int W = map.width, D = map.depth, Z = map.height;
    random.seed(0);
    const int gridW = W / 16 + 1, gridD = D / 16 + 1;
    std::vector<float> grid(gridW * gridD);
    for (int i = 0; i < gridW * gridD; ++i) {
        const int r = random.draw();
        grid[i] = static_cast<float>((r + 1) / 32767.0 * 30.0 + 115.0);
    }
    for (int y = 0; y < D; ++y)
        for (int x = 0; x < W; ++x) {
            const int gx = x / 16, gy = y / 16;
            const float h00 = grid[gy * gridW + gx], h10 = grid[gy * gridW + gx + 1];
            const float h01 = grid[(gy + 1) * gridW + gx], h11 = grid[(gy + 1) * gridW + gx + 1];
            const float wy = static_cast<float>(((y % 16) + 1) * 0.0625);
            const float wx = static_cast<float>(((x % 16) + 1) * 0.0625);
            const float a = h00 + (h01 - h00) * wy;
            const float b = h10 + (h11 - h10) * wy;
            const float h = a + (b - a) * wx;
            const float half = h + 0.5f;
            const int S = static_cast<int>(std::floor(half));
            for (int z = 0; z < Z; ++z) {
                int t = Air;
                if (z < S - 5)
                    t = Stone;
                else if (z < S)
                    t = Dirt;
                else if (z == S)
                    t = Grass;
                map.voxels[map.Index(x, y, z)] = static_cast<std::uint8_t>(t);
            }
        }
}

namespace {
void ReferenceEmitFace(const Map& map, int k, VertexArray& out, int x, int y, int z)
{
    const int t = map.voxels[map.Index(x, y, z)];
    static const int order[6] = {0, 1, 2, 2, 3, 0};
    for (int v = 0; v < 6; ++v) {
        ChunkVertex vertex = {};
        for (int a = 0; a < 3; ++a) {
            const int base = a == 0 ? x : a == 1 ? y : z;
            vertex.position[a] = static_cast<float>(base + FaceCorners[k][order[v]][a]);
            vertex.normal[a] = FaceNormals[k][a];
            vertex.color[a] = Palette[t < VoxelTypeCount ? t : 0][a]; // no colour beyond the palette
        }
        out.push_back(vertex);
    }
}
} // namespace

void ReferenceMeshChunk(const Map& map, int cx, int cy, int cz, VertexArray& out)
{
    const int chunks[3] = {map.width / 16, map.depth / 16, map.height / 16};
    const int c[3] = {cx, cy, cz};
    int lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = c[a] > 0 ? 16 * c[a] - 1 : 0;
        hi[a] = c[a] < chunks[a] - 1 ? 16 * c[a] + 16 : 16 * c[a] + 15;
    }
    for (int z = lo[2]; z <= hi[2]; ++z)
        for (int y = lo[1]; y <= hi[1]; ++y)
            for (int x = lo[0]; x <= hi[0]; ++x) {
                if (map.voxels[map.Index(x, y, z)] != Air)
                    continue;
                for (int k = 0; k < 6; ++k) {
                    const int nx = x + NeighbourOffsets[k][0];
                    const int ny = y + NeighbourOffsets[k][1];
                    const int nz = z + NeighbourOffsets[k][2];
                    if (nx < 0 || nx >= map.width || ny < 0 || ny >= map.depth || nz < 0 || nz >= map.height)
                        continue;
                    if (nx / 16 != cx || ny / 16 != cy || nz / 16 != cz)
                        continue;
                    if (map.voxels[map.Index(nx, ny, nz)] == Air)
                        continue;
                    ReferenceEmitFace(map, k, out, nx, ny, nz);
                }
            }
}

bool SameVertices(const VertexArray& a, const VertexArray& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(ChunkVertex)) == 0);
}

Map* EmptyMap()
{
    return new Map(new FillGenerator(Air));
}
