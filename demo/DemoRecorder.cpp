// DemoRecorder: the passes noted as they are played, written at the end.
#include "demo/DemoRecorder.h"

#include <iostream>

#include "core/ExitStatus.h"
#include "core/FileReplace.h"
#include "core/PrintableText.h"
#include "core/Version.h"
#include "demo/TimedemoReport.h"
#include "world/Map.h"

namespace {

// The files the program reads or writes in its working folder: a demo
// recorded over one of them would break the next start or lose the log.
const char* const OwnFiles[] = {"settings.lua", "splash.png", "menu.bmp", "log.txt", "error.txt"};

} // namespace

bool DemoRecorder::Open(const std::string& demoPath, std::string& reason)
{
    path = demoPath;
    for (const char* own : OwnFiles)
        if (SameFile(path, own)) {
            reason = "demo " + QuotedName(path) + " refused: it is the program's own " + QuotedName(own);
            return false;
        }
    std::string why;
    if (!CheckReplaceable(path, why)) {
        reason = "demo " + QuotedName(path) + " cannot be written: " + why;
        return false;
    }
    demo.programVersion = ProgramVersion;
    std::cout << "Recording demo " << QuotedName(path) << std::endl;
    return true;
}

void DemoRecorder::WorldBuilt(unsigned seed, const Map& map, int width, int height, const PlayerPose& start)
{
    demo.worldSeed = seed;
    demo.start = start;
    demo.worldChecksum = VoxelChecksum(map);
    demo.screenWidth = static_cast<std::uint32_t>(width);
    demo.screenHeight = static_cast<std::uint32_t>(height);
}

void DemoRecorder::PassPlayed(const PassInput& input) { AppendPass(demo, input); }

void DemoRecorder::PlayEnded(const Map& map)
{
    played = true;
    demo.finalChecksum = VoxelChecksum(map);
    std::cout << "Terrain checksum: " << ChecksumText(demo.finalChecksum) << std::endl;
}

int DemoRecorder::Finish(std::string& reason)
{
    if (!played || demo.passCount == 0) {
        std::cout << "Demo not written: no pass of play was recorded; " << QuotedName(path) << " is as it was"
                  << std::endl;
        return ExitStatus::Normal;
    }
    const std::vector<std::uint8_t> bytes = EncodeDemo(demo);
    // A file the replay would refuse is no recording: say so rather than
    // put it over what FILE holds.
    Demo back;
    std::string why;
    if (!DecodeDemo(bytes.data(), bytes.size(), back, why)) {
        reason = "demo " + QuotedName(path) + " not written: it would not read back: " + why;
        return ExitStatus::BadDemo;
    }
    if (!ReplaceFileWhole(path, bytes.data(), bytes.size(), why)) {
        reason = "demo " + QuotedName(path) + " not written: " + why;
        return ExitStatus::BadDemo;
    }
    std::cout << "Demo written: " << QuotedName(path) << ", " << demo.passCount << " passes, " << bytes.size()
              << " bytes" << std::endl;
    return ExitStatus::Normal;
}
