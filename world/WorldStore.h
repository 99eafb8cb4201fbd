// WorldStore: the SQLite connection a world is saved through, once it was
// checked and accepted, and the building of a new world's file. Commits
// are transactions in the log beside the file (WorldLog), which the
// program folds into the file itself.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "world/ChangeTracker.h"
#include "world/WorldLock.h"
#include "world/WorldLog.h"
#include "world/PlayerPose.h"

struct sqlite3;

class WorldStore {
public:
    WorldStore() = default;
    ~WorldStore() { Close(); }
    WorldStore(const WorldStore&) = delete;
    WorldStore& operator=(const WorldStore&) = delete;

    // Builds a new world from `seed` in a locked file of its own beside
    // `file` (`lock` takes it), then moves it to `file` where nothing is
    // there yet. False with the reason, naming it `world`, otherwise;
    // `taken` when another program's world took the name first.
    static bool Create(WorldLock& lock, const std::string& file, const std::string& world, std::uint32_t seed,
                       bool& taken, std::string& reason);

    // Opens `file`, checked with `saves` commits in `format`, for saving: its
    // log beside it, SQLite's own lock held until Close, and a log an
    // earlier session left folded in at once (a fold that fails is said in
    // `notice`, and play goes on). False with the reason, naming it `world`.
    bool Open(const std::string& file, const std::string& world, std::int64_t saves, int format, std::string& notice,
              std::string& reason);
    // Open for saving, from Open to Close.
    bool IsOpen() const { return db != nullptr; }

    // Writes `chunks` with the world checksum `checksum`, the player's
    // `pose`, the `named` poses a server keeps, one more save and the time,
    // in one transaction, and reads the time back into `saved`; a world of
    // an older `format` becomes the current one in it (`format` then says
    // so). False with SQLite's reason in `why`: then nothing was written.
    bool Commit(const std::vector<PreparedChunk>& chunks, std::uint64_t checksum, const PlayerPose& pose,
                const std::map<std::string, PlayerPose>& named, int& format,
                std::string& saved, std::string& why);
    // Every commit from now on is on disk when it returns (the last ones).
    void SyncFully();

    // The log in bytes.
    std::size_t LogBytes() const { return log.Bytes(); }
    // Folds the log into the file now; false with the notice to give.
    bool FoldNow(std::string& notice);
    // Starts a fold on a thread of its own (see WorldLog::Begin).
    void BeginFold() { log.Begin(); }
    // True while a fold runs; a failure once it has ended goes into an
    // empty `notice`.
    bool Folding(std::string& notice);
    // Waits for a fold that runs, then as Folding.
    void EndFold(std::string& notice);

    // Closes the connection; the log goes with it when it is empty.
    void Close();

private:
    std::string FoldFailed(const std::string& why) const;

    sqlite3* db = nullptr;
    std::string file;
    std::string world;
    bool addedLog = false; // no log was beside the file before this open
    WorldLog log;
};
