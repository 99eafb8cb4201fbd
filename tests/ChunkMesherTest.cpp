// The chunk mesher's faces, and the fast mesher (both row-scan forms)
// against the literal scan.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "render/ChunkMesher.h"
#include "support/TestWorld.h"
#include "world/VoxelType.h"

namespace {

VertexArray Mesh(const Map& map, int cx, int cy, int cz)
{
    VertexArray v;
    MeshChunk(map, cx, cy, cz, v);
    return v;
}

// The normal of each face in order: one entry per six vertices.
std::vector<int> FaceOrder(const VertexArray& v)
{
    std::vector<int> ks;
    for (std::size_t i = 0; i < v.size(); i += 6)
        for (int k = 0; k < 6; ++k)
            if (std::memcmp(v[i].normal, FaceNormals[k], sizeof(float) * 3) == 0)
                ks.push_back(k);
    return ks;
}

const RowScanForm BothForms[] = {RowScanForm::Native, RowScanForm::Portable};

// The chunk meshed by the fast mesher with each row-scan form and by the
// literal scan, byte for byte.
void ExpectChunkSameAsReference(const Map& map, int cx, int cy, int cz, const char* what)
{
    VertexArray fast, slow;
    ReferenceMeshChunk(map, cx, cy, cz, slow);
    // The count the memory check relies on before any list is built.
    ASSERT_EQ(CountChunkVertices(map, cx, cy, cz), slow.size()) << what << " chunk " << cx << "," << cy << "," << cz;
    for (RowScanForm form : BothForms) {
        fast.clear();
        MeshChunk(map, cx, cy, cz, fast, form);
        ASSERT_TRUE(SameVertices(fast, slow)) << what << " chunk " << cx << "," << cy << "," << cz
                                              << (form == RowScanForm::Native ? " native" : " portable");
    }
}

// Every chunk of the map.
void ExpectSameAsReference(const Map& map, const char* what)
{
    for (int cz = 0; cz < 16; ++cz)
        for (int cy = 0; cy < 32; ++cy)
            for (int cx = 0; cx < 32; ++cx)
                ASSERT_NO_FATAL_FAILURE(ExpectChunkSameAsReference(map, cx, cy, cz, what));
}

} // namespace

TEST(ChunkMesher, LoneVoxelGivesSixFacesInScanOrder)
{
    std::unique_ptr<Map> map(EmptyMap());
    map->voxels[map->Index(20, 21, 22)] = Stone;
    const auto v = Mesh(*map, 1, 1, 1);
    ASSERT_EQ(v.size(), 36u);
    EXPECT_EQ(FaceOrder(v), (std::vector<int>{5, 3, 1, 0, 2, 4}));
    for (const ChunkVertex& vertex : v) {
        EXPECT_EQ(vertex.color[0], 162);
        EXPECT_EQ(vertex.spare, 0);
    }
    EXPECT_TRUE(Mesh(*map, 0, 1, 1).empty()); // neighbours of the chunk hold none of its faces
}

TEST(ChunkMesher, GrassTopFaceCornersNormalAndColour)
{
    std::unique_ptr<Map> map(EmptyMap());
    map->voxels[map->Index(10, 20, 130)] = Grass;
    map->voxels[map->Index(10, 20, 129)] = Dirt; // grass on dirt: no face between them
    const auto v = Mesh(*map, 0, 1, 8);
    const float corners[6][3] = {{11, 21, 131}, {10, 21, 131}, {10, 20, 131},
                                 {10, 20, 131}, {11, 20, 131}, {11, 21, 131}};
    bool found = false;
    for (std::size_t i = 0; i < v.size(); i += 6) {
        if (v[i].normal[2] != -1.0f)
            continue;
        found = true;
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(0, std::memcmp(v[i + j].position, corners[j], sizeof corners[j]));
            EXPECT_EQ(v[i + j].color[0], 93);
            EXPECT_EQ(v[i + j].color[1], 168);
            EXPECT_EQ(v[i + j].color[2], 39);
        }
    }
    EXPECT_TRUE(found);
    // Grass and dirt each have 5 faces: the shared one is never emitted.
    EXPECT_EQ(v.size() + Mesh(*map, 0, 1, 7).size(), 10u * 6);
}

TEST(ChunkMesher, BorderFacesBelongToTheSolidVoxelsChunk)
{
    std::unique_ptr<Map> map(new Map(new FillGenerator(Stone)));
    map->voxels[map->Index(31, 40, 40)] = Air; // in chunk 1, in front of (32, 40, 40)'s -x side
    const auto inChunk2 = Mesh(*map, 2, 2, 2);
    ASSERT_EQ(inChunk2.size(), 6u);
    EXPECT_EQ(FaceOrder(inChunk2), (std::vector<int>{1}));
    EXPECT_EQ(inChunk2[0].position[0], 32.0f);
    // Chunk 1 holds the other five faces around its own Air voxel.
    EXPECT_EQ(Mesh(*map, 1, 2, 2).size(), 30u);
    // Nothing toward the map's outside, nothing in sealed solid chunks.
    EXPECT_TRUE(Mesh(*map, 0, 0, 0).empty());
    EXPECT_TRUE(Mesh(*map, 31, 31, 15).empty());
    EXPECT_TRUE(Mesh(*map, 5, 5, 5).empty());
}

TEST(ChunkMesher, FastMeshEqualsLiteralScanOnGeneratedAndCarvedMaps)
{
    std::unique_ptr<Map> map(new Map(new BasicMapGenerator(SeededDraws(21))));
    ExpectSameAsReference(*map, "generated");
    // Carve across chunk faces, edges and corners, the bottom and the map's sides.
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> x(0, 511), z(0, 255);
    for (int i = 0; i < 300; ++i)
        map->CarveSphere(x(rng), x(rng), z(rng), 4.0f);
    for (int c : {0, 15, 16, 31, 32, 255, 256, 511})
        map->CarveSphere(c, c, std::min(c, 255), 4.0f);
    ExpectSameAsReference(*map, "carved");
}

TEST(ChunkMesher, FastMeshEqualsLiteralScanOnNoise)
{
    // Sparse noise with every voxel type, including bytes beyond the palette.
    std::mt19937 rng(8);
    std::unique_ptr<Map> map(new Map(new RuleGenerator([&rng](int, int, int z) {
        const unsigned r = rng();
        if (z > 40)
            return 0;
        return static_cast<int>(r % 7 == 0 ? r % 5 : (r % 3 == 0 ? 0 : 3));
    })));
    for (int cz = 0; cz < 4; ++cz)
        for (int cy = 0; cy < 32; cy += 5)
            for (int cx = 0; cx < 32; cx += 3)
                ASSERT_NO_FATAL_FAILURE(ExpectChunkSameAsReference(*map, cx, cy, cz, "noise"));
}
