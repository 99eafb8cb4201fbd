// The entry routine, the composition root above every layer: log files,
// settings, the engine, the main loop and every ending.
#include <SDL/SDL.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Serve.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "core/FaultHandler.h"
#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "platform/Console.h"
#include "platform/FaultSignals.h"
#include "core/GameState.h"
#include "core/LogFile.h"
#include "core/PrintableText.h"
#include "app/WorldKeeper.h"
#include "script/ScriptHost.h"
#include "core/UserFolder.h"
#include "script/Settings.h"
#include "demo/DemoRecorder.h"
#include "demo/DemoReplay.h"
#include "net/Client.h"
#include "net/NetAddress.h"
#include "net/NetLibrary.h"
#include "states/IntroState.h"
#include "states/LiveInput.h"
#include "states/PlayState.h"

namespace {

// The demo the command line asks to record or replay, opened (refused with
// status 5 and the reason), with the settings and the states set up for it.
struct DemoRun {
    std::unique_ptr<DemoRecorder> recorder;
    std::unique_ptr<DemoReplay> replay;
};

DemoRun StartDemo(const CommandLine& command, DemoReplay::Clock::time_point started, GameEngine& engine)
{
    DemoRun run;
    std::string reason;
    if (command.mode == RunMode::Record) {
        run.recorder = std::make_unique<DemoRecorder>();
        if (!run.recorder->Open(command.demoFile, reason))
            FatalExit(ExitStatus::BadDemo, reason);
    } else if (command.mode == RunMode::Play || command.mode == RunMode::Timedemo) {
        run.replay = std::make_unique<DemoReplay>(command.mode == RunMode::Timedemo, started);
        if (!run.replay->Open(command.demoFile, reason))
            FatalExit(ExitStatus::BadDemo, reason);
        // The picture is the recording's only at the recorded size.
        settings.screenWidth = static_cast<int>(run.replay->Recording().screenWidth);
        settings.screenHeight = static_cast<int>(run.replay->Recording().screenHeight);
        introState.startPlayAtOnce = true;
        engine.vsyncOff = run.replay->Timed();
    }
    return run;
}

// After the run: the demo written, or the replay's report; the status.
int FinishDemo(DemoRun& run, std::streambuf* terminalBuffer, std::string& reason)
{
    if (run.recorder)
        return run.recorder->Finish(reason);
    if (run.replay) {
        std::ostream terminal(terminalBuffer);
        return run.replay->Finish(terminal, HeapAllocatorName(), reason);
    }
    return ExitStatus::Normal;
}

WorldKeeper* keeperForDisplayLoss = nullptr;

// The program ends early without saving: a new world never played in goes.
void AbandonWorldOnEarlyEnding()
{
    if (keeperForDisplayLoss != nullptr)
        keeperForDisplayLoss->Abandon();
}

// The display is gone but the world is still in memory: save it.
void SaveWorldOnDisplayLoss()
{
    // The display's own ending tells the user; a failed save is in error.txt.
    std::string told;
    if (keeperForDisplayLoss != nullptr)
        keeperForDisplayLoss->Finish(told);
}

// --data-dir: file arguments are made absolute while the folder they were
// typed in is still the working one, then the program moves into the user's
// folder. Nothing is logged yet (the logs belong in that folder), so a
// failure goes to the terminal.
// The world the installed command keeps in the user's folder when none is named.
const char* const InstalledWorldName = "my.world";

void MoveToUserFolder(CommandLine& command)
{
    const auto fail = [](const std::string& why) {
        std::cerr << "Veldmarrow: " << why << std::endl;
        TellUser("Veldmarrow: " + why);
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
    if (!command.worldFile.empty())
        command.worldFile = AbsoluteFrom(here, command.worldFile);
    const std::string folder = UserFolderFor(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (folder.empty())
        fail("neither XDG_DATA_HOME nor HOME names an absolute folder to keep your files in");
    std::string reason;
    if (!EnterUserFolder(folder, command.dataDir, reason))
        fail(reason);
    packagedDataFolder = command.dataDir;
}

// The whole run; its status on a normal ending (the others end the process
// where they happen).
int Run(int argc, char* argv[])
{
    // Before anything can take time: a quit request must never kill the
    // program half-way (the README promises status 0 for it).
    CatchQuitSignals();
    const DemoReplay::Clock::time_point started = DemoReplay::Clock::now();
    AttachParentConsole();
    const std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<const char*> argumentPointers;
    for (const std::string& argument : arguments)
        argumentPointers.push_back(argument.c_str());
    CommandLine command =
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
    if (!command.dataDir.empty())
        MoveToUserFolder(command);

    TuneHeap();

    // An exit() from deep inside never unwinds this frame, so the buffers
    // stay valid for the runtime's final flush on that path too.
    // A server's logs lie beside its world: a server run as a service, or
    // beside a player in one folder, keeps logs of its own.
    const bool serving = command.mode == RunMode::Serve;
    const std::string logName = serving ? BesideFile(command.worldFile, "log.txt") : "log.txt";
    const std::string errorName = serving ? BesideFile(command.worldFile, "error.txt") : "error.txt";
    LogRedirect log(std::cout, logName.c_str(), &std::cerr);
    std::cout << "Moxwell started..." << std::endl;
    LogRedirect errors(std::cerr, errorName.c_str());
    std::cerr << "Moxwell started..." << std::endl;
    ReportUnwritableLogs(log.File(), errors.File(), serving ? "the world's folder" : "the working folder");
    InstallFaultHandlers(errorName.c_str());

    LoadSettings();
    if (QuitSignal() != 0) {
        // Nothing is open yet, and a demo to record is not yet looked at.
        std::cout << "Quit on " << QuitSignalName(QuitSignal()) << " before the window opened" << std::endl;
        return ExitStatus::Normal;
    }

    if (command.mode == RunMode::Serve)
        return Serve(command, errors.Original());
    // Joining: the server is named rightly, and the network can be used,
    // before any window opens.
    std::unique_ptr<NetLibrary> net;
    std::unique_ptr<Client> client;
    if (command.mode == RunMode::Join) {
        HostPort server;
        std::string reason;
        if (!ParseHostPort(command.server, server, reason))
            FatalExit(ExitStatus::Usage, "--join " + PrintableText(command.server) + ": " + reason);
        std::string name = command.name.empty() ? TextSetting(scriptHost, "playerName", "a name") : command.name;
        if (name.empty())
            name = "Player";
        if (!PlayerNameAllowed(name))
            FatalExit(ExitStatus::Usage, "the name " + QuotedName(name) +
                                             " is not one a player may use: 1 to 32 bytes of printable text, "
                                             "without quotes, backslashes or spaces at its ends");
        net = std::make_unique<NetLibrary>();
        if (!net->Ok())
            FatalExit(ExitStatus::NoServer, "cannot join: " + net->Reason());
        const std::string password =
            command.hasPassword ? command.password : TextSetting(scriptHost, "serverPassword", "the password");
        client = std::make_unique<Client>(*net, server, name, password);
        std::cout << "Joining " << server.host << ":" << server.port << " as " << QuotedName(name) << std::endl;
    }

    GameEngine engine;
    DemoRun demo = StartDemo(command, started, engine);
    // The command line's world, else the one settings.lua names, else (the
    // installed command, playing) the player's own, else none: what a
    // player builds is there again at the next start.
    WorldKeeper keeper;
    std::string worldFile = command.worldFile.empty() ? WorldFileSetting(scriptHost) : command.worldFile;
    if (worldFile.empty() && !command.dataDir.empty() && command.mode == RunMode::Normal)
        worldFile = InstalledWorldName;
    if (client)
        worldFile.clear(); // the server keeps the world
    if (!worldFile.empty()) {
        keeper.Open(worldFile, demo.replay != nullptr, errors.Original());
        keeperForDisplayLoss = &keeper;
        SetDisplayLostAction(SaveWorldOnDisplayLoss);
        SetEarlyEndingAction(AbandonWorldOnEarlyEnding);
    }
    PlaySetup play;
    if (demo.replay)
        play.source = demo.replay.get();
    play.observer = demo.recorder.get();
    play.world = keeper.File();
    play.network = client.get();
    playState.Prepare(play);
    engine.Init(settings);
    if (demo.replay) {
        const VideoSize size = CurrentVideoSize();
        std::string reason;
        if (!demo.replay->WindowFits(size.w, size.h, reason)) {
            SDL_Quit();
            FatalExit(ExitStatus::BadDemo, reason);
        }
    }
    engine.ChangeState(&introState);

    while (engine.Running()) {
        if (QuitSignal() != 0) {
            std::cout << "Quit on " << QuitSignalName(QuitSignal()) << std::endl;
            engine.Quit();
            break;
        }
        engine.states.back()->HandleEvents(&engine);
        engine.states.back()->Update(&engine);
        engine.states.back()->Draw(&engine);
        keeper.AfterPass();
    }

    if (client) {
        std::string line;
        client->Leave(3000, line);
        std::cout << line << std::endl;
    }
    // Every clean ending saves the world first, while the map still exists.
    SetDisplayLostAction(nullptr);
    SetEarlyEndingAction(nullptr);
    std::string notSaved;
    const int saved = keeper.Finish(notSaved);
    engine.Cleanup();
    playState.Prepare(PlaySetup());
    std::vector<GameState*>().swap(engine.states);
    std::string reason;
    const int ending = FinishDemo(demo, log.Original(), reason);
    if (ending != ExitStatus::Normal)
        FatalExit(ending, reason);
    // Already in error.txt and on the terminal; the box is for a user
    // who started the program by double-click, as every other failure.
    if (!notSaved.empty())
        TellUser(notSaved);
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    // The normal ending leaves through the one exit path as well, once the
    // logs are closed: under Wine a process that returned from main was
    // seen, on a busy machine, ending with another status than its own.
    ExitProcessWithStatus(Run(argc, argv));
}
