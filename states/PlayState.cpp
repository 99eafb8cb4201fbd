// PlayState: one pass of play, from input to the presented frame.
#include "states/PlayState.h"

#include <GL/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <iostream>

#include "core/FaultHandler.h"
#include "net/Client.h"
#include "core/FrameTimer.h"
#include "core/PrintableText.h"
#include "core/GameEngine.h"
#include "platform/Clock.h"
#include "platform/Memory.h"
#include "render/Camera.h"
#include "render/ListMemory.h"
#include "render/MapRenderer.h"
#include "render/Overlay.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "script/Settings.h"
#include "states/FreeLookController.h"
#include "states/LiveInput.h"
#include "demo/TimedemoReport.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/WalkingBody.h"
#include "world/WorldFile.h"

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

PlayState playState;

PlaySetup::PlaySetup() : source(&livePassSource) {}

// Joining gives up when the server is silent this long.
constexpr std::uint32_t JoinSilenceMs = 10000;
// After a lost connection, joining again is tried this long.
constexpr std::uint32_t RejoinMs = 40000;

const std::uint8_t SelectionEdges[24] = {0, 1, 1, 2, 2, 3, 3, 0, 0, 4, 1, 5, 2, 6, 3, 7, 4, 5, 5, 6, 6, 7, 7, 4};

void SelectionCorners(const VoxelHit& hit, float corners[8][3])
{
    const float lo[3] = {hit.x - 0.01f, hit.y - 0.01f, hit.z - 0.01f};
    const float hi[3] = {hit.x + 1.01f, hit.y + 1.01f, hit.z + 1.01f};
    // Corners 0-1-2-3 go round the lower square, 4-7 repeat them on top.
    static const int xHigh[8] = {0, 1, 1, 0, 0, 1, 1, 0};
    static const int yHigh[8] = {0, 0, 1, 1, 0, 0, 1, 1};
    for (int c = 0; c < 8; ++c) {
        corners[c][0] = xHigh[c] ? hi[0] : lo[0];
        corners[c][1] = yHigh[c] ? hi[1] : lo[1];
        corners[c][2] = c >= 4 ? hi[2] : lo[2];
    }
}

void PlayState::Init()
{
    passInput = PassInput();
    passPlayed = false;
    progress = PlayProgress();
    heldToggles = 0;
    digsRefused = false;
    // A kept world gives the seed; a demo replayed in it is checked against it below.
    PlayerPose start;
    const unsigned seed = setup.network ? JoinServer()
                          : setup.world ? setup.world->Facts().seed
                                        : setup.source->SeedForWorld();
    if (setup.network) {
        map = setup.network->World();
        setup.network->KeepAliveUntilPump();
    } else {
        AllocationPurpose purpose("generating the terrain");
        map = new Map(new BasicMapGenerator(StandardRandom(), seed));
    }
    if (setup.world) {
        AllocationPurpose purpose("loading the kept world");
        std::string reason;
        if (!setup.world->Load(*map, reason))
            FatalExit(ExitStatus::BadWorld, reason);
        std::cout << "World loaded: " << setup.world->StoredChunks() << " changed chunks, checksum "
                  << ChecksumText(setup.world->CommittedChecksum()) << std::endl;
    }
    {
        const VideoSize size = CurrentVideoSize();
        std::string reason;
        if (!setup.source->WorldBuilt(*map, size.w, size.h, reason)) {
            if (setup.world)
                reason = "demo refused: it was not recorded from the state world " + QuotedName(setup.world->Path()) +
                         " is in now (a demo replays only from the world as it was when its recording began)";
            FatalExit(ExitStatus::BadDemo, reason);
        }
        // A demo starts where it was recorded; a kept world where it was left.
        if (!setup.source->StartPose(start) && !(setup.world && setup.world->StoredPose(start)) &&
            !(setup.network && setup.network->StoredPose(start)))
            start = StartPose();
        if (setup.observer)
            setup.observer->WorldBuilt(seed, *map, size.w, size.h, start);
    }
    {
        static const char* const what = "building the terrain's display lists";
        AllocationPurpose purpose(what);
        // Checked first: the driver crashes where it runs out while compiling.
        const std::string shortage = ListMemoryShortage(TerrainListNeed(CountMapVertices(*map)), AvailableMemory());
        if (!shortage.empty())
            FatalExit(ExitStatus::OutOfMemory, std::string("out of memory while ") + what + ": " + shortage);
        renderer = new MapRenderer(map);
    }
    SDL_WM_GrabInput(SDL_GRAB_ON);
    SDL_ShowCursor(SDL_DISABLE);
    SDL_EnableKeyRepeat(500, 30);
    // Play starts looking straight ahead: the pointer's travel over the
    // splash is not a turn. Without this, how much of it the first pass saw
    // depended on when the system delivered it (late, under Wine on a busy
    // machine).
    SDL_GetRelativeMouseState(nullptr, nullptr);
    const VideoSize size = CurrentVideoSize();
    SetPlayDrawingState(size.w, size.h);
    camera = new Camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
    controller = new FreeLookController(camera, PlayStartPosition, 0, 0);
    StartFrom(start, *controller, progress, *map);
    if (setup.world)
        setup.world->KeepPose(CurrentPose(*controller, progress));
    std::cout << "PlayState Init" << std::endl;
}

