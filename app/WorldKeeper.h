// WorldKeeper: the program's side of a kept world. Opens it at start (a
// refusal ends the run with its status), commits what digging changed from
// the main loop without stalling play, and saves everything at the end.
#pragma once
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "world/WorldFile.h"

class WorldKeeper {
public:
    using Clock = std::chrono::steady_clock;

    // Opens `path` for play (or, for a replay, only to read). A world that
    // cannot be used ends the process with BadWorld or WorldHeld and one
    // line in error.txt. `terminal` receives the lines about saving that
    // the player must see.
    void Open(const std::string& path, bool replay, std::streambuf* terminal);
    // The open world, or null when play keeps none.
    WorldFile* File() { return file.get(); }

    // After each pass of the main loop: once the oldest unsaved change is a
    // second old, the changed chunks are compressed over a few passes, a
    // little each, and written in one transaction in the pass after, so no
    // change waits much more than a second and no pass waits long.
    // `now` is the pass's time (a benchmark replays passes at their pace).
    void AfterPass(Clock::time_point now = Clock::now());

    // At the end of the run, while the map still exists: commits
    // everything and closes the file. Returns ExitStatus::Normal, or WorldNotSaved
    // after saying what was not saved and when the last good save was; that
    // line is then in `told`, for the user who has no terminal. A save whose
    // log could not be folded into the file is Normal, and said in `told` too.
    int Finish(std::string& told);

    // The program ends early, before or during play, without saving: a
    // world this run created and play never began in is not kept.
    void Abandon();

    // Processor time in milliseconds each pass spent saving (passes that
    // saved nothing are not counted).
    const std::vector<double>& SaveTimes() const { return saveTimes; }

private:
    std::unique_ptr<WorldFile> file;
    bool replay = false;
    std::streambuf* terminal = nullptr;
    bool inRound = false;
    bool roundReady = false; // every chunk of the round prepared: commit next
    bool roundLeftChanges = false; // the round was full: more wait
    bool hasOldest = false;
    Clock::time_point oldestUnsaved;
    Clock::time_point roundBegan;
    bool failing = false;
    bool folding = false;
    std::size_t foldedBytes = 0;
    std::vector<double> saveTimes;

    void Say(const std::string& line, bool alsoTerminal);
    void Committed(const char* what);
};
