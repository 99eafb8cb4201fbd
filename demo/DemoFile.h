// DemoFile: a recorded session of play and its file format
// (docs/demo-format.md). Pure logic: bytes in, bytes out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "demo/PassInput.h"
#include "world/PlayerPose.h"

// What a demo holds: how to rebuild the session's world and window, where
// the player started, and the input of every pass of play.
struct Demo {
    std::uint32_t worldSeed = 0;
    std::uint64_t worldChecksum = 0; // VoxelChecksum of the world as generated
    std::uint32_t screenWidth = 0, screenHeight = 0;
    std::string programVersion;
    PlayerPose start = StartPose(); // a format-1 demo always started here
    std::uint32_t passCount = 0;
    // The passes as format 2 encodes them (a format-1 pass reads the same),
    // without the end mark.
    std::vector<std::uint8_t> passes;
    std::uint64_t finalChecksum = 0;  // VoxelChecksum after the last pass
};

// The format written; format 1 (no building or walking, no starting pose)
// is still read.
constexpr std::uint16_t DemoFormatVersion = 2;
constexpr std::uint16_t OldestDemoFormatVersion = 1;
// Larger files are refused before they are read: hours of play fit.
constexpr std::size_t MaxDemoFileSize = 64u << 20;
constexpr std::size_t MaxProgramVersionLength = 64;
constexpr std::uint32_t MaxDemoScreenSide = 32768;
// What a replay can open: SDL 1.2 opens no window wider or taller than
// 16383 pixels, and a frame of more pixels than 8K UHD (7680 x 4320) and a
// little more would take hundreds of MiB a pass in a software renderer.
constexpr std::uint32_t MaxReplaySide = 16383;
constexpr std::uint64_t MaxReplayPixels = 1ull << 25; // 33,554,432

// False, with the reason, when a demo's window cannot be opened to replay it.
bool ReplayWindowPossible(const Demo& demo, std::string& reason);

// Appends one pass's input to the demo. A slot outside 1 to 9 is no number
// key and is left out.
void AppendPass(Demo& demo, const PassInput& input);

// The bytes of the demo's file, in the current format.
std::vector<std::uint8_t> EncodeDemo(const Demo& demo);

// Reads a demo from a file's bytes, checking magic, version, checksum and
// every length. On failure returns false and says why in `reason`.
bool DecodeDemo(const std::uint8_t* data, std::size_t size, Demo& out, std::string& reason);

// Walks the passes of a demo that DecodeDemo accepted (or that was recorded).
class DemoCursor {
public:
    explicit DemoCursor(const Demo& demo) : demo(&demo) {}
    // The next pass's input; false once every pass has been taken.
    bool Next(PassInput& input);
    std::uint32_t Taken() const { return taken; }

private:
    const Demo* demo;
    std::size_t offset = 0;
    std::uint32_t taken = 0;
};

// The file checksum: zlib's CRC-32 of `size` bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
