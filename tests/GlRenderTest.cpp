// Rendering with a real OpenGL context (run under a virtual X display).
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/GameEngine.h"
#include "render/Camera.h"
#include "render/LightPool.h"
#include "render/MapRenderer.h"
#include "script/Settings.h"
#include "states/MenuState.h"
#include "states/PlayState.h"
#include "support/TestWorld.h"
#include "world/VoxelType.h"

namespace {

GameEngine* engine = nullptr;
const int Width = 320, Height = 240;

std::vector<unsigned char> ReadFrame()
{
    std::vector<unsigned char> pixels(Width * Height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, Width, Height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Keeps a frame as a PPM picture for a person to look at, in the folder
// VELDMARROW_FRAMES names; a plain test run leaves no file behind.
void SaveFrame(const std::string& name, const std::vector<unsigned char>& frame)
{
    const char* folder = std::getenv("VELDMARROW_FRAMES");
    if (folder == nullptr || folder[0] == '\0')
        return;
    const std::string path = std::string(folder) + "/veldmarrow-" + name + ".ppm";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fprintf(f, "P6 %d %d 255\n", Width, Height);
        for (int y = Height - 1; y >= 0; --y)
            std::fwrite(&frame[y * Width * 3], 1, Width * 3, f);
        std::fclose(f);
    }
}

const unsigned char* PixelAt(const std::vector<unsigned char>& frame, int x, int yFromTop)
{
    return &frame[((Height - 1 - yFromTop) * Width + x) * 3];
}

// The play state's GL set-up around a given map.
struct Scene {
    std::unique_ptr<Map> map;
    std::unique_ptr<MapRenderer> renderer;
    std::unique_ptr<Camera> camera;
    explicit Scene(Map* m) : map(m)
    {
        renderer.reset(new MapRenderer(map.get()));
        glViewport(0, 0, Width, Height);
        camera.reset(new Camera(256, 256, 128, 80, 0.1f, 10000));
        glClearColor(0, 0, 0, 1);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
    }
    ~Scene()
    {
        map.reset(); // the map goes first; the renderer must not need it
        renderer.reset();
    }
    void Pose(float x, float y, float z, float yaw, float pitch)
    {
        camera->position[0] = x;
        camera->position[1] = y;
        camera->position[2] = z;
        camera->yaw = yaw;
        camera->pitch = pitch;
        camera->UpdateFrustum();
    }
    std::vector<unsigned char> Frame(bool cull)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (cull)
            renderer->Draw(*camera);
        else
            renderer->DrawUnculled(*camera);
        return ReadFrame();
    }
};

int Brightness(const unsigned char* p) { return p[0] + p[1] + p[2]; }

} // namespace

TEST(GlRender, CulledFrameEqualsUnculledFrame)
{
    Scene scene(new Map(new BasicMapGenerator(SeededDraws(17))));
    const float poses[][5] = {
        {256, 256, 128, 0, 0}, {256, 256, 200, 30, -20}, {10, 10, 160, 225, -35},
        {500, 20, 150, 100, -5}, {256, 256, 300, 0, -89}, {256, 600, 140, 180, 0},
    };
    for (const auto& p : poses) {
        scene.Pose(p[0], p[1], p[2], p[3], p[4]);
        const auto culled = scene.Frame(true);
        const auto all = scene.Frame(false);
        EXPECT_EQ(culled, all) << "pose " << p[0] << "," << p[1] << "," << p[2];
        int lit = 0;
        for (std::size_t i = 0; i < culled.size(); i += 3)
            lit += culled[i] + culled[i + 1] + culled[i + 2] > 0;
        EXPECT_GT(lit, 100) << "the frame shows terrain";
    }
}

