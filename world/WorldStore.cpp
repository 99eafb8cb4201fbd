// WorldStore: the new world's file, the saving connection and its commits.
#include "world/WorldStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

#include "platform/Files.h"
#include "core/PrintableText.h"
#include "core/Version.h"
#include "world/Map.h"
#include "world/Sql.h"
#include "world/WorldFormat.h"

namespace {

const char* const Schema =
    "CREATE TABLE world ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " format INTEGER NOT NULL,"
    " program TEXT NOT NULL,"
    " seed INTEGER NOT NULL,"
    " width INTEGER NOT NULL,"
    " depth INTEGER NOT NULL,"
    " height INTEGER NOT NULL,"
    " checksum INTEGER,"
    " saves INTEGER NOT NULL,"
    " created TEXT NOT NULL,"
    " saved TEXT NOT NULL);"
    "CREATE TABLE chunk ("
    " id INTEGER PRIMARY KEY,"
    " voxels BLOB NOT NULL);";

// Format 2's table: where the player stands, one row.
// A pose's columns, as the player's row and a served world's rows hold them.
#define POSE_COLUMNS                                                                                                   \
    " x REAL NOT NULL,"                                                                                                \
    " y REAL NOT NULL,"                                                                                                \
    " z REAL NOT NULL,"                                                                                                \
    " yaw REAL NOT NULL,"                                                                                              \
    " pitch REAL NOT NULL,"                                                                                            \
    " walking INTEGER NOT NULL,"                                                                                       \
    " selected INTEGER NOT NULL,"                                                                                      \
    " hud INTEGER NOT NULL);"

const char* const PlayerTable =
    "CREATE TABLE player ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    POSE_COLUMNS;

// Binds `pose` to the eight parameters of `put` from `first` on.
void BindPose(sqlite3_stmt* put, int first, const PlayerPose& pose)
{
    const float real[5] = {pose.position[0], pose.position[1], pose.position[2], pose.yaw, pose.pitch};
    for (int i = 0; i < 5; ++i)
        sqlite3_bind_double(put, first + i, real[i]);
    sqlite3_bind_int(put, first + 5, pose.walking ? 1 : 0);
    sqlite3_bind_int(put, first + 6, pose.slot);
    sqlite3_bind_int(put, first + 7, pose.hud ? 1 : 0);
}

// Writes `pose` as the player's row.
bool PutPose(sqlite3* db, const PlayerPose& pose)
{
    Sql::Statement put(db, "INSERT OR REPLACE INTO player VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!put.Ok())
        return false;
    BindPose(*put, 1, pose);
    return put.Step() == SQLITE_DONE;
}

// A served world's table: the pose each player name left with.
const char* const NamedPlayerTable =
    "CREATE TABLE IF NOT EXISTS named_player ("
    " name TEXT PRIMARY KEY NOT NULL,"
    POSE_COLUMNS;

bool PutNamedPose(sqlite3* db, const std::string& name, const PlayerPose& pose)
{
    Sql::Statement put(db, "INSERT OR REPLACE INTO named_player VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    if (!put.Ok())
        return false;
    sqlite3_bind_text(*put, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    BindPose(*put, 2, pose);
    return put.Step() == SQLITE_DONE;
}

const char* const Now = "strftime('%Y-%m-%d %H:%M:%S UTC', 'now')";

const char* const PlayAgain = "; play goes on, and folding is tried again after the next save";

} // namespace

bool WorldStore::Create(WorldLock& lock, const std::string& target, const std::string& name, std::uint32_t seed,
                        bool& taken, std::string& reason)
{
    // Built whole in a locked file of its own, then moved to its name where
    // nothing is yet: a world file is either complete or absent, and held
    // from its first byte, whenever and however the program is stopped.
    taken = false;
    int error = 0;
    if (!lock.CreateBeside(target, error)) {
        reason = name + " cannot be created in the folder " + QuotedName(FolderOf(target)) + ": " + ErrorText(error);
        return false;
    }
    const std::string building = lock.Building();
    sqlite3* fresh = nullptr;
    std::string why;
    bool ok = sqlite3_open_v2(building.c_str(), &fresh, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (!ok)
        why = Sql::Why(fresh);
    const std::string facts = "INSERT INTO world VALUES (1, " + std::to_string(WorldFormat::Version) + ", '" +
                              ProgramVersion + "', " + std::to_string(seed) + ", " + std::to_string(MapWidth) +
                              ", " + std::to_string(MapDepth) + ", " + std::to_string(MapHeight) + ", NULL, 0, " +
                              Now + ", " + Now + ");";
    // No journal: a file stopped half-built is never moved into place, and
    // is removed as a leftover by the next start.
    const std::string script = "PRAGMA journal_mode=OFF; PRAGMA synchronous=FULL; PRAGMA application_id=" +
                               std::to_string(WorldFormat::ApplicationId) +
                               "; PRAGMA user_version=" + std::to_string(WorldFormat::Version) + "; BEGIN; " + Schema +
                               facts + " COMMIT;";
    if (ok && !Sql::Execute(fresh, script.c_str(), why))
        ok = false;
    if (ok && !(Sql::Execute(fresh, PlayerTable, why) && PutPose(fresh, StartPose()))) {
        if (why.empty())
            why = Sql::Why(fresh);
        ok = false;
    }
    if (ok && sqlite3_close(fresh) != SQLITE_OK) {
        why = Sql::Why(fresh);
        ok = false;
    }
    fresh = ok ? nullptr : fresh;
    sqlite3_close_v2(fresh);
    if (ok && !lock.MoveIntoPlace(target, error)) {
        taken = error == EEXIST;
        why = "cannot move it into place: " + ErrorText(error);
        ok = false;
    }
    if (!ok) {
        lock.RemoveAndRelease(building);
        reason = name + " cannot be created: " + why;
        return false;
    }
    return true;
}

bool WorldStore::Open(const std::string& target, const std::string& name, std::int64_t saves, int format,
                      std::string& notice, std::string& reason)
{
    file = target;
    world = name;
    addedLog = !HasLog(target);
    if (sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = name + " cannot be opened for saving: " + Sql::Why(db);
        return false;
    }
    // The log is folded in by the program, never on close behind its back.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db, 0);
    std::string why;
    if (!Sql::Execute(db, "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA locking_mode=EXCLUSIVE;",
                      why)) {
        reason = name + " cannot be opened for saving: " + why;
        return false;
    }
    {
        // SQLite's own lock too, from this read to the close: an older
        // Veldmarrow knows only that one. The file must be as it was checked.
        Sql::Statement row(db, "SELECT saves FROM world WHERE id = 1");
        const int rc = row.Ok() ? row.Step() : row.PrepareResult();
        if (rc != SQLITE_ROW) {
            reason = name + (Sql::IsBusy(rc) ? " is in use by another program"
                                             : " cannot be opened for saving: " + Sql::Why(db));
            return false;
        }
        if (sqlite3_column_int64(*row, 0) != saves) {
            reason = name + " was changed by another program while it was being opened";
            return false;
        }
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        reason = name + " refused: the file cannot be written, so play in it would not be kept";
        return false;
    }
    {
        Sql::Statement wal(db, "PRAGMA journal_mode=WAL");
        const unsigned char* mode = wal.Ok() && wal.Step() == SQLITE_ROW ? sqlite3_column_text(*wal, 0) : nullptr;
        if (mode == nullptr || std::strcmp(reinterpret_cast<const char*>(mode), "wal") != 0) {
            reason = name + " cannot keep its log beside it: " + Sql::Why(db);
            return false;
        }
    }
    int pageSize = 4096;
    {
        Sql::Statement page(db, "PRAGMA page_size");
        if (page.Ok() && page.Step() == SQLITE_ROW)
            pageSize = sqlite3_column_int(*page, 0);
    }
    // Beside the fold's truncation, a bound on what a log reused from its start keeps.
    if (!Sql::Execute(
            db, ("PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=" + std::to_string(WorldFormat::LogBound) + ";")
                    .c_str(),
            why)) {
        reason = name + " cannot be opened for saving: " + why;
        return false;
    }
    log.Follow(db, target, pageSize, format);
    // A log an earlier session left (killed, or on a full disk) goes into
    // the file now, before play adds to it.
    if (!log.Fold(true, why))
        notice = FoldFailed(why) + PlayAgain;
    return true;
}

bool WorldStore::Commit(const std::vector<PreparedChunk>& chunks, std::uint64_t checksum, const PlayerPose& pose,
                        const std::map<std::string, PlayerPose>& named, int& format, std::string& saved,
                        std::string& why)
{
    bool ok = Sql::Execute(db, "BEGIN IMMEDIATE", why);
    const bool upgrade = format < WorldFormat::Version;
    if (ok && upgrade) {
        // A format-1 world becomes format 2 in the commit's own transaction:
        // whole in one format or the other, however the program ends.
        const std::string script = std::string(PlayerTable) + " UPDATE world SET format = " +
                                   std::to_string(WorldFormat::Version) + " WHERE id = 1; PRAGMA user_version = " +
                                   std::to_string(WorldFormat::Version) + ";";
        ok = Sql::Execute(db, script.c_str(), why);
    }
    if (ok && !PutPose(db, pose)) {
        why = Sql::Why(db);
        ok = false;
    }
    if (ok && !named.empty())
        ok = Sql::Execute(db, NamedPlayerTable, why);
    for (auto p = named.begin(); ok && p != named.end(); ++p)
        if (!PutNamedPose(db, p->first, p->second)) {
            why = Sql::Why(db);
            ok = false;
        }
    if (ok) {
        Sql::Statement insert(db, "INSERT OR REPLACE INTO chunk (id, voxels) VALUES (?, ?)");
        ok = insert.Ok();
        for (std::size_t i = 0; ok && i < chunks.size(); ++i) {
            sqlite3_bind_int(*insert, 1, chunks[i].number);
            sqlite3_bind_blob(*insert, 2, chunks[i].blob.data(), static_cast<int>(chunks[i].blob.size()),
                              SQLITE_STATIC);
            ok = insert.Step() == SQLITE_DONE;
            sqlite3_reset(*insert);
        }
        if (ok) {
            Sql::Statement update(db, std::string("UPDATE world SET checksum = ?, saves = saves + 1, saved = ") + Now +
                                          " WHERE id = 1");
            ok = update.Ok();
            if (ok) {
                sqlite3_bind_int64(*update, 1, static_cast<sqlite3_int64>(checksum));
                ok = update.Step() == SQLITE_DONE;
            }
        }
        if (!ok && why.empty())
            why = Sql::Why(db);
        if (ok && !Sql::Execute(db, "COMMIT", why))
            ok = false;
    }
    if (!ok && sqlite3_get_autocommit(db) == 0) {
        std::string ignored;
        Sql::Execute(db, "ROLLBACK", ignored);
    }
    if (!ok)
        return false;
    if (upgrade) {
        format = WorldFormat::Version;
        log.Reformat(format);
    }
    Sql::Statement row(db, "SELECT saved FROM world WHERE id = 1");
    if (row.Ok() && row.Step() == SQLITE_ROW && sqlite3_column_text(*row, 0) != nullptr)
        saved = reinterpret_cast<const char*>(sqlite3_column_text(*row, 0));
    return true;
}

void WorldStore::SyncFully()
{
    std::string ignored;
    Sql::Execute(db, "PRAGMA synchronous=FULL;", ignored);
}

std::string WorldStore::FoldFailed(const std::string& why) const
{
    return world + ": its log " + QuotedName(LogOf(file)) + " (" + std::to_string(LogBytes() / 1024) +
           " KiB) could not be folded into the file: " + why + ". Nothing is lost: the world is whole in the two "
           "files; keep them together, and free some disk space so that the next start can fold the log in";
}

bool WorldStore::FoldNow(std::string& notice)
{
    std::string why;
    if (log.Fold(false, why))
        return true;
    notice = FoldFailed(why);
    return false;
}

bool WorldStore::Folding(std::string& notice)
{
    std::string failure;
    if (log.Running(failure))
        return true;
    if (!failure.empty() && notice.empty())
        notice = FoldFailed(failure) + PlayAgain;
    return false;
}

void WorldStore::EndFold(std::string& notice)
{
    log.Join();
    Folding(notice);
}

void WorldStore::Close()
{
    log.Forget();
    if (db == nullptr)
        return;
    sqlite3_close_v2(db);
    db = nullptr;
    // An empty log goes with the file: a log this open put beside it, or
    // one folded in whole.
    if (addedLog || log.Empty())
        RemoveEmptyLog(file);
}
