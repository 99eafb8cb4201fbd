// Fuzzes the world loader with arbitrary database images, opened in memory
// as the program opens a world file. Nothing may crash, hang or read out of
// bounds; a refusal always has a reason, and an accepted world has the
// map's size and no more chunks than the map holds.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "world/MapDimensions.h"
#include "world/WorldFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WorldFile world;
    std::string reason;
    if (world.OpenImage(data, size, reason) != WorldOpened::Ok) {
        if (reason.empty())
            std::abort();
        return 0;
    }
    const WorldFacts& facts = world.Facts();
    if (facts.width != MapWidth || facts.depth != MapDepth || facts.height != MapHeight)
        std::abort();
    if (world.StoredChunks() > static_cast<std::size_t>(MapChunkCount) || (world.StoredChunks() != 0 && !facts.hasChecksum))
        std::abort();
    return 0;
}
