// WorldFile: the player's world kept in an SQLite database. It holds the
// seed the terrain was generated from and every chunk that digging touched,
// zlib-compressed, so that play resumes where it ended. Pure logic: no
// window, no OpenGL; docs/world-format.md describes the file.
//
// What it guarantees: the world file is complete or absent, however the
// program ends; one program at a time uses it (WorldLock); a world that is
// refused is not written, nor is anything left beside it; a world that was
// never played in (the program ended before play) is not kept; the log
// beside the file stays small during play (LogBound).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "world/Map.h"
#include "world/WorldLock.h"

struct sqlite3;

namespace WorldFormat {
constexpr std::int32_t ApplicationId = 0x566C646D; // "Vldm"
constexpr int Version = 1;
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

// A checksum of a map that can follow edits chunk by chunk: the sum of a
// hash of each 16^3 chunk, mixed with the chunk's number.
std::uint64_t ChunkHash(const std::uint8_t* chunkBytes, int chunkNumber);

class WorldFile final : public MapChangeObserver {
public:
    WorldFile() = default;
    ~WorldFile(); // closes without saving
    WorldFile(const WorldFile&) = delete;
    WorldFile& operator=(const WorldFile&) = delete;

    // Opens the world in `path` (a symbolic link's target), takes its lock
    // (Held when another program has it) and checks it whole (format, facts,
    // every stored chunk) without writing a byte. ReadWrite creates `path`
    // holding a new world from `newSeed` when there is no file, or an empty
    // one, by that name. Nothing stays open but the lock until Load.
    WorldOpened Open(const std::string& path, WorldAccess access, std::uint32_t newSeed, std::string& reason);
    // Checks an in-memory image of a world file as Open does, read-only.
    WorldOpened OpenImage(const std::uint8_t* data, std::size_t size, std::string& reason);

    bool Created() const { return created; }
    const WorldFacts& Facts() const { return facts; }
    const std::string& Path() const { return path; }
    std::size_t StoredChunks() const { return storedCount; }

    // Puts the stored chunks over `map`, freshly generated from the seed,
    // and checks the result against the stored checksum. With ReadWrite the
    // world is then accepted: the file is opened for saving (its log beside
    // it; a log left by an earlier session is folded in, see Notice), and
    // `map`'s changes are followed (as its observer) for the next commits.
    bool Load(Map& map, std::string& reason);

    // Loaded for play: following the map's changes to commit them.
    bool Following() const { return map != nullptr && access == WorldAccess::ReadWrite; }
    // Changed chunks not yet committed.
    bool HasChanges() const { return !dirtyList.empty() || !round.empty() || !prepared.empty(); }
    // Starts a commit round with the chunks changed so far, at most `most`
    // of them (the longest waiting first); false when more are left waiting.
    bool BeginRound(std::size_t most = WorldFormat::MostChunksPerCommit);
    // Compresses up to `chunks` chunks of the round; true once the round is
    // all prepared and can be committed.
    bool Prepare(std::size_t chunks);
    // Writes the prepared chunks and the new checksum in one transaction.
    // On failure nothing is written and the chunks wait for the next try.
    bool Commit(std::string& reason);
    // The whole save at the end: every change committed and put on disk,
    // then the log folded into the file and the file closed. False, with the
    // reason, when changes could not be committed (the file is closed
    // anyway). A fold that fails loses nothing (the world is whole in the
    // file and its log) and is said in Notice. A world created by this Open
    // and never loaded is removed: play never began in it.
    bool Close(std::string& reason);
    // Ends without saving: only a world created and never loaded is removed.
    void Abandon();

    // The log beside the file, as its frames say, in bytes.
    std::size_t LogBytes() const;
    // Starts folding the log into the file on a thread of its own; nothing
    // else may use the file until Folding() says it is done.
    void BeginFold();
    // True while a fold runs; once it has ended, its failure (if any) is in Notice.
    bool Folding();
    // What went wrong without losing anything (a fold that failed), said
    // once: empty when nothing did.
    std::string TakeNotice();
    // Chunks the last successful commit wrote.
    std::size_t LastCommitted() const { return lastCommitted; }
    // Chunks changed but not committed.
    std::size_t Unsaved() const { return dirtyList.size() + round.size() + prepared.size(); }
    // The world's checksum as committed (see ChunkHash).
    std::uint64_t CommittedChecksum() const { return checksum; }

    void VoxelChanged(int x, int y, int z) override;

private:
    struct Prepared {
        int number;
        std::uint64_t hash;
        std::vector<std::uint8_t> blob;
    };
    sqlite3* db = nullptr;
    std::string path;   // as the player named it, for messages
    std::string target; // the file it means (links followed)
    WorldLock lock;
    WorldAccess access = WorldAccess::ReadOnly;
    bool opened = false;
    bool created = false;
    bool addedLog = false; // no log was beside the file before this open
    WorldFacts facts;
    int pageSize = 4096;
    std::atomic<int> logFrames{0}; // -1: not known, the file's size says it
    std::thread folder;
    std::atomic<bool> foldEnded{false};
    std::string foldFailure;
    std::string notice;
    Map* map = nullptr;
    int chunksX = 0, chunksY = 0, chunksZ = 0;
    // Stored chunks read at open, inflated, waiting for Load.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> loaded;
    std::vector<bool> stored; // per chunk: a row exists
    std::size_t storedCount = 0;
    std::vector<std::uint64_t> hashes; // per chunk, as committed
    std::uint64_t checksum = 0;
    std::vector<std::uint8_t> dirty; // per chunk: in dirtyList
    std::vector<int> dirtyList;
    std::vector<int> round;
    std::size_t roundNext = 0;
    std::vector<Prepared> prepared;
    std::size_t lastCommitted = 0;

    WorldOpened Check(std::string& reason);
    WorldOpened Inspect(std::string& reason);
    bool Create(std::uint32_t seed, bool& taken, std::string& reason);
    bool OpenForSaving(std::string& reason);
    bool Fold(std::string& why, bool restart);
    void EndFold();
    std::string FoldFailed(const std::string& why) const;
    static int LogHook(void* file, sqlite3* db, const char* name, int frames);
    void ChunkBytes(int number, std::uint8_t* out) const;
    int ChunkNumber(int x, int y, int z) const;
    void CloseDatabase();
};
