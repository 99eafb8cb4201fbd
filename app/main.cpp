// The entry routine, the composition root above every layer: log files,
// settings, the engine, the main loop and every ending.
#include <SDL/SDL.h>

#include <iostream>
#include <memory>

#include "core/CommandLine.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "core/FaultHandler.h"
#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "core/GameState.h"
#include "core/LogFile.h"
#include "app/WorldKeeper.h"
#include "script/ScriptHost.h"
#include "script/Settings.h"
#include "states/DemoSession.h"
#include "states/IntroState.h"
#include "states/PlayState.h"

namespace {

// The demo session asked for, opened (refused with status 5 and the reason),
// with the settings and the states set up for it; null for a normal run.
std::unique_ptr<DemoSession> StartDemo(const CommandLine& command, DemoSession::Clock::time_point started,
                                       GameEngine& engine)
{
    if (command.mode == RunMode::Normal)
        return nullptr;
    const DemoMode mode = command.mode == RunMode::Record ? DemoMode::Record
                          : command.mode == RunMode::Play ? DemoMode::Play
                                                          : DemoMode::Timedemo;
    auto demo = std::make_unique<DemoSession>(mode, started);
    std::string reason;
    if (!demo->Open(command.demoFile, reason))
        FatalExit(ExitStatus::BadDemo, reason);
    if (demo->Replaying()) {
        // The picture is the recording's only at the recorded size.
        settings.screenWidth = static_cast<int>(demo->Recording().screenWidth);
        settings.screenHeight = static_cast<int>(demo->Recording().screenHeight);
        introState.startPlayAtOnce = true;
    }
    engine.vsyncOff = mode == DemoMode::Timedemo;
    playState.demo = demo.get();
    return demo;
}

WorldKeeper* keeperForDisplayLoss = nullptr;

// The display is gone but the world is still in memory: save it.
void SaveWorldOnDisplayLoss()
{
    if (keeperForDisplayLoss != nullptr)
        keeperForDisplayLoss->Finish();
}

} // namespace

int main(int argc, char* argv[])
{
    const DemoSession::Clock::time_point started = DemoSession::Clock::now();
    const CommandLine command = ParseCommandLine(argc, argv);
    int status = ExitStatus::Normal;
    if (AnswerWithoutRunning(command, std::cout, std::cerr, status))
        return status;

    TuneHeap();

    // An exit() from deep inside never unwinds this frame, so the buffers
    // stay valid for the runtime's final flush on that path too.
    LogRedirect log(std::cout, "log.txt", &std::cerr);
    std::cout << "Moxwell started..." << std::endl;
    LogRedirect errors(std::cerr, "error.txt");
    std::cerr << "Moxwell started..." << std::endl;
    ReportUnwritableLogs(log.File(), errors.File());
    InstallFaultHandlers("error.txt");

    LoadSettings();

    GameEngine engine;
    const std::unique_ptr<DemoSession> demo = StartDemo(command, started, engine);
    // The command line's world, else the one settings.lua names, else none.
    WorldKeeper keeper;
    const std::string worldFile = command.worldFile.empty() ? WorldFileSetting(scriptHost) : command.worldFile;
    if (!worldFile.empty()) {
        keeper.Open(worldFile, demo && demo->Replaying(), errors.Original());
        playState.world = keeper.File();
        keeperForDisplayLoss = &keeper;
        SetDisplayLostAction(SaveWorldOnDisplayLoss);
    }
    engine.Init();
    if (demo && demo->Replaying()) {
        const VideoSize size = CurrentVideoSize();
        std::string reason;
        if (!demo->WindowFits(size.w, size.h, reason)) {
            SDL_Quit();
            FatalExit(ExitStatus::BadDemo, reason);
        }
    }
    engine.ChangeState(&introState);

    while (engine.Running()) {
        engine.states.back()->HandleEvents(&engine);
        engine.states.back()->Update(&engine);
        engine.states.back()->Draw(&engine);
        keeper.AfterPass();
    }

    // Every clean ending saves the world first, while the map still exists.
    SetDisplayLostAction(nullptr);
    const int saved = keeper.Finish();
    playState.world = nullptr;
    engine.Cleanup();
    std::vector<GameState*>().swap(engine.states);
    if (demo) {
        playState.demo = nullptr;
        std::ostream terminal(log.Original());
        std::string reason;
        if (!demo->Finish(terminal, HeapAllocatorName(), reason)) {
            FatalExit(ExitStatus::BadDemo, reason);
        }
    }
    return saved;
}
