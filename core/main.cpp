// The entry routine: log files, settings, the engine and the main loop.
#include <SDL/SDL.h>

#include <iostream>

#include "core/FaultHandler.h"
#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "core/GameState.h"
#include "core/LogFile.h"
#include "script/Settings.h"
#include "states/IntroState.h"

int main(int, char*[])
{
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
    engine.Init();
    engine.ChangeState(&introState);

    while (engine.Running()) {
        engine.states.back()->HandleEvents(&engine);
        engine.states.back()->Update(&engine);
        engine.states.back()->Draw(&engine);
    }

    engine.Cleanup();
    std::vector<GameState*>().swap(engine.states);
    return 0;
}
