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
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "world/ChangeTracker.h"
#include "world/Map.h"
#include "world/PlayerPose.h"
#include "world/VoxelHash.h"
#include "world/WorldFormat.h"
#include "world/WorldLock.h"
#include "world/WorldStore.h"

struct WorldContents;

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

    // What Open found: a world it created, its facts, its name, its stored chunks.
    bool Created() const { return created; }
    const WorldFacts& Facts() const { return facts; }
    const std::string& Path() const { return path; }
    std::size_t StoredChunks() const { return storedCount; }
    // Per chunk number: whether the file stores that chunk.
    const std::vector<bool>& StoredSet() const { return stored; }

    // Puts the stored chunks over `map`, freshly generated from the seed,
    // and checks the result against the stored checksum. With ReadWrite the
    // world is then accepted: the file is opened for saving (its log beside
    // it; a log left by an earlier session is folded in, see Notice), and
    // `map`'s changes are followed (as its observer) for the next commits.
    bool Load(Map& map, std::string& reason);

    // Loaded for play: following the map's changes to commit them.
    bool Following() const { return map != nullptr && access == WorldAccess::ReadWrite; }
    // Changed chunks not yet committed.
    bool HasChanges() const { return changes.HasChanges(); }
    // Starts a commit round with the chunks changed so far, at most `most`
    // of them (the longest waiting first); false when more are left waiting.
    bool BeginRound(std::size_t most = WorldFormat::MostChunksPerCommit) { return changes.BeginRound(most); }
    // Compresses up to `chunks` chunks of the round; true once the round is
    // all prepared and can be committed.
    bool Prepare(std::size_t chunks) { return changes.Prepare(chunks); }
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
    std::size_t LogBytes() const { return store.LogBytes(); }
    // Starts folding the log into the file on a thread of its own; nothing
    // else may use the file until Folding() says it is done.
    void BeginFold() { store.BeginFold(); }
    // True while a fold runs; once it has ended, its failure (if any) is in Notice.
    bool Folding() { return store.Folding(notice); }
    // What went wrong without losing anything (a fold that failed), said
    // once: empty when nothing did.
    std::string TakeNotice() { return std::exchange(notice, std::string()); }
    // Chunks the last successful commit wrote.
    std::size_t LastCommitted() const { return lastCommitted; }
    // Chunks changed but not committed.
    std::size_t Unsaved() const { return changes.Unsaved(); }
    // The world's checksum as committed (see ChunkHash).
    std::uint64_t CommittedChecksum() const { return changes.Checksum(); }

    // The pose the world was left with (at the last commit); false when it
    // keeps none (a format-1 world): play then begins at StartPose().
    bool StoredPose(PlayerPose& pose) const;
    // The pose the next commit writes; the end's save writes it too, even
    // when no chunk changed.
    void KeepPose(const PlayerPose& pose) { pose_ = pose; }
    // The poses a server kept by player name, as loaded and kept since.
    const std::map<std::string, PlayerPose>& NamedPoses() const { return named; }
    // Keeps `pose` as the one `name` left with: written with the next
    // commit, or the end's save.
    void KeepNamedPose(const std::string& name, const PlayerPose& pose);

    void VoxelChanged(int x, int y, int z) override;

private:
    std::string path;   // as the player named it, for messages
    std::string target; // the file it means (links followed)
    WorldLock lock;
    WorldAccess access = WorldAccess::ReadOnly;
    bool opened = false;
    bool created = false;
    WorldFacts facts;
    std::string notice;
    Map* map = nullptr;
    // Stored chunks read at open, inflated, waiting for Load.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> loaded;
    std::vector<bool> stored; // per chunk: a row exists
    std::size_t storedCount = 0;
    std::size_t lastCommitted = 0;
    ChangeTracker changes;
    PlayerPose pose_;         // to be written
    PlayerPose committedPose; // as the file holds it
    bool hasPose = false;     // the file has a player's row
    std::map<std::string, PlayerPose> named;        // by player name, as kept
    std::map<std::string, PlayerPose> namedWaiting; // kept since the last commit
    WorldStore store; // after the lock: closed before it is released

    WorldOpened Check(std::string& reason);
    void TakeContents(WorldContents& contents);
    void EndFold();
    void CloseDatabase();
};
