// WorldCheck: the looks before SQLite, and the read-only connection.
#include "world/WorldCheck.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/Files.h"
#include "core/PrintableText.h"
#include "platform/Utf8Path.h"
#include "world/Sql.h"
#include "world/WorldLock.h"
#include "world/WorldLog.h"

namespace {

// The URI that opens `path` read-only as an immutable file.
std::string ReadOnlyUri(const std::string& path)
{
    std::string uri = "file:";
    // A Windows drive letter is written /C:/ in a URI.
    if (path.size() >= 2 && path[1] == ':')
        uri += '/';
    for (char c : path) {
        if (c == '\\') {
            uri += '/';
        } else if (c == '%' || c == '?' || c == '#') {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            uri += code;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

// Whether `file` begins as an SQLite database does.
bool LooksLikeSqlite(const std::string& file)
{
    char header[16] = {};
    std::ifstream probe(Utf8Path(file), std::ios::binary);
    probe.read(header, sizeof header);
    return probe && std::memcmp(header, "SQLite format 3", 16) == 0;
}

// Opens `file` for the checks and inspects it: exclusive for play, so that
// a second program is refused at once; immutable for a replay, so that
// SQLite takes no lock and puts nothing beside it.
WorldOpened Inspect(const std::string& file, bool play, const std::string& world, WorldContents& contents,
                    std::string& reason)
{
    const std::string name = play ? file : ReadOnlyUri(file);
    const int flags = play ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    sqlite3* db = nullptr;
    WorldOpened result = WorldOpened::Refused;
    std::string why;
    if (sqlite3_open_v2(name.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = world + " refused: cannot open it: " + Sql::Why(db);
    } else {
        // Checked read only: nothing folds a log into it on close, nothing
        // changes its journal mode, header or time until it is accepted.
        sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_busy_timeout(db, 0);
        if (!Sql::Execute(db,
                          play ? "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA locking_mode=EXCLUSIVE; "
                                 "PRAGMA query_only=ON;"
                               : "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA query_only=ON;",
                          why))
            reason = world + " refused: " + why;
        else
            result = InspectWorld(db, world, contents, reason);
    }
    const bool read = db != nullptr;
    sqlite3_close_v2(db);
    // SQLite creates the log beside the file when it reads it; a world
    // that was checked must not gain one.
    if (play && read)
        RemoveEmptyLog(file);
    return result;
}

} // namespace

WorldOpened CheckWorldFile(const std::string& file, WorldAccess access, const std::string& world,
                           WorldContents& contents, std::string& reason)
{
    // Look before SQLite does: it would take many files for an empty database.
    if (!LooksLikeSqlite(file)) {
        reason = world + " refused: not a Veldmarrow world (not an SQLite database)";
        return WorldOpened::Refused;
    }
    if (access == WorldAccess::ReadWrite) {
        const int error = FolderWritable(file);
        if (error != 0) {
            reason = world + " refused: its folder " + QuotedName(FolderOf(file)) + " cannot be written (" +
                     ErrorText(error) + "), and a world needs its log beside it";
            return WorldOpened::Refused;
        }
    } else if (FileSize(LogOf(file)) > 0) {
        // Nobody holds it, yet the file alone is not the whole world.
        reason = world + " is not whole without its log: the last Veldmarrow to play in it was stopped before it "
                         "finished saving (play in it once to finish)";
        return WorldOpened::Held;
    }
    return Inspect(file, access == WorldAccess::ReadWrite, world, contents, reason);
}

WorldOpened CheckWorldImage(const std::uint8_t* data, std::size_t size, const std::string& world,
                            WorldContents& contents, std::string& reason)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = "cannot open an in-memory database";
        sqlite3_close_v2(db);
        return WorldOpened::Refused;
    }
    std::string why;
    Sql::Execute(db, "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON;", why);
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(size));
    WorldOpened result = WorldOpened::Refused;
    if (copy == nullptr && size != 0) {
        reason = "out of memory";
    } else {
        if (size != 0)
            std::memcpy(copy, data, size);
        if (sqlite3_deserialize(db, "main", copy, static_cast<sqlite3_int64>(size), static_cast<sqlite3_int64>(size),
                                SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY) != SQLITE_OK)
            reason = "cannot read the image: " + Sql::Why(db);
        else
            result = InspectWorld(db, world, contents, reason);
    }
    sqlite3_close_v2(db);
    return result;
}
