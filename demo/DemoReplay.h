// DemoReplay: the pass source of a replayed demo, at the normal pace
// (--play: the last picture stays until the player ends the run) or as fast
// as possible with a report of the frame times (--timedemo).
#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "demo/DemoFile.h"
#include "demo/PassSource.h"

class DemoReplay : public PassSource {
public:
    using Clock = std::chrono::steady_clock;

    // `timed`: the timedemo. `started`: when the run began; "start to first
    // frame" counts from there.
    DemoReplay(bool timed, Clock::time_point started);

    bool Timed() const { return timed; }
    const Demo& Recording() const { return demo; }

    // Reads and checks the demo in `path`, and that its window can be
    // opened. False, with the reason, when it cannot be replayed.
    bool Open(const std::string& path, std::string& reason);
    // False, with the reason, if the window is not the recorded size.
    bool WindowFits(int width, int height, std::string& reason) const;

    unsigned SeedForWorld() override;
    bool WorldBuilt(const Map& map, int width, int height, std::string& reason) override;
    // Always true with the recorded start (StartPose() for a format-1 demo).
    bool StartPose(PlayerPose& pose) override;
    void BeforeEvents(PassInput& input) override;
    // Nothing: the presses replayed are the demo's.
    void PressesSeen(const PassInput& presses, PassInput& input) override;
    PassStep Next(PassInput& input) override;
    PassStep PassDrawn(bool played) override;
    void PlayEnded(const Map& map) override;

    // After the run: prints the timedemo's report to the log and to
    // `terminal`. Returns the exit status: Interrupted when the replay ended
    // before its last pass, BadDemo when it did not reproduce the recorded
    // terrain; with the reason in `reason`.
    int Finish(std::ostream& terminal, const std::string& allocator, std::string& reason);

private:
    bool timed;
    std::string path;
    Demo demo;
    DemoCursor cursor{demo};
    bool holding = false; // every pass played: the picture stays (--play)
    bool played = false;  // play began and ended
    std::uint64_t finalChecksum = 0;
    Clock::time_point started;
    Clock::time_point playStarted; // when the world was built
    Clock::time_point lastPass;
    std::vector<double> frameSeconds;

    bool AllPlayed() const { return cursor.Taken() >= demo.passCount; }
};

// Reads a demo file, refusing anything that is not a regular file of at most
// MaxDemoFileSize bytes holding a demo DecodeDemo accepts.
bool ReadDemoFile(const std::string& path, Demo& out, std::string& reason);
