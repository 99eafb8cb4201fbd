// The entry routine, the composition root above every layer: log files,
// settings, the engine, the main loop and every ending.
#include <SDL/SDL.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/CommandLine.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "core/FaultHandler.h"
#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "core/Platform.h"
#include "core/GameState.h"
#include "core/LogFile.h"
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

// The whole run; its status on a normal ending (the others end the process
// where they happen).
int Run(int argc, char* argv[])
{
    const DemoSession::Clock::time_point started = DemoSession::Clock::now();
    AttachParentConsole();
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<const char*> argumentPointers;
    for (const std::string& argument : arguments)
        argumentPointers.push_back(argument.c_str());
    const CommandLine command =
        ParseCommandLine(static_cast<int>(argumentPointers.size()), argumentPointers.data());
    // Decided now, before the fault handlers can ask; a timedemo is a
    // measurement that nobody sits through.
    if (command.mode == RunMode::Timedemo)
        MarkUnattended();
    Unattended();
    int status = ExitStatus::Normal;
    std::ostringstream refusal;
    if (AnswerWithoutRunning(command, std::cout, refusal, status)) {
        if (status == ExitStatus::Normal)
            return status;
        std::cerr << refusal.str() << std::flush;
        TellUser(refusal.str());
        ExitProcessWithStatus(status);
    }

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

} // namespace

int main(int argc, char* argv[])
{
    // The normal ending leaves through the one exit path as well, once the
    // logs are closed: under Wine a process that returned from main was
    // seen, on a busy machine, ending with another status than its own.
    ExitProcessWithStatus(Run(argc, argv));
}