void PlayState::Cleanup()
{
    if (map) {
        setup.source->PlayEnded(*map);
        if (setup.observer)
            setup.observer->PlayEnded(*map);
    }
    delete camera;
    camera = nullptr;
    if (setup.network && map && renderer) {
        // The server's world outlives play (its last edits come while
        // leaving): the renderer stops following it.
        auto& list = map->observers;
        list.erase(std::remove(list.begin(), list.end(), static_cast<MapChangeObserver*>(renderer)), list.end());
    } else {
        delete map;
    }
    map = nullptr;
    delete renderer;
    renderer = nullptr;
    delete controller;
    controller = nullptr;
    std::cout << "PlayState Cleanup" << std::endl;
}

void PlayState::Pause() { std::cout << "PlayState Pause" << std::endl; }

void PlayState::Resume() { std::cout << "PlayState Resume" << std::endl; }

void PlayState::HandleEvents(GameEngine* game)
{
    setup.source->BeforeEvents(passInput);
    SDL_Event event;
    PassInput presses;
    while (SDL_PollEvent(&event)) {
        if ((event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) || IsCloseRequest(event))
            game->Quit();
        ReadLivePress(event, heldToggles, presses);
    }
    setup.source->PressesSeen(presses, passInput);
}

void PlayState::Update(GameEngine* game)
{
    const PassStep step = setup.source->Next(passInput);
    passPlayed = step == PassStep::Play;
    if (step == PassStep::Stop)
        game->Quit();
    if (!passPlayed)
        return;
    frameTimer.Tick();
    std::cout << "timeGetTime delta: " << frameTimer.delta << std::endl;
    hit = PlayPass(*controller, *map, passInput, progress, [this](const VoxelEdit& edit) { return MayEdit(edit); });
    if (setup.world)
        setup.world->KeepPose(CurrentPose(*controller, progress));
    if (setup.observer)
        setup.observer->PassPlayed(passInput);
    passInput = PassInput();
    if (setup.network && !PumpServer(game))
        game->Quit();
}

unsigned PlayState::JoinServer()
{
    std::string reason;
    bool refused = false;
    // After a lost connection, tries again for a while: a server restarted
    // after a crash takes seconds, and one that lost sight of us keeps our
    // name until its connection times out.
    const std::uint32_t until = SystemMilliseconds() + (rejoining ? RejoinMs : 0);
    while (!setup.network->Join(JoinSilenceMs, reason, refused)) {
        if (!rejoining || static_cast<std::int32_t>(SystemMilliseconds() - until) >= 0)
            FatalExit(refused ? ExitStatus::ServerRefused : ExitStatus::NoServer, reason);
        std::cout << "Joining again failed: " << reason << std::endl;
        SDL_Delay(500);
    }
    PlayerPose left;
    std::cout << "Joined the server as player " << setup.network->Player() << ": seed " << setup.network->Seed()
              << ", " << setup.network->ChunksReceived() << " changed chunks, starting "
              << (setup.network->StoredPose(left) ? "where this name left" : "at the usual start") << std::endl;
    return setup.network->Seed();
}

