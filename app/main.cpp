// The entry routine, the composition root above every layer: log files,
// settings, the engine, the main loop and every ending.
#include <SDL/SDL.h>

#include <cstdlib>
#include <filesystem>
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
#include "core/Platform.h"
#include "core/UserFolder.h"
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

// --data-dir: file arguments are made absolute while the folder they were
// typed in is still the working one, then the program moves into the user's
// folder. Nothing is logged yet (the logs belong in that folder), so a
// failure goes to the terminal.
void MoveToUserFolder(CommandLine& command)
{
    const auto fail = [](const std::string& why) {
        std::cerr << "Veldmarrow: " << why << std::endl;
        ExitProcessWithStatus(ExitStatus::NoUserFolder);
    };
    std::error_code error;
    const std::string here = std::filesystem::current_path(error).string();
    if (error)
        fail("cannot tell the current folder, which file names are relative to: " + error.message());
    // Normal form: the command names it as .../games/../share/...
    command.dataDir = std::filesystem::path(AbsoluteFrom(here, command.dataDir)).lexically_normal().string();
    if (!command.demoFile.empty())
        command.demoFile = AbsoluteFrom(here, command.demoFile);
    const std::string folder = UserFolderFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty())
        fail("neither XDG_DATA_HOME nor HOME names an absolute folder to keep your files in");
    std::string reason;
    if (!EnterUserFolder(folder, command.dataDir, reason))
        fail(reason);
    packagedDataFolder = command.dataDir;
}

} // namespace

int main(int argc, char* argv[])
{
    const DemoSession::Clock::time_point started = DemoSession::Clock::now();
    CommandLine command = ParseCommandLine(argc, argv);
    int status = ExitStatus::Normal;
    if (AnswerWithoutRunning(command, std::cout, std::cerr, status))
        return status;
    if (!command.dataDir.empty())
        MoveToUserFolder(command);

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
    }

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
    return ExitStatus::Normal;
}