TEST(GlRender, LitTopsAreBrighterThanSides)
{
    // A grass plain (top at z = 100) and a grass cliff from y = 260 up to z = 140.
    Scene scene(new Map(new RuleGenerator(
        [](int, int y, int z) { return z < 100 || (y >= 260 && z < 140) ? Grass : Air; })));
    scene.Pose(256, 200, 110, 0, -20);
    const auto frame = scene.Frame(true);
    SaveFrame("lit", frame);
    const unsigned char* top = PixelAt(frame, Width / 2, Height - 10); // the plain, close by
    const unsigned char* side = PixelAt(frame, Width / 2, Height / 8); // the cliff face
    EXPECT_GT(top[1], 0);
    EXPECT_GT(side[1], 0);
    EXPECT_GT(Brightness(top), Brightness(side) + 60);
}

TEST(GlRender, CarvedHoleShowsAfterOneDrawAndThePoolIsRestored)
{
    Scene scene(new Map(new RuleGenerator([](int, int, int z) { return z < 100 ? (z == 99 ? Grass : Stone) : Air; })));
    scene.Pose(256.5f, 256.5f, 110, 0, -90);
    const auto before = scene.Frame(true);
    const float* o = scene.camera->position;
    const VoxelHit hit = PickVoxel(o, scene.camera->direction, 511, 511, 255, *scene.map);
    ASSERT_EQ(hit.z, 99);
    scene.map->CarveSphere(hit.x, hit.y, hit.z, 4.0f);
    EXPECT_FALSE(scene.renderer->grid.dirtyChunks.empty());
    const auto after = scene.Frame(true);
    EXPECT_TRUE(scene.renderer->grid.dirtyChunks.empty());
    const unsigned char* centreBefore = PixelAt(before, Width / 2, Height / 2);
    const unsigned char* centreAfter = PixelAt(after, Width / 2, Height / 2);
    EXPECT_GT(centreBefore[1], centreBefore[0] + 20) << "grass seen before";
    EXPECT_NE(std::vector<unsigned char>(centreBefore, centreBefore + 3),
              std::vector<unsigned char>(centreAfter, centreAfter + 3));
    EXPECT_GT(centreAfter[0], centreAfter[1] / 2) << "stone (grey) at the bottom of the hole";
    std::vector<int> expected;
    for (int i = 0; i < 8; ++i)
        expected.push_back(GL_LIGHT0 + i);
    EXPECT_EQ(lightPool.ids, expected);
    EXPECT_EQ(scene.map->light.lightId, 0);
}

TEST(GlRender, LongDigKeepsDeadListStorageBoundedAndThePictureOfAFreshRenderer)
{
    Scene scene(new Map(new BasicMapGenerator(SeededDraws(5))));
    // A trench along x, each carve followed by a frame looking at the sky
    // (cheap), so the renderer rebuilds and compacts as in play.
    for (int i = 0; i < 300; ++i) {
        const int x = 100 + i, y = 200;
        int z = 255;
        while (z > 0 && scene.map->At(x, y, z) == Air)
            --z;
        scene.map->CarveSphere(x, y, z, 4.0f);
        scene.Pose(256, 256, 250, 0, 89);
        scene.Frame(true);
    }
    for (int i = 0; i < 200 && scene.renderer->listStorage.GenerationToCompact() >= 0; ++i)
        scene.Frame(true);
    EXPECT_GT(scene.renderer->compactor.figures.lists, 0) << "the dig left enough dead storage to compact";
    EXPECT_EQ(scene.renderer->listStorage.GenerationToCompact(), -1);
    EXPECT_LE(scene.renderer->listStorage.DeadVertices(), CompactionPacing::BacklogLimit);

    scene.Pose(250, 150, 180, 0, -30);
    const auto dug = scene.Frame(true);
    MapRenderer fresh(scene.map.get());
    scene.map->observers.pop_back();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fresh.Draw(*scene.camera);
    EXPECT_EQ(dug, ReadFrame());
}

