// WorldFormat: the kept world's format constants and the plain types its
// parts share: how a world may be used, how opening it ended, and its row
// of facts. docs/world-format.md describes the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "world/PlayerPose.h"

namespace WorldFormat {
constexpr std::int32_t ApplicationId = 0x566C646D; // "Vldm"
// The format new worlds are written in; format 1 (no player row, voxel
// values 0 to 3) is read too, and becomes format 2 at its first commit.
constexpr int Version = 2;
// A commit writes at most this many chunks, so that one commit adds at
// most about 300 KiB to the log (a chunk takes a leaf page, and an
// overflow page when it compresses badly; 4 KiB pages).
constexpr std::size_t MostChunksPerCommit = 32;
// The log is folded into the file once a commit leaves it this large...
constexpr std::size_t FoldAbove = 192 * 1024;
// ...so that during play it never holds more than this (the fold's
// threshold plus the largest commit).
constexpr std::size_t LogBound = 512 * 1024;
} // namespace WorldFormat

enum class WorldAccess {
    ReadWrite, // play: load, then keep every change
    ReadOnly,  // a replay: load, never write
};

// How opening a world ended.
enum class WorldOpened {
    Ok,
    Refused, // not usable: the reason says why; the file is untouched
    Held,    // another running Veldmarrow has it open
};

// The row of facts about a world.
struct WorldFacts {
    int format = 0;
    std::string program;   // the version of the Veldmarrow that created it
    std::uint32_t seed = 0;
    int width = 0, depth = 0, height = 0;
    bool hasChecksum = false; // false until the generated terrain was first saved
    std::uint64_t checksum = 0;
    std::int64_t saves = 0; // commits so far
    std::string created, saved;
};
