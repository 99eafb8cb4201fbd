// ChangeTracker: marks, rounds, and the checksum kept up to date.
#include "world/ChangeTracker.h"

#include <algorithm>

#include "world/ChunkCodec.h"
#include "world/MapChunks.h"
#include "world/VoxelHash.h"

void ChangeTracker::Start(const Map& followed)
{
    map = &followed;
    const int count = MapChunks::Count(followed);
    hashes.resize(count);
    checksum = 0;
    std::vector<std::uint8_t> bytes(ChunkVoxels);
    for (int i = 0; i < count; ++i) {
        MapChunks::CopyOut(followed, i, bytes.data());
        hashes[i] = ChunkHash(bytes.data(), i);
        checksum += hashes[i];
    }
    dirty.assign(count, 0);
    waiting.clear();
    round.clear();
    roundNext = 0;
    prepared.clear();
}

void ChangeTracker::Mark(int number)
{
    if (dirty[number] == 0) {
        dirty[number] = 1;
        waiting.push_back(number);
    }
}

bool ChangeTracker::BeginRound(std::size_t most)
{
    const std::size_t taken = std::min(most, waiting.size());
    round.insert(round.end(), waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(taken));
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(taken));
    return waiting.empty();
}

bool ChangeTracker::Prepare(std::size_t chunks)
{
    std::uint8_t bytes[ChunkVoxels];
    for (std::size_t done = 0; done < chunks && roundNext < round.size(); ++done) {
        const int number = round[roundNext++];
        dirty[number] = 0; // a change from now on needs the next round
        MapChunks::CopyOut(*map, number, bytes);
        prepared.push_back(PreparedChunk{number, ChunkHash(bytes, number), ChunkCodec::Compress(bytes)});
    }
    if (roundNext < round.size())
        return false;
    round.clear();
    roundNext = 0;
    return true;
}

void ChangeTracker::PrepareAll()
{
    BeginRound(Unsaved());
    Prepare(round.size());
}

std::uint64_t ChangeTracker::NextChecksum()
{
    // Chunk by chunk in order, as Committed leaves the hashes: a chunk
    // prepared twice (changed again while waiting) counts once, as its last.
    std::uint64_t next = checksum;
    std::vector<std::uint64_t> before;
    for (const PreparedChunk& p : prepared) {
        next += p.hash - hashes[p.number];
        before.push_back(hashes[p.number]);
        hashes[p.number] = p.hash;
    }
    // The committed hashes change only once the commit has succeeded.
    for (std::size_t i = prepared.size(); i-- > 0;)
        hashes[prepared[i].number] = before[i];
    return next;
}

void ChangeTracker::Committed(std::uint64_t next)
{
    for (const PreparedChunk& p : prepared)
        hashes[p.number] = p.hash;
    checksum = next;
    prepared.clear();
}

void ChangeTracker::Failed()
{
    for (const PreparedChunk& p : prepared)
        Mark(p.number);
    prepared.clear();
}
