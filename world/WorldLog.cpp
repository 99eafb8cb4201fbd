// WorldLog: its size from the frames SQLite reports, and the fold.
#include "world/WorldLog.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "platform/Utf8Path.h"
#include "world/Sql.h"

namespace fs = std::filesystem;

std::string LogOf(const std::string& file) { return file + "-wal"; }

std::uintmax_t FileSize(const std::string& file)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(Utf8Path(file), error);
    return error ? 0 : size;
}

bool HasLog(const std::string& file)
{
    std::error_code error;
    return fs::exists(Utf8Path(LogOf(file)), error);
}

void RemoveEmptyLog(const std::string& file)
{
    const std::string log = LogOf(file);
    if (HasLog(file) && FileSize(log) == 0) {
        std::error_code ignored;
        fs::remove(Utf8Path(log), ignored);
    }
}

WorldLog::~WorldLog() { Forget(); }

void WorldLog::Follow(sqlite3* connection, const std::string& worldFile, int logPageSize, int worldFormat)
{
    db = connection;
    file = worldFile;
    pageSize = logPageSize;
    format = worldFormat;
    sqlite3_wal_hook(db, &WorldLog::Hook, this);
    frames = -1;
}

void WorldLog::Forget()
{
    Join();
    db = nullptr;
}

int WorldLog::Hook(void* log, sqlite3*, const char*, int frames)
{
    static_cast<WorldLog*>(log)->frames = frames;
    return SQLITE_OK;
}

std::size_t WorldLog::Bytes() const
{
    const int known = frames;
    if (known < 0)
        return FileSize(LogOf(file));
    // Its header, then each page with its own.
    return known == 0 ? 0 : 32 + static_cast<std::size_t>(known) * (static_cast<std::size_t>(pageSize) + 24);
}

bool WorldLog::Fold(bool restart, std::string& why)
{
    int logged = 0, folded = 0;
    const int rc = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &logged, &folded);
    if (rc == SQLITE_OK) {
        frames = 0;
        // The first commit into an empty log writes the log's header and
        // puts it on disk: done here, by rewriting page 1 as it is, so that
        // the next commit (on the main thread) only appends.
        if (restart) {
            const std::string same = "PRAGMA user_version=" + std::to_string(format) + ";";
            Sql::Execute(db, same.c_str(), why);
        }
        return true;
    }
    why = Sql::Why(db);
    // What is still there, for the messages: the file's size says it.
    frames = -1;
    return false;
}

void WorldLog::FoldAlone()
{
    std::string why;
    if (!Fold(true, why))
        failed = why;
    ended = true;
}

void WorldLog::Begin()
{
    if (db == nullptr || folder.joinable())
        return;
    ended = false;
    failed.clear();
    if (sqlite3_threadsafe() == 0) {
        FoldAlone(); // a library built without threads: folded here and now
        return;
    }
    folder = std::thread([this] { FoldAlone(); });
}

bool WorldLog::Running(std::string& failure)
{
    if (folder.joinable()) {
        if (!ended)
            return true;
        folder.join();
    }
    if (ended) {
        ended = false;
        failure = failed;
    }
    return false;
}

void WorldLog::Join()
{
    if (folder.joinable())
        folder.join();
}