bool PlayState::PumpServer(GameEngine*)
{
    std::string ending;
    bool farewell = false;
    const bool going = setup.network->Pump(CurrentPose(*controller, progress), ending, farewell);
    for (const std::string& line : setup.network->TakeLog())
        std::cout << line << std::endl;
    if (going)
        return true;
    if (!farewell) {
        // The world is the server's: play goes on in it once joined again.
        std::cout << "Veldmarrow: " << ending << "; joining again" << std::endl;
        std::cerr << "Veldmarrow: " << ending << "; joining again" << std::endl;
        Cleanup();
        rejoining = true;
        Init();
        rejoining = false;
        return true;
    }
    // The server stopped: the session ends as Escape would end it.
    std::cout << "Veldmarrow: " << ending << std::endl;
    std::cerr << "Veldmarrow: " << ending << std::endl;
    return false;
}

bool PlayState::MayEdit(const VoxelEdit& edit)
{
    if (!RoomToDig({edit.x, edit.y, edit.z}))
        return false;
    if (setup.network) {
        setup.network->Request(edit);
        return false;
    }
    return true;
}

bool PlayState::RoomToDig(const VoxelHit& at)
{
    const std::string shortage = ListMemoryShortage(
        RebuildListNeed(renderer->VerticesAfterCarve(at.x, at.y, at.z, DigRadius)), AvailableMemory());
    if (shortage.empty()) {
        digsRefused = false;
        return true;
    }
    if (!digsRefused) {
        const std::string line = "digging stopped: out of memory for the dug chunks' display lists (" + shortage +
                                 "); play goes on, and each dig is tried again";
        std::cout << line << std::endl;
        std::cerr << "Veldmarrow: " << line << std::endl;
    }
    digsRefused = true;
    return false;
}

void SetPlayDrawingState(int width, int height)
{
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    if (settings.antialiasing != 0)
        glEnable(GL_MULTISAMPLE);
}

void DrawPlayFrame(MapRenderer& renderer, const Camera& camera, const VoxelHit& hit, const SlotRow* slots,
                   const std::vector<BodyBox>* bodies)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    {
        AllocationPurpose purpose("rebuilding the dug chunks' display lists");
        renderer.Draw(camera);
    }
    if (hit.x >= 0) {
        float corners[8][3];
        SelectionCorners(hit, corners);
        glEnableClientState(GL_VERTEX_ARRAY);
        glColor3f(1, 1, 1);
        glVertexPointer(3, GL_FLOAT, 0, corners);
        glDrawElements(GL_LINES, 24, GL_UNSIGNED_BYTE, SelectionEdges);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    if (bodies)
        DrawBodies(*bodies);
    if (slots) {
        const VideoSize size = CurrentVideoSize();
        DrawOverlay(size.w, size.h, *slots);
    }
    SDL_GL_SwapBuffers();
}

void PlayState::Draw(GameEngine* game)
{
    std::vector<BodyBox> bodies;
    if (setup.network)
        for (const OtherBody& other : setup.network->Others()) {
            BodyBox box;
            // Poses are the eyes, walking or flying; the box stands below them.
            box.feet[0] = other.pose.position[0];
            box.feet[1] = other.pose.position[1];
            box.feet[2] = other.pose.position[2] - EyeHeight;
            BodyColour(other.player, box.colour);
            bodies.push_back(box);
        }
    DrawPlayFrame(*renderer, *camera, hit, progress.hud ? &progress.slots : nullptr, setup.network ? &bodies : nullptr);
    if (setup.source->PassDrawn(passPlayed) == PassStep::Stop)
        game->Quit();
}
