// DemoRecorder: watches the passes of play and, when the run ends, writes
// them as a demo (docs/demo-format.md), replacing its file whole.
#pragma once
#include <cstdint>
#include <string>

#include "demo/DemoFile.h"
#include "demo/PassSource.h"

class DemoRecorder : public PassObserver {
public:
    // Checks that `path` can be replaced when the run ends; nothing there is
    // touched before. False, with the reason, for a path that is not a
    // regular file, one of the program's own files, or in a folder where no
    // new file can be created.
    bool Open(const std::string& path, std::string& reason);

    // Notes the world, the window and the starting pose the demo holds.
    void WorldBuilt(unsigned seed, const Map& map, int width, int height, const PlayerPose& start) override;
    void PassPlayed(const PassInput& input) override;
    void PlayEnded(const Map& map) override;

    // After the run: writes the demo when a pass of play was recorded.
    // Returns the exit status: BadDemo, with the reason, when it could not
    // be written or would not read back (the file is then as it was).
    int Finish(std::string& reason);

private:
    std::string path;
    Demo demo;
    bool played = false; // play began and ended
};
