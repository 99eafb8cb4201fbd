// DemoSession: demo files on disk, the replay cursor, the timing and the report.
#include "states/DemoSession.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "core/Platform.h"
#include "core/Utf8Path.h"
#include "core/Version.h"
#include "states/TimedemoReport.h"
#include "world/BasicMapGenerator.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

double SecondsBetween(DemoSession::Clock::time_point a, DemoSession::Clock::time_point b)
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
    std::ifstream input(file, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!input || !input.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        reason = "demo " + Quoted(path) + " cannot be read: " + std::strerror(errno);
        return false;
    }
    std::string why;
    if (!DecodeDemo(bytes.data(), bytes.size(), out, why)) {
        reason = "demo " + Quoted(path) + " refused: " + why;
        return false;
    }
    return true;
}

DemoSession::DemoSession(DemoMode mode, Clock::time_point started) : mode(mode), started(started) {}

bool DemoSession::Open(const std::string& demoPath, std::string& reason)
{
    path = demoPath;
    if (mode == DemoMode::Record) {
        // Created now, so that a path that cannot be written is refused before
        // the session rather than after it.
        output.open(Utf8Path(path), std::ios::binary | std::ios::trunc);
        if (!output) {
            reason = "demo " + Quoted(path) + " cannot be written: " + std::strerror(errno);
            return false;
        }
        demo.programVersion = ProgramVersion;
        std::cout << "Recording demo " << Quoted(path) << std::endl;
        return true;
    }
    if (!ReadDemoFile(path, demo, reason))
        return false;
    cursor = DemoCursor(demo);
    std::cout << (mode == DemoMode::Play ? "Playing demo " : "Timing demo ") << Quoted(path) << ": "
              << demo.passCount << " passes, world seed " << demo.worldSeed << ", " << demo.screenWidth << "x"
              << demo.screenHeight << ", recorded by Veldmarrow " << demo.programVersion << std::endl;
    return true;
}

unsigned DemoSession::SeedForWorld()
{
    if (!Replaying())
        demo.worldSeed = WorldSeed();
    return demo.worldSeed;
}

bool DemoSession::WorldBuilt(std::uint64_t checksum, int width, int height, std::string& reason)
{
    if (!Replaying()) {
        demo.worldChecksum = checksum;
        demo.screenWidth = static_cast<std::uint32_t>(width);
        demo.screenHeight = static_cast<std::uint32_t>(height);
    } else if (checksum != demo.worldChecksum) {
        reason = "demo " + Quoted(path) + " refused: world seed " + std::to_string(demo.worldSeed) +
                 " builds a different world here (checksum " + ChecksumText(checksum) + ", recorded " +
                 ChecksumText(demo.worldChecksum) + "): the terrain generator differs";
        return false;
    }
    playStarted = lastPass = Clock::now();
    return true;
}

bool DemoSession::WindowFits(int width, int height, std::string& reason) const
{
    if (static_cast<std::uint32_t>(width) == demo.screenWidth && static_cast<std::uint32_t>(height) == demo.screenHeight)
        return true;
    reason = "demo " + Quoted(path) + " refused: recorded in a " + std::to_string(demo.screenWidth) + "x" +
             std::to_string(demo.screenHeight) + " window, but the window here is " + std::to_string(width) + "x" +
             std::to_string(height);
    return false;
}

bool DemoSession::NextPass(PassInput& input) { return cursor.Next(input); }

void DemoSession::RecordPass(const PassInput& input) { AppendPass(demo, input); }

void DemoSession::PassDrawn()
{
    const Clock::time_point now = Clock::now();
    frameSeconds.push_back(SecondsBetween(lastPass, now));
    lastPass = now;
}

void DemoSession::PlayEnded(std::uint64_t checksum)
{
    played = true;
    finalChecksum = checksum;
    std::cout << "Terrain checksum: " << ChecksumText(checksum) << std::endl;
    if (!Replaying())
        return;
    if (!AllPlayed())
        std::cout << "Demo stopped after " << cursor.Taken() << " of " << demo.passCount << " passes" << std::endl;
    else if (checksum == demo.finalChecksum)
        std::cout << "Terrain checksum matches the recording" << std::endl;
    else
        std::cout << "Terrain checksum differs from the recording (" << ChecksumText(demo.finalChecksum) << ")"
                  << std::endl;
}

bool DemoSession::Finish(std::ostream& terminal, const std::string& allocator, std::string& reason)
{
    if (mode == DemoMode::Record) {
        if (!played || demo.passCount == 0) {
            output.close();
            std::filesystem::remove(Utf8Path(path));
            std::cout << "Demo not written: no pass of play was recorded" << std::endl;
            return true;
        }
        demo.finalChecksum = finalChecksum;
        const std::vector<std::uint8_t> bytes = EncodeDemo(demo);
        output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        output.close();
        if (!output) {
            reason = "demo " + Quoted(path) + " could not be written in full";
            return false;
        }
        std::cout << "Demo written: " << Quoted(path) << ", " << demo.passCount << " passes, " << bytes.size()
                  << " bytes" << std::endl;
        return true;
    }
    const bool complete = played && AllPlayed();
    if (mode == DemoMode::Timedemo && played) {
        TimedemoFigures figures;
        figures.demoFile = path;
        figures.allocator = allocator;
        SummariseFrames(frameSeconds, figures);
        figures.startToFirstFrameSeconds =
            frameSeconds.empty() ? 0 : SecondsBetween(started, playStarted) + frameSeconds.front();
        figures.peakResidentBytes = PeakResidentBytes();
        figures.terrainChecksum = finalChecksum;
        figures.matchesRecording = complete && finalChecksum == demo.finalChecksum;
        const std::string block = ReportBlock(figures), json = ReportJson(figures);
        std::cout << block << json << std::endl;
        terminal << block << json << std::endl;
    }
    if (complete && finalChecksum != demo.finalChecksum) {
        reason = "demo " + Quoted(path) + " did not replay as recorded: terrain checksum " +
                 ChecksumText(finalChecksum) + ", recorded " + ChecksumText(demo.finalChecksum);
        return false;
    }
    return true;
}
