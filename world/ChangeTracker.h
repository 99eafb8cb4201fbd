// ChangeTracker: what of a kept map is not yet committed. It knows each
// chunk's hash as last committed, so that a commit writes only the chunks
// that changed and updates the world checksum from them alone; and the
// chunks of a commit that failed wait again, for the next one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/Map.h"

// A chunk ready to be committed.
struct PreparedChunk {
    int number;
    std::uint64_t hash;             // ChunkHash of its voxels
    std::vector<std::uint8_t> blob; // its voxels as stored (ChunkCodec)
};

class ChangeTracker {
public:
    // Follows `map` from its present state, taken as committed: every chunk
    // hashed (the world checksum is their sum), nothing unsaved.
    void Start(const Map& map);

    // Chunk `number` changed: it waits for a round, once however often it changes.
    void Mark(int number);
    // Starts a round with at most `most` waiting chunks (the longest waiting
    // first); false when more are left waiting.
    bool BeginRound(std::size_t most);
    // Copies, hashes and compresses up to `chunks` chunks of the round; true
    // once the round is all prepared.
    bool Prepare(std::size_t chunks);
    // Everything unsaved in one round, prepared, for the last commit.
    void PrepareAll();
    // The chunks prepared for the next commit, in the order they were prepared.
    const std::vector<PreparedChunk>& Prepared() const { return prepared; }

    // The world checksum as it will be once the prepared chunks are committed.
    std::uint64_t NextChecksum();
    // The prepared chunks were committed with the world checksum `next`
    // (NextChecksum): theirs are the committed hashes now.
    void Committed(std::uint64_t next);
    // Their commit failed: the prepared chunks wait again, nothing is lost.
    void Failed();

    // The world checksum as committed.
    std::uint64_t Checksum() const { return checksum; }
    // Whether any chunk changed since the last commit.
    bool HasChanges() const { return !waiting.empty() || !round.empty() || !prepared.empty(); }
    // Changed chunks not committed (those of a round being prepared count twice).
    std::size_t Unsaved() const { return waiting.size() + round.size() + prepared.size(); }

private:
    const Map* map = nullptr;
    std::vector<std::uint64_t> hashes; // per chunk, as committed
    std::uint64_t checksum = 0;
    std::vector<std::uint8_t> dirty; // per chunk: in `waiting`
    std::vector<int> waiting;
    std::vector<int> round;
    std::size_t roundNext = 0;
    std::vector<PreparedChunk> prepared;
};