TEST(GlRender, ChunkThatLosesAllFacesDropsItsList)
{
    // A 3 x 3 x 3 block of stone inside chunk (2, 2, 2) and nothing else.
    Scene scene(new Map(new RuleGenerator([](int x, int y, int z) {
        return x >= 39 && x <= 41 && y >= 39 && y <= 41 && z >= 39 && z <= 41 ? Stone : Air;
    })));
    Chunk& chunk = scene.renderer->grid.At(2, 2, 2);
    ASSERT_TRUE(chunk.hasGeometry);
    ASSERT_NE(chunk.displayList, 0u);
    scene.map->CarveSphere(40, 40, 40, 4.0f);
    scene.Pose(40.5f, 20, 40.5f, 0, 0);
    const auto frame = scene.Frame(true);
    EXPECT_FALSE(chunk.hasGeometry);
    EXPECT_EQ(chunk.displayList, 0u);
    EXPECT_FALSE(chunk.queued);
    for (unsigned char c : frame)
        ASSERT_EQ(c, 0) << "nothing is left to draw";
}

TEST(GlRender, EmptyLightPoolDrawsUnlitWithoutCrashing)
{
    Scene scene(new Map(new RuleGenerator([](int, int, int z) { return z < 100 ? Stone : Air; })));
    scene.Pose(256, 256, 110, 0, -90);
    std::vector<int> saved;
    saved.swap(lightPool.ids);
    const auto frame = scene.Frame(true);
    saved.swap(lightPool.ids);
    EXPECT_TRUE(saved.empty());
    const unsigned char* centre = PixelAt(frame, Width / 2, Height / 2);
    EXPECT_EQ(centre[0], 162); // the palette colour, unlit
    EXPECT_EQ(lightPool.ids.size(), 8u);
}

TEST(GlRender, MenuStateShowsItsPictureCentred)
{
    namespace fs = std::filesystem;
    const char* tmp = std::getenv("TMPDIR");
    const fs::path dir = fs::path(tmp != nullptr && tmp[0] != '\0' ? tmp : fs::temp_directory_path()) /
                         ("veldmarrow-menu-" + std::to_string(SDL_GetTicks()) + "-" + std::to_string(std::rand()));
    ASSERT_TRUE(fs::create_directory(dir));
    const fs::path cwd = fs::current_path();
    // A 31 x 21 picture: red left half, blue right half.
    SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 31, 21, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_Rect left = {0, 0, 15, 21}, right = {15, 0, 16, 21};
    SDL_FillRect(picture, &left, SDL_MapRGB(picture->format, 220, 10, 10));
    SDL_FillRect(picture, &right, SDL_MapRGB(picture->format, 10, 10, 220));
    fs::current_path(dir);
    SDL_SaveBMP(picture, "menu.bmp");
    SDL_FreeSurface(picture);

    engine->ChangeState(&menuState);
    menuState.Draw(engine);
    // Mesa's software swap copies the back buffer out and keeps it, so the
    // back buffer still holds the presented picture.
    const auto frame = ReadFrame();
    SaveFrame("menu", frame);
    engine->states.back()->Cleanup();
    engine->states.clear();
    // Offsets (320 - 31) / 2 = 144 and (240 - 21) / 2 = 109 from the top.
    EXPECT_EQ(PixelAt(frame, 144, 109)[0], 220);
    EXPECT_EQ(PixelAt(frame, 174, 129)[2], 220);
    EXPECT_EQ(PixelAt(frame, 143, 109)[0], 0);
    EXPECT_EQ(PixelAt(frame, 175, 109)[2], 0);
    EXPECT_EQ(PixelAt(frame, 150, 130)[0], 0);

    // A missing or corrupt picture: nothing drawn, nothing freed, no crash.
    for (const char* content : {static_cast<const char*>(nullptr), "BM\x36\x00\x00\x00garbage garbage"}) {
        std::remove("menu.bmp");
        if (content != nullptr)
            if (FILE* f = std::fopen("menu.bmp", "wb")) {
                std::fwrite(content, 1, 22, f);
                std::fclose(f);
            }
        engine->ChangeState(&menuState);
        EXPECT_EQ(menuState.picture, nullptr);
        menuState.Draw(engine);
        menuState.Cleanup();
        engine->states.clear();
    }
    std::remove("menu.bmp");
    fs::current_path(cwd);
    fs::remove(dir);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    settings = {false, Width, Height, 0, false};
    engine = new GameEngine;
    engine->Init(settings);
    const int result = RUN_ALL_TESTS();
    engine->Cleanup();
    delete engine;
    return result;
}
