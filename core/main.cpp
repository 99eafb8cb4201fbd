// The entry routine: log files, settings, the engine and the main loop.
#include <SDL/SDL.h>

#include <fstream>
#include <iostream>

#include "core/GameEngine.h"
#include "core/HeapTuning.h"
#include "core/GameState.h"
#include "script/Settings.h"
#include "states/IntroState.h"

namespace {

// Attaches a standard stream to a file for as long as this object lives,
// and gives the stream its own buffer back before the file goes away.
class StreamRedirect {
public:
    StreamRedirect(std::ostream& stream, const char* fileName)
        : stream(stream), file(fileName), original(stream.rdbuf(file.rdbuf()))
    {
    }
    ~StreamRedirect() { stream.rdbuf(original); }
    StreamRedirect(const StreamRedirect&) = delete;
    StreamRedirect& operator=(const StreamRedirect&) = delete;

private:
    std::ostream& stream;
    std::ofstream file;
    std::streambuf* original;
};

} // namespace

int main(int, char*[])
{
    TuneHeap();

    // An exit() from deep inside never unwinds this frame, so the buffers
    // stay valid for the runtime's final flush on that path too.
    StreamRedirect log(std::cout, "log.txt");
    std::cout << "Moxwell started..." << std::endl;
    StreamRedirect errors(std::cerr, "error.txt");
    std::cerr << "Moxwell started..." << std::endl;

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
