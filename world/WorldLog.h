// WorldLog: the log beside a world file in play (SQLite's write-ahead log,
// FILE-wal). SQLite's own folding of it into the file (at 1,000 pages,
// 4 MiB) is replaced by the program's: at the moments the program chooses,
// and during play on a thread of its own, so that no frame waits for it.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

struct sqlite3;

// The name of the log beside the world file `file`.
std::string LogOf(const std::string& file);
// The size of `file` in bytes; 0 when it is not there.
std::uintmax_t FileSize(const std::string& file);
// Whether the log beside `file` is there.
bool HasLog(const std::string& file);
// Removes the log beside `file` when it is there and empty. The caller
// holds the world's lock, so no other program can have begun a log meanwhile.
void RemoveEmptyLog(const std::string& file);

class WorldLog {
public:
    WorldLog() = default;
    ~WorldLog();
    WorldLog(const WorldLog&) = delete;
    WorldLog& operator=(const WorldLog&) = delete;

    // Follows the log of `db`, saving the world file `file`, from now on: its
    // size is unknown until the first fold. `pageSize` sizes its frames;
    // `format`, the world's, is written again when a fold begins the log anew.
    void Follow(sqlite3* db, const std::string& file, int pageSize, int format);
    // The world's format changed (a commit upgraded it); no fold runs.
    void Reformat(int newFormat) { format = newFormat; }
    // The connection is closing: waits for a fold that runs. The size stays known.
    void Forget();

    // The log in bytes, as its frames say (the file's size while they are not known).
    std::size_t Bytes() const;
    // Whether the last fold emptied it and nothing was written since.
    bool Empty() const { return frames == 0; }

    // Folds the log into the file now, on this thread. With `restart` the
    // log is begun anew as well (its header on disk), so that the next
    // commit only appends. False with SQLite's reason in `why`.
    bool Fold(bool restart, std::string& why);
    // Starts a fold on a thread of its own (here and now where SQLite was
    // built without threads); nothing else may use the connection until
    // Running() says it has ended. Does nothing while one runs.
    void Begin();
    // True while a fold runs. Once it has ended, false, and its failure
    // (empty when it worked) given once in `failure`.
    bool Running(std::string& failure);
    // Waits for a fold that runs to end.
    void Join();

private:
    static int Hook(void* log, sqlite3* db, const char* name, int frames);
    void FoldAlone();

    sqlite3* db = nullptr;
    std::string file;
    int pageSize = 4096;
    int format = 0;
    std::atomic<int> frames{0}; // -1: not known, the file's size says it
    std::thread folder;
    std::atomic<bool> ended{false};
    std::string failed;
};
