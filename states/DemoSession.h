// DemoSession: a run that records its play into a demo, or replays one at
// the normal pace or as fast as possible (the timedemo). The play state
// takes its input from here when replaying and hands it here when recording.
#pragma once
#include <chrono>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "states/DemoFile.h"
#include "states/PassInput.h"

enum class DemoMode { Record, Play, Timedemo };

class DemoSession {
public:
    using Clock = std::chrono::steady_clock;

    // `started`: when the run began; "start to first frame" counts from there.
    DemoSession(DemoMode mode, Clock::time_point started);

    DemoMode Mode() const { return mode; }
    bool Replaying() const { return mode != DemoMode::Record; }
    const Demo& Recording() const { return demo; }

    // Record: creates `path` for writing. Play and timedemo: reads and checks
    // the demo in `path`. False, with the reason, when that cannot be done.
    bool Open(const std::string& path, std::string& reason);

    // The world seed to build the world from: the demo's when replaying,
    // `newWorldSeed` (noted in the demo) when recording.
    unsigned SeedForWorld(unsigned newWorldSeed);
    // Called once the world is built, with its checksum and the window's
    // size. Replaying: false, with the reason, if the world is not the one
    // the demo was recorded in. Recording: notes both.
    bool WorldBuilt(std::uint64_t checksum, int width, int height, std::string& reason);
    // False, with the reason, if a replay's window is not the recorded size.
    bool WindowFits(int width, int height, std::string& reason) const;

    // Replaying: the next pass's input; false once every pass is played.
    bool NextPass(PassInput& input);
    // Every pass of the demo has been played.
    bool AllPlayed() const { return cursor.Taken() >= demo.passCount; }
    std::uint32_t PassesPlayed() const { return cursor.Taken(); }
    // Recording: appends this pass's input.
    void RecordPass(const PassInput& input);
    // A pass of play has been drawn: times it.
    void PassDrawn();
    // Play has ended with this terrain; logs its checksum (and, replaying,
    // whether it matches the recording).
    void PlayEnded(std::uint64_t checksum);

    // After the run: writes the recording, or prints the timedemo report to
    // the log and to `terminal`. Returns false, with the reason, when the
    // demo could not be written or a complete replay did not reproduce the
    // recorded terrain.
    bool Finish(std::ostream& terminal, const std::string& allocator, std::string& reason);

private:
    DemoMode mode;
    std::string path;
    Demo demo;
    DemoCursor cursor{demo};
    std::ofstream output;
    bool played = false;   // play began and ended
    std::uint64_t finalChecksum = 0;
    Clock::time_point started;
    Clock::time_point playStarted; // when the world was built
    Clock::time_point lastPass;
    std::vector<double> frameSeconds;
};

// Reads a demo file, refusing anything that is not a regular file of at most
// MaxDemoFileSize bytes holding a demo DecodeDemo accepts.
bool ReadDemoFile(const std::string& path, Demo& out, std::string& reason);
