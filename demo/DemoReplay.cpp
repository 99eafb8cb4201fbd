// DemoReplay: reading a demo, handing out its passes, timing and the report.
#include "demo/DemoReplay.h"

#include <SDL/SDL.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "core/ExitStatus.h"
#include "platform/Memory.h"
#include "core/PrintableText.h"
#include "platform/Utf8Path.h"
#include "demo/TimedemoReport.h"
#include "world/Map.h"

namespace {

std::string Quoted(const std::string& path) { return QuotedName(path); }

double SecondsBetween(DemoReplay::Clock::time_point a, DemoReplay::Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

bool ReadDemoFile(const std::string& path, Demo& out, std::string& reason)
{
    const std::filesystem::path file = Utf8Path(path);
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) {
        reason = "demo " + Quoted(path) + " cannot be read: " +
                 (error ? error.message() : std::string("No such file or directory"));
        return false;
    }
    // A FIFO or a device could block or never end.
    if (!std::filesystem::is_regular_file(status)) {
        reason = "demo " + Quoted(path) + " is not a regular file";
        return false;
    }
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > MaxDemoFileSize) {
        reason = "demo " + Quoted(path) + (error ? " cannot be read: " + error.message()
                                                 : " refused: larger than " + std::to_string(MaxDemoFileSize >> 20) +
                                                       " MiB");
        return false;
    }
    errno = 0;
    std::ifstream input(file, std::ios::binary);
    if (!input) {
        reason = "demo " + Quoted(path) + " cannot be opened: " +
                 (errno != 0 ? std::strerror(errno) : std::string("unknown error"));
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    input.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // A short read has no errno of its own: say what was read.
    const auto got = static_cast<std::uint64_t>(input.gcount());
    if (got != bytes.size()) {
        reason = "demo " + Quoted(path) + " cannot be read: read " + std::to_string(got) + " of " +
                 std::to_string(bytes.size()) + " bytes";
        return false;
    }
    std::string why;
    if (!DecodeDemo(bytes.data(), bytes.size(), out, why)) {
        reason = "demo " + Quoted(path) + " refused: " + why;
        return false;
    }
    return true;
}

DemoReplay::DemoReplay(bool timed, Clock::time_point started) : timed(timed), started(started) {}

bool DemoReplay::Open(const std::string& demoPath, std::string& reason)
{
    path = demoPath;
    if (!ReadDemoFile(path, demo, reason))
        return false;
    std::string why;
    if (!ReplayWindowPossible(demo, why)) {
        reason = "demo " + Quoted(path) + " refused: " + why;
        return false;
    }
    cursor = DemoCursor(demo);
    std::cout << (timed ? "Timing demo " : "Playing demo ") << Quoted(path) << ": " << demo.passCount
              << " passes, world seed " << demo.worldSeed << ", " << demo.screenWidth << "x" << demo.screenHeight
              << ", recorded by Veldmarrow " << demo.programVersion << std::endl;
    return true;
}

bool DemoReplay::WindowFits(int width, int height, std::string& reason) const
{
    if (static_cast<std::uint32_t>(width) == demo.screenWidth && static_cast<std::uint32_t>(height) == demo.screenHeight)
        return true;
    reason = "demo " + Quoted(path) + " refused: recorded in a " + std::to_string(demo.screenWidth) + "x" +
             std::to_string(demo.screenHeight) + " window, but the window here is " + std::to_string(width) + "x" +
             std::to_string(height);
    return false;
}

unsigned DemoReplay::SeedForWorld() { return demo.worldSeed; }

bool DemoReplay::WorldBuilt(const Map& map, int, int, std::string& reason)
{
    const std::uint64_t checksum = VoxelChecksum(map);
    if (checksum != demo.worldChecksum) {
        reason = "demo " + Quoted(path) + " refused: world seed " + std::to_string(demo.worldSeed) +
                 " builds a different world here (checksum " + ChecksumText(checksum) + ", recorded " +
                 ChecksumText(demo.worldChecksum) + "): the terrain generator differs";
        return false;
    }
    playStarted = lastPass = Clock::now();
    return true;
}

// Always the recorded start, a format-1 demo's too: a kept world's pose
// would put the replay somewhere the recording never was.
bool DemoReplay::StartPose(PlayerPose& pose)
{
    pose = demo.start;
    return true;
}

void DemoReplay::BeforeEvents(PassInput&) {}

// The replay takes its digs and presses from the demo; the window only
// answers Escape and the close request.
void DemoReplay::PressesSeen(const PassInput&, PassInput&) {}

PassStep DemoReplay::Next(PassInput& input)
{
    if (holding)
        return PassStep::Hold;
    // Running out cannot happen while the last pass ends or holds the
    // replay; end the run rather than make input up.
    return cursor.Next(input) ? PassStep::Play : PassStep::Stop;
}

PassStep DemoReplay::PassDrawn(bool playedPass)
{
    if (!playedPass) {
        // The picture does not change: redraw it now and then, not flat out.
        SDL_Delay(50);
        return PassStep::Hold;
    }
    const Clock::time_point now = Clock::now();
    frameSeconds.push_back(SecondsBetween(lastPass, now));
    lastPass = now;
    if (!AllPlayed())
        return PassStep::Play;
    if (timed)
        return PassStep::Stop;
    holding = true;
    std::cout << "Demo ended after " << cursor.Taken() << " passes" << std::endl;
    return PassStep::Hold;
}

void DemoReplay::PlayEnded(const Map& map)
{
    played = true;
    finalChecksum = VoxelChecksum(map);
    std::cout << "Terrain checksum: " << ChecksumText(finalChecksum) << std::endl;
    if (!AllPlayed())
        std::cout << "Demo interrupted after " << cursor.Taken() << " of " << demo.passCount << " passes"
                  << std::endl;
    else if (finalChecksum == demo.finalChecksum)
        std::cout << "Terrain checksum matches the recording" << std::endl;
    else
        std::cout << "Terrain checksum differs from the recording (" << ChecksumText(demo.finalChecksum) << ")"
                  << std::endl;
}

int DemoReplay::Finish(std::ostream& terminal, const std::string& allocator, std::string& reason)
{
    const bool complete = played && AllPlayed();
    if (timed && played) {
        TimedemoFigures figures;
        figures.demoFile = path;
        figures.allocator = allocator;
        SummariseFrames(frameSeconds, figures);
        figures.startToFirstFrameSeconds =
            frameSeconds.empty() ? 0 : SecondsBetween(started, playStarted) + frameSeconds.front();
        figures.peakResidentBytes = PeakResidentBytes();
        figures.terrainChecksum = finalChecksum;
        figures.complete = complete;
        figures.passesPlayed = cursor.Taken();
        figures.passCount = demo.passCount;
        figures.matchesRecording = complete && finalChecksum == demo.finalChecksum;
        const std::string block = ReportBlock(figures), json = ReportJson(figures);
        std::cout << block << json << std::endl;
        terminal << block << json << std::endl;
    }
    if (!complete) {
        reason = "demo " + Quoted(path) + " interrupted after " + std::to_string(cursor.Taken()) + " of " +
                 std::to_string(demo.passCount) + " passes";
        return ExitStatus::Interrupted;
    }
    if (finalChecksum != demo.finalChecksum) {
        reason = "demo " + Quoted(path) + " did not replay as recorded: terrain checksum " +
                 ChecksumText(finalChecksum) + ", recorded " + ChecksumText(demo.finalChecksum);
        return ExitStatus::BadDemo;
    }
    return ExitStatus::Normal;
}
